// On-disk layout of a show file, format version 1 (docs/show-file-format.md).
//
// Everything here is pure encoding and decoding of byte arrays: no I/O, no
// state. All integers are little-endian whatever the host; text units are
// 16-bit little-endian; a double travels as its IEEE 754 bit pattern.
#ifndef SHOWTAPE_FORMAT_H
#define SHOWTAPE_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "devtypes.h"
#include "showtape.h"

namespace showtape {

inline constexpr std::uint8_t kMagic[8] = {'S', 'H', 'O', 'W', 'T', 'A', 'P', 'E'};
inline constexpr std::uint32_t kFormatVersion = 1;

// The head: magic, version, header fields, show name, CRC.
inline constexpr std::size_t kMagicSize = 8;
inline constexpr std::size_t kPreambleSize = 12;  // magic + format version
inline constexpr std::size_t kTextBytes = 2 * DEV_TEXT_UNITS;
inline constexpr std::size_t kOffConstantFrameRate = 12;
inline constexpr std::size_t kOffLoopShow = 13;
inline constexpr std::size_t kOffDate = 14;
inline constexpr std::size_t kOffComment = 22;
inline constexpr std::size_t kOffFrameRate = kOffComment + kTextBytes;          // 534
inline constexpr std::size_t kOffNumberChannels = kOffFrameRate + 8;            // 542
inline constexpr std::size_t kOffTotalFrames = kOffNumberChannels + 4;          // 546
inline constexpr std::size_t kOffEffectSignature = kOffTotalFrames + 4;         // 550
inline constexpr std::size_t kOffName = kOffEffectSignature + kTextBytes;       // 1062
inline constexpr std::size_t kOffHeadCrc = kOffName + kTextBytes;               // 1574
inline constexpr std::size_t kHeadSize = kOffHeadCrc + 4;                       // 1578
static_assert(kHeadSize == 1578, "head size is part of the format");

// Records that follow the head.
inline constexpr std::uint8_t kFrameRecordType = 0x46;  // 'F'
inline constexpr std::uint8_t kEndRecordType = 0x45;    // 'E'
// Frame record: type, startCode, timeCode, channelCount, header CRC, the
// channel bytes, record CRC.
inline constexpr std::size_t kFrameHeaderSize = 17;
inline constexpr std::size_t kFrameOverhead = kFrameHeaderSize + 4;
inline constexpr std::size_t kMaxFrameRecord = kFrameOverhead + SHOWTAPE_MAX_CHANNELS;
// End record: type, frame count, running CRC of all frame records, CRC.
inline constexpr std::size_t kEndRecordSize = 17;

// CRC-32 as zlib, gzip and PNG compute it, continued from `seed`.
std::uint32_t crc32Of(const std::uint8_t* data, std::size_t size, std::uint32_t seed = 0);

// The running CRC of the end record: CRC-32 of every byte of the frame
// records so far. add() continues it over one record whose last four bytes
// are the CRC-32 of the bytes before them, as a frame record is once encoded
// or checked; that CRC is combined in (zlib's crc32_combine_op) instead of
// reading the channel bytes a second time. The combination operator for the
// last record length is kept, so a show of frames of one width costs a few
// dozen operations per frame. Not thread safe: one per reader or writer.
class RunningCrc {
public:
    void add(const std::uint8_t* record, std::size_t size);
    std::uint32_t value() const { return value_; }
    void reset() { value_ = 0; }

private:
    std::uint32_t value_ = 0;
    std::size_t opLength_ = 0;  // bytes the operator is for; 0 before the first record
    unsigned long op_ = 0;      // zlib's combination operator for opLength_ bytes
};

void putU16(std::uint8_t* at, std::uint16_t v);
void putU32(std::uint8_t* at, std::uint32_t v);
void putU64(std::uint8_t* at, std::uint64_t v);
std::uint16_t getU16(const std::uint8_t* at);
std::uint32_t getU32(const std::uint8_t* at);
std::uint64_t getU64(const std::uint8_t* at);

// Units before the first zero unit among the first `capacity` units of text,
// or -1 when there is no zero unit among them. Never reads past `capacity`.
int textLength(const DevChar* text, std::size_t capacity);

// Fills `out` with the head for a show called `name` (at most 255 units,
// zero-terminated) described by `header` (text fields zero-terminated within
// their 256 units; the caller checks both). Units after a terminator are
// written as zeros and bools as 0 or 1, so nothing the caller left behind a
// terminator reaches the file.
void encodeHead(std::uint8_t (&out)[kHeadSize], const DevChar* name, const ShowtapeHeader& header);

// Outcome of checking the first bytes of a file.
enum class PreambleCheck { Ok, NotOurs, WrongVersion, TooShort };
// `size` bytes of the file's start are at `data` (fewer than kPreambleSize
// when the file is that short).
PreambleCheck checkPreamble(const std::uint8_t* data, std::size_t size);

// Decodes a complete head whose preamble passed. Returns DevSuccess and fills
// `name` (256 units) and `header`, or DevCorrupt (CRC mismatch, a bool other
// than 0 or 1, a text field without a zero unit) and leaves both untouched.
DevReturn decodeHead(const std::uint8_t (&in)[kHeadSize], DevChar (&name)[DEV_TEXT_UNITS],
                     ShowtapeHeader& header);

// Writes the frame record for `frame` (channelCount already checked to be in
// 0..SHOWTAPE_MAX_CHANNELS, dmxData non-null when it is positive) at `out`,
// which holds kMaxFrameRecord bytes; returns the record's size.
std::size_t encodeFrameRecord(std::uint8_t* out, const DMXFrame& frame);

// Writes the end record at `out` (kEndRecordSize bytes).
void encodeEndRecord(std::uint8_t* out, std::uint64_t frameCount, std::uint32_t runningCrc);

}  // namespace showtape

#endif  // SHOWTAPE_FORMAT_H
