// What is written comes back unchanged, and the bytes on disk are the ones
// docs/show-file-format.md describes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "support.h"

namespace st_test {
namespace {

constexpr auto kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr auto kInt32Max = std::numeric_limits<std::int32_t>::max();

std::u16string fullText(char16_t first) {
    // 255 units, none zero, covering unpaired surrogates and the top unit.
    std::u16string text;
    for (int i = 0; i < DEV_TEXT_UNITS - 1; ++i) {
        text.push_back(static_cast<char16_t>(first + static_cast<char16_t>(i * 257)));
        if (text.back() == 0) text.back() = 0xFFFF;
    }
    text[1] = 0xD800;
    text[2] = 0xFFFF;
    return text;
}

struct HeaderCase {
    const char* label;
    std::u16string name;
    ShowtapeHeader header;
};

std::vector<HeaderCase> headerCases() {
    std::vector<HeaderCase> cases;

    cases.push_back({"all zero, empty name", u"", ShowtapeHeader{}});

    ShowtapeHeader low{};
    low.constantFrameRate = 1;
    low.loopShow = 1;
    low.date = std::numeric_limits<std::int64_t>::min();
    setText(low.commentField, fullText(u'a'));
    low.frameRate = -0.0;
    low.numberChannels = kInt32Min;
    low.totalFrames = -1;
    setText(low.effectSignature, fullText(u'\x7fff'));
    cases.push_back({"lowest values, every text field full", fullText(u'\xe000'), low});

    ShowtapeHeader high{};
    high.date = std::numeric_limits<std::int64_t>::max();
    high.frameRate = std::numeric_limits<double>::infinity();
    high.numberChannels = kInt32Max;
    high.totalFrames = kInt32Max;
    setText(high.commentField, u"x");
    cases.push_back({"highest values", u"\x0001", high});

    ShowtapeHeader odd{};
    odd.frameRate = std::bit_cast<double>(std::uint64_t{0x7FF8'0000'DEAD'BEEF});  // NaN payload
    odd.constantFrameRate = 2;  // any nonzero bool is true and comes back as 1
    odd.loopShow = 255;
    setText(odd.commentField, u"ab");
    odd.commentField[5] = u'z';  // behind the terminator: must not reach the file
    odd.effectSignature[0] = 0;
    std::fill(std::begin(odd.effectSignature) + 1, std::end(odd.effectSignature), u'q');
    cases.push_back({"NaN rate, bools above 1, bytes behind terminators", u"Show", odd});

    ShowtapeHeader tiny{};
    tiny.frameRate = std::numeric_limits<double>::denorm_min();
    tiny.date = -1;
    cases.push_back({"denormal rate", u"\u00c4nderung", tiny});
    return cases;
}

TEST(ShowtapeRoundTrip, HeaderAndNameComeBackAndMatchTheDocumentedBytes) {
    TempDir dir;
    for (const HeaderCase& c : headerCases()) {
        SCOPED_TRACE(c.label);
        const std::string path = dir.file("show.dmx");
        Show show{c.name, c.header, sampleFrames(2)};
        ASSERT_EQ(writeShow(path, show), DevSuccess);

        const ReadResult got = readShow(path);
        ASSERT_EQ(got.openCode, DevSuccess);
        EXPECT_EQ(got.name, c.name);
        EXPECT_TRUE(sameHeader(canonical(c.header), got.header));
        EXPECT_EQ(got.frames, show.frames);
        EXPECT_EQ(got.endCode, DevNoMoreData);

        EXPECT_EQ(readBytes(path), doc::encode(show));
    }
}

TEST(ShowtapeRoundTrip, OpenFillsEveryUnitOfTheNameBuffer) {
    TempDir dir;
    const std::string path = dir.file("show.dmx");
    ASSERT_EQ(writeShow(path, Show{u"abc", sampleHeader(), {}}), DevSuccess);
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    std::fill(std::begin(name), std::end(name), u'#');
    ShowtapeHeader header;
    std::memset(&header, 0x5A, sizeof header);
    ASSERT_EQ(openShowtape(&handle, path.c_str(), name, &header), DevSuccess);
    EXPECT_EQ(textOf(name), u"abc");
    for (std::size_t i = 3; i < DEV_TEXT_UNITS; ++i) ASSERT_EQ(name[i], 0) << "unit " << i;
    EXPECT_TRUE(sameHeader(sampleHeader(), header));
    EXPECT_EQ(closeShowtape(&handle), DevSuccess);
}

TEST(ShowtapeRoundTrip, FramesComeBackExactlyAndMatchTheDocumentedBytes) {
    std::vector<Frame> frames;
    Frame all;  // every byte value, up to the largest frame
    all.startCode = kInt32Min;
    all.timeCode = kInt32Max;
    for (int i = 0; i < SHOWTAPE_MAX_CHANNELS; ++i) all.data.push_back(static_cast<std::uint8_t>(i));
    frames.push_back(all);
    frames.push_back(Frame{-1, -2, {}});             // empty frame
    frames.push_back(Frame{0, 0, {255}});
    frames.push_back(Frame{kInt32Max, kInt32Min, std::vector<std::uint8_t>(512, 0)});
    frames.push_back(Frame{0x55, 7, {}});
    // Enough frames of every size to cross the 64 KiB buffers many times.
    for (const Frame& f : sampleFrames(700, 3)) frames.push_back(f);

    TempDir dir;
    const std::string path = dir.file("frames.dmx");
    const Show show{u"frames", sampleHeader(), frames};
    ASSERT_EQ(writeShow(path, show), DevSuccess);
    const ReadResult got = readShow(path);
    ASSERT_EQ(got.openCode, DevSuccess);
    ASSERT_EQ(got.frames.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(got.frames[i], frames[i]) << "frame " << i;
    EXPECT_EQ(got.endCode, DevNoMoreData);
    EXPECT_EQ(readBytes(path), doc::encode(show));
}

TEST(ShowtapeRoundTrip, FormatVersionZeroWritesTheNewestFormat) {
    TempDir dir;
    const Show show{u"v", sampleHeader(), sampleFrames(3)};
    for (std::int32_t version : {0, 1}) {
        SCOPED_TRACE(version);
        const std::string path = dir.file("v" + std::to_string(version) + ".dmx");
        ShowtapeHandle handle{};
        ASSERT_EQ(createShowtape(&handle, path.c_str(), show.name.c_str(), &show.header, version, 0),
                  DevSuccess);
        for (Frame f : show.frames) {
            DMXFrame frame{static_cast<std::int32_t>(f.data.size()), f.startCode, f.timeCode,
                           f.data.data()};
            ASSERT_EQ(writeDMXFrame(&handle, &frame), DevSuccess);
        }
        ASSERT_EQ(closeShowtape(&handle), DevSuccess);
        EXPECT_EQ(readBytes(path), doc::encode(show));
    }
}

TEST(ShowtapeRoundTrip, ShowWithoutFramesEndsAtOnce) {
    TempDir dir;
    const std::string path = dir.file("empty.dmx");
    ASSERT_EQ(writeShow(path, Show{u"nothing", sampleHeader(), {}}), DevSuccess);
    const ReadResult got = readShow(path);
    EXPECT_EQ(got.openCode, DevSuccess);
    EXPECT_TRUE(got.frames.empty());
    EXPECT_EQ(got.endCode, DevNoMoreData);
}

class ShowtapeReading : public ::testing::Test {
protected:
    void SetUp() override {
        show_ = Show{u"reading", sampleHeader(), sampleFrames(40)};
        ASSERT_EQ(writeShow(path_, show_), DevSuccess);
        DevChar name[DEV_TEXT_UNITS];
        ShowtapeHeader header;
        ASSERT_EQ(openShowtape(&handle_, path_.c_str(), name, &header), DevSuccess);
    }
    void TearDown() override { closeShowtape(&handle_); }

    // Reads `count` frames and checks them against the show from `first` on.
    void expectFrames(std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < first + count; ++i) {
            DMXFrame frame{-1, 0, 0, buffer_.data()};
            ASSERT_EQ(readDMXFrame(&handle_, &frame), DevSuccess) << "frame " << i;
            const Frame got{frame.startCode, frame.timeCode,
                            {buffer_.begin(), buffer_.begin() + frame.channelCount}};
            ASSERT_EQ(got, show_.frames[i]) << "frame " << i;
        }
    }

    TempDir dir_;
    std::string path_ = dir_.file("reading.dmx");
    Show show_;
    ShowtapeHandle handle_{};
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(SHOWTAPE_MAX_CHANNELS);
};

TEST_F(ShowtapeReading, EndIsReportedAgainAndLeavesTheFrameAlone) {
    expectFrames(0, show_.frames.size());
    std::fill(buffer_.begin(), buffer_.end(), 0xA5);
    for (int i = 0; i < 3; ++i) {
        DMXFrame frame{-7, -8, -9, buffer_.data()};
        ASSERT_EQ(readDMXFrame(&handle_, &frame), DevNoMoreData);
        EXPECT_EQ(frame.channelCount, -7);
        EXPECT_EQ(frame.startCode, -8);
        EXPECT_EQ(frame.timeCode, -9);
    }
    EXPECT_EQ(std::count(buffer_.begin(), buffer_.end(), 0xA5), SHOWTAPE_MAX_CHANNELS);
}

TEST_F(ShowtapeReading, RewindStartsAgainFromAnywhere) {
    expectFrames(0, 5);
    ASSERT_EQ(rewindShowtape(&handle_), DevSuccess);
    expectFrames(0, show_.frames.size());
    ASSERT_EQ(rewindShowtape(&handle_), DevSuccess);  // after the end
    ASSERT_EQ(rewindShowtape(&handle_), DevSuccess);  // twice in a row
    expectFrames(0, show_.frames.size());
    DMXFrame frame{0, 0, 0, buffer_.data()};
    EXPECT_EQ(readDMXFrame(&handle_, &frame), DevNoMoreData);
}

TEST_F(ShowtapeReading, ReadWritesNoMoreThanChannelCountBytes) {
    // Frame 1 of the sample has one channel.
    ASSERT_EQ(show_.frames[1].data.size(), 1u);
    expectFrames(0, 1);
    std::fill(buffer_.begin(), buffer_.end(), 0xA5);
    DMXFrame frame{0, 0, 0, buffer_.data()};
    ASSERT_EQ(readDMXFrame(&handle_, &frame), DevSuccess);
    ASSERT_EQ(frame.channelCount, 1);
    EXPECT_EQ(std::count(buffer_.begin() + 1, buffer_.end(), 0xA5), SHOWTAPE_MAX_CHANNELS - 1);
}

TEST(ShowtapeVersion, ReportsOneZeroZero) {
    std::int32_t major = -1, minor = -1, build = -1;
    ASSERT_EQ(getLibraryVersion(&major, &minor, &build), DevSuccess);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(build, 0);
}

TEST(ShowtapeVersion, NullOutputIsRefusedAndNothingIsWritten) {
    std::int32_t a = -1, b = -1;
    EXPECT_EQ(getLibraryVersion(nullptr, &a, &b), DevInvalidArgument);
    EXPECT_EQ(getLibraryVersion(&a, nullptr, &b), DevInvalidArgument);
    EXPECT_EQ(getLibraryVersion(&a, &b, nullptr), DevInvalidArgument);
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, -1);
}

}  // namespace
}  // namespace st_test
