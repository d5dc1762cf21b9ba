// Damaged and foreign files: every cut and every flipped byte of a small
// show is reported, the intact frames before the damage are delivered first,
// and a damaged show never ends with DevNoMoreData as if it were complete.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "support.h"

namespace st_test {
namespace {

class ShowtapeDamage : public ::testing::Test {
protected:
    void SetUp() override {
        show_ = Show{u"tiny", sampleHeader(),
                     {Frame{0, 0, {}}, Frame{1, 40, {1, 2, 3}}, Frame{-1, -80, {9, 8, 7, 6, 5, 4, 3}}}};
        ASSERT_EQ(writeShow(path_, show_), DevSuccess);
        bytes_ = readBytes(path_);
        ASSERT_EQ(bytes_, doc::encode(show_, &layout_));
    }

    // The record that byte `offset` (past the head) belongs to: the index of
    // its frame, or the number of frames for the end record.
    std::size_t recordAt(std::size_t offset) const {
        std::size_t record = 0;
        while (record < layout_.frameOffsets.size() &&
               offset >= (record + 1 < layout_.frameOffsets.size() ? layout_.frameOffsets[record + 1]
                                                                   : layout_.endOffset)) {
            ++record;
        }
        return record;
    }

    // Frames whose records end at or before `length`.
    std::size_t completeFrames(std::size_t length) const {
        std::size_t n = 0;
        for (std::size_t i = 0; i < layout_.frameOffsets.size(); ++i) {
            const std::size_t end =
                i + 1 < layout_.frameOffsets.size() ? layout_.frameOffsets[i + 1] : layout_.endOffset;
            if (end <= length) n = i + 1;
        }
        return n;
    }

    std::vector<Frame> firstFrames(std::size_t n) const {
        return {show_.frames.begin(), show_.frames.begin() + static_cast<std::ptrdiff_t>(n)};
    }

