#include "format.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace showtape {

std::uint32_t crc32Of(const std::uint8_t* data, std::size_t size, std::uint32_t seed) {
    uLong crc = seed;
    // zlib takes a 32-bit length; feed larger spans in pieces.
    constexpr std::size_t kChunk = std::numeric_limits<uInt>::max();
    while (size > 0) {
        const std::size_t piece = std::min(size, kChunk);
        crc = crc32(crc, data, static_cast<uInt>(piece));
        data += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(crc);
}

void RunningCrc::add(const std::uint8_t* record, std::size_t size) {
    const std::size_t body = size - 4;
    if (body != opLength_) {
        op_ = crc32_combine_gen(static_cast<z_off_t>(body));
        opLength_ = body;
    }
    const uLong combined = crc32_combine_op(value_, getU32(record + body), op_);
    value_ = crc32Of(record + body, 4, static_cast<std::uint32_t>(combined));
}

void putU16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putU64(std::uint8_t* at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t getU16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t getU32(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}

std::uint64_t getU64(const std::uint8_t* at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}

int textLength(const DevChar* text, std::size_t capacity) {
    for (std::size_t i = 0; i < capacity; ++i) {
        if (text[i] == 0) return static_cast<int>(i);
    }
    return -1;
}

namespace {

// Writes the units before the terminator, then zeros to fill 256 units.
void putText(std::uint8_t* at, const DevChar* text) {
    bool ended = false;
    for (std::size_t i = 0; i < DEV_TEXT_UNITS; ++i) {
        if (!ended && text[i] == 0) ended = true;
        putU16(at + 2 * i, ended ? std::uint16_t{0} : static_cast<std::uint16_t>(text[i]));
    }
}

// Reads a stored text field; false when it holds no zero unit. Units after
// the first zero unit come back as zeros.
bool getText(const std::uint8_t* at, DevChar (&out)[DEV_TEXT_UNITS]) {
    bool ended = false;
    for (std::size_t i = 0; i < DEV_TEXT_UNITS; ++i) {
        const std::uint16_t unit = getU16(at + 2 * i);
        if (unit == 0) ended = true;
        out[i] = ended ? DevChar{0} : static_cast<DevChar>(unit);
    }
    return ended;
}

bool getBool(std::uint8_t stored, DevBool& out) {
    if (stored > 1) return false;
    out = stored;
    return true;
}

}  // namespace

void encodeHead(std::uint8_t (&out)[kHeadSize], const DevChar* name, const ShowtapeHeader& header) {
    std::memcpy(out, kMagic, kMagicSize);
    putU32(out + kMagicSize, kFormatVersion);
    out[kOffConstantFrameRate] = header.constantFrameRate != 0 ? 1 : 0;
    out[kOffLoopShow] = header.loopShow != 0 ? 1 : 0;
    putU64(out + kOffDate, static_cast<std::uint64_t>(header.date));
    putText(out + kOffComment, header.commentField);
    putU64(out + kOffFrameRate, std::bit_cast<std::uint64_t>(header.frameRate));
    putU32(out + kOffNumberChannels, static_cast<std::uint32_t>(header.numberChannels));
    putU32(out + kOffTotalFrames, static_cast<std::uint32_t>(header.totalFrames));
    putText(out + kOffEffectSignature, header.effectSignature);
    putText(out + kOffName, name);
    putU32(out + kOffHeadCrc, crc32Of(out, kOffHeadCrc));
}

PreambleCheck checkPreamble(const std::uint8_t* data, std::size_t size) {
    const std::size_t magicBytes = std::min(size, kMagicSize);
    if (std::memcmp(data, kMagic, magicBytes) != 0) return PreambleCheck::NotOurs;
    if (size < kPreambleSize) return PreambleCheck::TooShort;
    if (getU32(data + kMagicSize) != kFormatVersion) return PreambleCheck::WrongVersion;
    return PreambleCheck::Ok;
}

DevReturn decodeHead(const std::uint8_t (&in)[kHeadSize], DevChar (&name)[DEV_TEXT_UNITS],
                     ShowtapeHeader& header) {
    if (crc32Of(in, kOffHeadCrc) != getU32(in + kOffHeadCrc)) return DevCorrupt;

    ShowtapeHeader decoded{};
    DevChar decodedName[DEV_TEXT_UNITS];
    if (!getBool(in[kOffConstantFrameRate], decoded.constantFrameRate) ||
        !getBool(in[kOffLoopShow], decoded.loopShow) ||
        !getText(in + kOffComment, decoded.commentField) ||
        !getText(in + kOffEffectSignature, decoded.effectSignature) ||
        !getText(in + kOffName, decodedName)) {
        return DevCorrupt;
    }
    decoded.date = static_cast<std::int64_t>(getU64(in + kOffDate));
    decoded.frameRate = std::bit_cast<double>(getU64(in + kOffFrameRate));
    decoded.numberChannels = static_cast<std::int32_t>(getU32(in + kOffNumberChannels));
    decoded.totalFrames = static_cast<std::int32_t>(getU32(in + kOffTotalFrames));

    header = decoded;
    std::memcpy(name, decodedName, sizeof name);
    return DevSuccess;
}

std::size_t encodeFrameRecord(std::uint8_t* out, const DMXFrame& frame) {
    const auto count = static_cast<std::size_t>(frame.channelCount);
    out[0] = kFrameRecordType;
    putU32(out + 1, static_cast<std::uint32_t>(frame.startCode));
    putU32(out + 5, static_cast<std::uint32_t>(frame.timeCode));
    putU32(out + 9, static_cast<std::uint32_t>(frame.channelCount));
    putU32(out + 13, crc32Of(out, 13));
    if (count > 0) std::memcpy(out + kFrameHeaderSize, frame.dmxData, count);
    putU32(out + kFrameHeaderSize + count, crc32Of(out, kFrameHeaderSize + count));
    return kFrameOverhead + count;
}

void encodeEndRecord(std::uint8_t* out, std::uint64_t frameCount, std::uint32_t runningCrc) {
    out[0] = kEndRecordType;
    putU64(out + 1, frameCount);
    putU32(out + 9, runningCrc);
    putU32(out + 13, crc32Of(out, 13));
}

}  // namespace showtape
