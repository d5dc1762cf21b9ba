#include "support.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace st_test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/showtape-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void setText(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text) {
    std::fill(std::begin(field), std::end(field), DevChar{0});
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), DEV_TEXT_UNITS - 1), field);
}

std::u16string textOf(const DevChar* field) {
    std::u16string text;
    for (std::size_t i = 0; i < DEV_TEXT_UNITS && field[i] != 0; ++i) text.push_back(field[i]);
    return text;
}

ShowtapeHeader sampleHeader() {
    ShowtapeHeader header{};
    header.constantFrameRate = 1;
    header.loopShow = 0;
    header.date = 1'700'000'000'123;
    setText(header.commentField, u"Opening cue \u00e9\u4e2d");
    header.frameRate = 44.1;
    header.numberChannels = 512;
    header.totalFrames = 3;
    setText(header.effectSignature, u"sig-01");
    return header;
}

ShowtapeHeader canonical(const ShowtapeHeader& header) {
    ShowtapeHeader out = header;
    out.constantFrameRate = header.constantFrameRate != 0 ? 1 : 0;
    out.loopShow = header.loopShow != 0 ? 1 : 0;
    setText(out.commentField, textOf(header.commentField));
    setText(out.effectSignature, textOf(header.effectSignature));
    return out;
}

::testing::AssertionResult sameHeader(const ShowtapeHeader& expected, const ShowtapeHeader& actual) {
    auto fail = [](const char* field) { return ::testing::AssertionFailure() << field << " differs"; };
    if (expected.constantFrameRate != actual.constantFrameRate) return fail("constantFrameRate");
    if (expected.loopShow != actual.loopShow) return fail("loopShow");
    if (expected.date != actual.date) return fail("date");
    if (std::bit_cast<std::uint64_t>(expected.frameRate) !=
        std::bit_cast<std::uint64_t>(actual.frameRate)) {
        return fail("frameRate");
    }
    if (expected.numberChannels != actual.numberChannels) return fail("numberChannels");
    if (expected.totalFrames != actual.totalFrames) return fail("totalFrames");
    if (!std::equal(std::begin(expected.commentField), std::end(expected.commentField),
                    std::begin(actual.commentField))) {
        return fail("commentField");
    }
    if (!std::equal(std::begin(expected.effectSignature), std::end(expected.effectSignature),
                    std::begin(actual.effectSignature))) {
        return fail("effectSignature");
    }
    return ::testing::AssertionSuccess();
}