    TempDir dir_;
    std::string path_ = dir_.file("tiny.dmx");
    std::string damaged_ = dir_.file("damaged.dmx");
    Show show_;
    std::vector<std::uint8_t> bytes_;
    doc::Layout layout_;
};

TEST_F(ShowtapeDamage, EveryTruncationIsReportedAfterTheIntactFrames) {
    for (std::size_t length = 0; length < bytes_.size(); ++length) {
        writeBytes(damaged_, {bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(length)});
        const ReadResult got = readShow(damaged_);
        if (length < doc::kHeadSize) {
            // A cut head: every byte present matches, so the file is ours but short.
            ASSERT_EQ(got.openCode, DevTruncated) << "cut at " << length;
            continue;
        }
        ASSERT_EQ(got.openCode, DevSuccess) << "cut at " << length;
        ASSERT_EQ(got.frames, firstFrames(completeFrames(length))) << "cut at " << length;
        // Also at a record boundary: the end record is what says the show is whole.
        ASSERT_EQ(got.endCode, DevTruncated) << "cut at " << length;
    }
}

TEST_F(ShowtapeDamage, EveryFlippedByteIsDetectedWhereItLies) {
    for (std::size_t offset = 0; offset < bytes_.size(); ++offset) {
        for (const std::uint8_t mask : {std::uint8_t{0x01}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
            std::vector<std::uint8_t> bad = bytes_;
            bad[offset] = static_cast<std::uint8_t>(bad[offset] ^ mask);
            writeBytes(damaged_, bad);
            const ReadResult got = readShow(damaged_);
            if (offset < 12) {  // magic and format version
                ASSERT_EQ(got.openCode, DevBadFormat) << "byte " << offset;
            } else if (offset < doc::kHeadSize) {  // header fields, name, head CRC
                ASSERT_EQ(got.openCode, DevCorrupt) << "byte " << offset;
            } else {
                ASSERT_EQ(got.openCode, DevSuccess) << "byte " << offset;
                ASSERT_EQ(got.frames, firstFrames(recordAt(offset))) << "byte " << offset;
                ASSERT_EQ(got.endCode, DevCorrupt) << "byte " << offset;
            }
        }
    }
}

// Edits that keep every CRC valid: the checksums are no excuse to accept
// content no writer produces.
struct CraftedCase {
    const char* label;
    std::function<void(std::vector<std::uint8_t>&, const doc::Layout&)> edit;
    DevReturn openCode;
    std::vector<std::size_t> frames;  // indexes of the frames delivered, in order
    DevReturn endCode;
};

void setU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) { doc::putU32(b, at, v); }

std::vector<CraftedCase> craftedCases() {
    using B = std::vector<std::uint8_t>;
    using L = doc::Layout;
    auto fillText = [](B& b, std::size_t at) {
        for (std::size_t i = 0; i < DEV_TEXT_UNITS; ++i) {
            b[at + 2 * i] = 'x';
            b[at + 2 * i + 1] = 0;
        }
    };
    return {
        {"format version 2", [](B& b, const L&) { setU32(b, 8, 2); doc::resealHead(b); },
         DevBadFormat, {}, DevSuccess},
        {"format version 0", [](B& b, const L&) { setU32(b, 8, 0); doc::resealHead(b); },
         DevBadFormat, {}, DevSuccess},
        {"constantFrameRate stored as 2", [](B& b, const L&) { b[12] = 2; doc::resealHead(b); },
         DevCorrupt, {}, DevSuccess},
        {"loopShow stored as 255", [](B& b, const L&) { b[13] = 255; doc::resealHead(b); },
         DevCorrupt, {}, DevSuccess},
        {"comment without terminator", [=](B& b, const L&) { fillText(b, 22); doc::resealHead(b); },
         DevCorrupt, {}, DevSuccess},
        {"signature without terminator", [=](B& b, const L&) { fillText(b, 550); doc::resealHead(b); },
         DevCorrupt, {}, DevSuccess},
        {"name without terminator", [=](B& b, const L&) { fillText(b, 1062); doc::resealHead(b); },
         DevCorrupt, {}, DevSuccess},
        {"channel count 2049",
         [](B& b, const L& l) {
             setU32(b, l.frameOffsets[1] + 9, SHOWTAPE_MAX_CHANNELS + 1);
             setU32(b, l.frameOffsets[1] + 13, doc::crc(b.data() + l.frameOffsets[1], 13));
         },
         DevSuccess, {0}, DevCorrupt},
        {"negative channel count",
         [](B& b, const L& l) {
             setU32(b, l.frameOffsets[1] + 9, 0xFFFFFFFFu);
             setU32(b, l.frameOffsets[1] + 13, doc::crc(b.data() + l.frameOffsets[1], 13));
         },
         DevSuccess, {0}, DevCorrupt},
        {"unknown record type", [](B& b, const L& l) { b[l.frameOffsets[2]] = 'X'; },
         DevSuccess, {0, 1}, DevCorrupt},
        {"frame count in end record one too high",
         [](B& b, const L& l) {
             b[l.endOffset + 1] = static_cast<std::uint8_t>(b[l.endOffset + 1] + 1);
             doc::resealEnd(b, l.endOffset);
         },
         DevSuccess, {0, 1, 2}, DevCorrupt},
        {"running CRC in end record wrong",
         [](B& b, const L& l) {
             b[l.endOffset + 9] = static_cast<std::uint8_t>(b[l.endOffset + 9] ^ 1);
             doc::resealEnd(b, l.endOffset);
         },
         DevSuccess, {0, 1, 2}, DevCorrupt},
        {"a byte after the end record", [](B& b, const L&) { b.push_back(0); },
         DevSuccess, {0, 1, 2}, DevCorrupt},
        {"a second end record", [](B& b, const L& l) { b.insert(b.end(), b.begin() + static_cast<std::ptrdiff_t>(l.endOffset), b.end()); },
         DevSuccess, {0, 1, 2}, DevCorrupt},
        {"a whole frame record removed",
         [](B& b, const L& l) {
             b.erase(b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[1]),
                     b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[2]));
         },
         DevSuccess, {0, 2}, DevCorrupt},
        {"a whole frame record repeated",
         [](B& b, const L& l) {
             const B record(b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[1]),
                            b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[2]));
             b.insert(b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[2]), record.begin(),
                      record.end());
         },
         DevSuccess, {0, 1, 1, 2}, DevCorrupt},
        {"two frame records swapped",
         [](B& b, const L& l) {
             const auto first = b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[1]);
             std::rotate(first, b.begin() + static_cast<std::ptrdiff_t>(l.frameOffsets[2]),
                         b.begin() + static_cast<std::ptrdiff_t>(l.endOffset));
         },
         DevSuccess, {0, 2, 1}, DevCorrupt},
    };
}

TEST_F(ShowtapeDamage, ContentNoWriterProducesIsRefusedDespiteValidChecksums) {
    for (const CraftedCase& c : craftedCases()) {
        SCOPED_TRACE(c.label);
        std::vector<std::uint8_t> bad = bytes_;
        c.edit(bad, layout_);
        writeBytes(damaged_, bad);
        const ReadResult got = readShow(damaged_);
        ASSERT_EQ(got.openCode, c.openCode);
        if (c.openCode != DevSuccess) continue;
        std::vector<Frame> expected;
        for (std::size_t i : c.frames) expected.push_back(show_.frames[i]);
        EXPECT_EQ(got.frames, expected);
        EXPECT_EQ(got.endCode, c.endCode);
    }
}

TEST_F(ShowtapeDamage, DamageIsReportedAgainUntilRewindThenTheFramesComeAgain) {
    std::vector<std::uint8_t> bad = bytes_;
    bad[layout_.frameOffsets[2] + doc::kFrameHeaderSize] ^= std::uint8_t{0x10};  // channel byte of frame 2
    writeBytes(damaged_, bad);

    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header;
    ASSERT_EQ(openShowtape(&handle, damaged_.c_str(), name, &header), DevSuccess);
    std::vector<std::uint8_t> buffer(SHOWTAPE_MAX_CHANNELS, 0xEE);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        for (int i = 0; i < 2; ++i) {
            DMXFrame frame{0, 0, 0, buffer.data()};
            ASSERT_EQ(readDMXFrame(&handle, &frame), DevSuccess);
        }
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        for (int again = 0; again < 2; ++again) {
            DMXFrame frame{-3, -4, -5, buffer.data()};
            ASSERT_EQ(readDMXFrame(&handle, &frame), DevCorrupt);
            // The damaged record never reaches the caller, not even in part.
            EXPECT_EQ(frame.channelCount, -3);
            EXPECT_EQ(frame.startCode, -4);
            EXPECT_EQ(frame.timeCode, -5);
            EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), SHOWTAPE_MAX_CHANNELS);
        }
        ASSERT_EQ(rewindShowtape(&handle), DevSuccess);
    }
    EXPECT_EQ(closeShowtape(&handle), DevSuccess);
}

TEST(ShowtapeForeignFiles, AreRefusedWithoutAHandle) {
    TempDir dir;
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(4000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    const std::string text = "This is a plain text file, not a show.\n";
    struct Case {
        const char* label;
        std::vector<std::uint8_t> bytes;
        DevReturn expected;
    } cases[] = {
        {"empty file", {}, DevTruncated},
        {"half the magic", {'S', 'H', 'O', 'W'}, DevTruncated},
        {"magic without version", {'S', 'H', 'O', 'W', 'T', 'A', 'P', 'E', 1}, DevTruncated},
        {"text", {text.begin(), text.end()}, DevBadFormat},
        {"noise", noise, DevBadFormat},
        {"lower-case magic", {'s', 'h', 'o', 'w', 't', 'a', 'p', 'e', 1, 0, 0, 0}, DevBadFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = dir.file("foreign.dmx");
        writeBytes(path, c.bytes);
        ShowtapeHandle handle{77, 88};
        DevChar name[DEV_TEXT_UNITS] = {u'k'};
        ShowtapeHeader header{};
        header.numberChannels = 99;
        EXPECT_EQ(openShowtape(&handle, path.c_str(), name, &header), c.expected);
        EXPECT_EQ(handle.versionNumber, 77);
        EXPECT_EQ(handle.fileHandle, 88);
        EXPECT_EQ(name[0], u'k');
        EXPECT_EQ(header.numberChannels, 99);
    }
}

TEST(ShowtapeForeignFiles, FoldersAndMissingFilesAreRefused) {
    TempDir dir;
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header;
    EXPECT_EQ(openShowtape(&handle, dir.path().c_str(), name, &header), DevBadFormat);
    EXPECT_EQ(openShowtape(&handle, dir.file("missing.dmx").c_str(), name, &header), DevFileNotFound);
    EXPECT_EQ(openShowtape(&handle, dir.file("missing/x.dmx").c_str(), name, &header),
              DevFileNotFound);
    EXPECT_EQ(openShowtape(&handle, "", name, &header), DevInvalidName);
}

}  // namespace
}  // namespace st_test