std::vector<Frame> sampleFrames(std::size_t count, std::size_t seed) {
    static constexpr std::size_t kSizes[] = {0, 1, 7, 512, 2048, 3, 300};
    std::vector<Frame> frames;
    for (std::size_t i = 0; i < count; ++i) {
        Frame frame;
        frame.startCode = static_cast<std::int32_t>(i % 3) - 1;
        frame.timeCode = static_cast<std::int32_t>(i * 40 + seed);
        frame.data.resize(kSizes[(i + seed) % std::size(kSizes)]);
        for (std::size_t b = 0; b < frame.data.size(); ++b) {
            frame.data[b] = static_cast<std::uint8_t>(b * 31 + i * 7 + seed);
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

DevReturn writeShow(const std::string& path, const Show& show, bool replaceExisting) {
    std::u16string name = show.name;
    ShowtapeHandle handle{};
    DevReturn rc = createShowtape(&handle, path.c_str(), name.c_str(), &show.header, 1,
                                  replaceExisting ? 1 : 0);
    if (rc != DevSuccess) return rc;
    for (const Frame& f : show.frames) {
        std::vector<std::uint8_t> bytes = f.data;
        DMXFrame frame{static_cast<std::int32_t>(bytes.size()), f.startCode, f.timeCode,
                       bytes.data()};
        rc = writeDMXFrame(&handle, &frame);
        if (rc != DevSuccess) {
            closeShowtape(&handle);
            return rc;
        }
    }
    return closeShowtape(&handle);
}

ReadResult readShow(const std::string& path) {
    ReadResult result;
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    result.openCode = openShowtape(&handle, path.c_str(), name, &result.header);
    if (result.openCode != DevSuccess) return result;
    result.name = textOf(name);
    std::vector<std::uint8_t> buffer(SHOWTAPE_MAX_CHANNELS);
    for (;;) {
        DMXFrame frame{-1, 0, 0, buffer.data()};
        const DevReturn rc = readDMXFrame(&handle, &frame);
        if (rc != DevSuccess) {
            result.endCode = rc;
            break;
        }
        Frame got;
        got.startCode = frame.startCode;
        got.timeCode = frame.timeCode;
        got.data.assign(buffer.begin(), buffer.begin() + frame.channelCount);
        result.frames.push_back(std::move(got));
    }
    closeShowtape(&handle);
    return result;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

namespace doc {

std::uint32_t crc(const std::uint8_t* data, std::size_t size, std::uint32_t seed) {
    return static_cast<std::uint32_t>(crc32(seed, data, static_cast<uInt>(size)));
}

namespace {

void appendLe(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void appendText(std::vector<std::uint8_t>& out, const DevChar* text) {
    bool ended = false;
    for (std::size_t i = 0; i < DEV_TEXT_UNITS; ++i) {
        ended = ended || text[i] == 0;
        appendLe(out, ended ? 0u : std::uint64_t{text[i]}, 2);
    }
}

void appendCrcOfRange(std::vector<std::uint8_t>& out, std::size_t from) {
    appendLe(out, crc(out.data() + from, out.size() - from), 4);
}

}  // namespace

void putU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::vector<std::uint8_t> encode(const Show& show, Layout* layout) {
    std::vector<std::uint8_t> out;
    for (char c : std::string("SHOWTAPE")) out.push_back(static_cast<std::uint8_t>(c));
    appendLe(out, 1, 4);
    const ShowtapeHeader& h = show.header;
    out.push_back(h.constantFrameRate != 0 ? 1 : 0);
    out.push_back(h.loopShow != 0 ? 1 : 0);
    appendLe(out, static_cast<std::uint64_t>(h.date), 8);
    appendText(out, h.commentField);
    appendLe(out, std::bit_cast<std::uint64_t>(h.frameRate), 8);
    appendLe(out, static_cast<std::uint32_t>(h.numberChannels), 4);
    appendLe(out, static_cast<std::uint32_t>(h.totalFrames), 4);
    appendText(out, h.effectSignature);
    DevChar name[DEV_TEXT_UNITS];
    setText(name, show.name);
    appendText(out, name);
    appendCrcOfRange(out, 0);

    std::uint32_t running = 0;
    Layout where;
    for (const Frame& f : show.frames) {
        const std::size_t start = out.size();
        where.frameOffsets.push_back(start);
        out.push_back('F');
        appendLe(out, static_cast<std::uint32_t>(f.startCode), 4);
        appendLe(out, static_cast<std::uint32_t>(f.timeCode), 4);
        appendLe(out, f.data.size(), 4);
        appendCrcOfRange(out, start);
        out.insert(out.end(), f.data.begin(), f.data.end());
        appendCrcOfRange(out, start);
        running = crc(out.data() + start, out.size() - start, running);
    }
    where.endOffset = out.size();
    const std::size_t end = out.size();
    out.push_back('E');
    appendLe(out, show.frames.size(), 8);
    appendLe(out, running, 4);
    appendCrcOfRange(out, end);
    if (layout) *layout = where;
    return out;
}

void resealHead(std::vector<std::uint8_t>& bytes) {
    putU32(bytes, kHeadCrcOffset, crc(bytes.data(), kHeadCrcOffset));
}

void resealFrame(std::vector<std::uint8_t>& bytes, std::size_t offset) {
    putU32(bytes, offset + 13, crc(bytes.data() + offset, 13));
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < 4; ++i) count |= std::uint32_t{bytes.at(offset + 9 + i)} << (8 * i);
    const std::size_t dataEnd = offset + kFrameHeaderSize + count;
    putU32(bytes, dataEnd, crc(bytes.data() + offset, dataEnd - offset));
}

void resealEnd(std::vector<std::uint8_t>& bytes, std::size_t offset) {
    putU32(bytes, offset + 13, crc(bytes.data() + offset, 13));
}

}  // namespace doc

}  // namespace st_test
