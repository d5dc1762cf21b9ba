// Bad arguments, wrong states and wrong handles get an error code, leave the
// caller's records alone and leave nothing behind on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <functional>
#include <limits>

#include "support.h"

namespace st_test {
namespace {

constexpr auto kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr auto kInt32Max = std::numeric_limits<std::int32_t>::max();

struct CreateArgs {
    ShowtapeHandle* handle = nullptr;
    std::string path;
    bool nullPath = false;
    std::u16string name;
    bool nullName = false;
    ShowtapeHeader header;
    bool nullHeader = false;
    std::int32_t formatVersion = 1;
    DevBool replaceExisting = 1;
};

DevReturn create(const CreateArgs& a) {
    return createShowtape(a.handle, a.nullPath ? nullptr : a.path.c_str(),
                          a.nullName ? nullptr : a.name.c_str(), a.nullHeader ? nullptr : &a.header,
                          a.formatVersion, a.replaceExisting);
}

TEST(ShowtapeCreateRefusals, BadArgumentsLeaveNoHandleAndNoFile) {
    TempDir dir;
    const std::string existing = dir.file("existing.dmx");
    writeBytes(existing, {'o', 'l', 'd'});
    ASSERT_EQ(::mkdir(dir.file("folder.dmx").c_str(), 0755), 0);
    const auto before = dir.entries();

    struct Case {
        const char* label;
        std::function<void(CreateArgs&)> edit;
        DevReturn expected;
    };
    const Case cases[] = {
        {"null handle", [](CreateArgs& a) { a.handle = nullptr; }, DevInvalidArgument},
        {"null path", [](CreateArgs& a) { a.nullPath = true; }, DevInvalidArgument},
        {"null name", [](CreateArgs& a) { a.nullName = true; }, DevInvalidArgument},
        {"null header", [](CreateArgs& a) { a.nullHeader = true; }, DevInvalidArgument},
        {"format version 2", [](CreateArgs& a) { a.formatVersion = 2; }, DevBadFormat},
        {"format version -1", [](CreateArgs& a) { a.formatVersion = -1; }, DevBadFormat},
        {"format version max", [](CreateArgs& a) { a.formatVersion = kInt32Max; }, DevBadFormat},
        {"empty path", [](CreateArgs& a) { a.path = ""; }, DevInvalidName},
        {"path ends in a slash", [&](CreateArgs& a) { a.path = dir.path() + "/"; }, DevInvalidName},
        {"path ends in a dot", [&](CreateArgs& a) { a.path = dir.path() + "/."; }, DevInvalidName},
        {"path ends in two dots", [&](CreateArgs& a) { a.path = dir.path() + "/.."; }, DevInvalidName},
        {"file name longer than 255 bytes",
         [&](CreateArgs& a) { a.path = dir.file(std::string(256, 'n')); }, DevInvalidName},
        {"show name of 256 units", [](CreateArgs& a) { a.name = std::u16string(256, u'n'); },
         DevInvalidName},
        {"show name of 1000 units", [](CreateArgs& a) { a.name = std::u16string(1000, u'n'); },
         DevInvalidName},
        {"comment without terminator",
         [](CreateArgs& a) { std::fill(std::begin(a.header.commentField), std::end(a.header.commentField), u'c'); },
         DevInvalidArgument},
        {"signature without terminator",
         [](CreateArgs& a) { std::fill(std::begin(a.header.effectSignature), std::end(a.header.effectSignature), u's'); },
         DevInvalidArgument},
        {"folder missing", [&](CreateArgs& a) { a.path = dir.file("missing/show.dmx"); }, DevFileNotFound},
        {"a file used as folder", [&](CreateArgs& a) { a.path = existing + "/show.dmx"; }, DevFileNotFound},
        {"existing file, no replacing",
         [&](CreateArgs& a) { a.path = existing; a.replaceExisting = 0; }, DevFileExists},
        {"existing folder, replacing allowed",
         [&](CreateArgs& a) { a.path = dir.file("folder.dmx"); }, DevFileExists},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ShowtapeHandle handle{123, 456};
        CreateArgs args;
        args.handle = &handle;
        args.path = dir.file("new.dmx");
        args.name = u"name";
        args.header = sampleHeader();
        c.edit(args);
        EXPECT_EQ(create(args), c.expected);
        EXPECT_EQ(handle.versionNumber, 123);
        EXPECT_EQ(handle.fileHandle, 456);
        EXPECT_EQ(dir.entries(), before);  // no target, no temporary file left
        EXPECT_EQ(readBytes(existing), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    }
}

TEST(ShowtapeCreateRefusals, ShowNameOf255UnitsIsAccepted) {
    TempDir dir;
    const Show show{std::u16string(255, u'\xffff'), sampleHeader(), {}};
    ASSERT_EQ(writeShow(dir.file("long.dmx"), show), DevSuccess);
    EXPECT_EQ(readShow(dir.file("long.dmx")).name, show.name);
}

class ShowtapeWriting : public ::testing::Test {
protected:
    void SetUp() override {
        const std::u16string name = u"w";
        const ShowtapeHeader header = sampleHeader();
        ASSERT_EQ(createShowtape(&handle_, path_.c_str(), name.c_str(), &header, 1, 0), DevSuccess);
    }
    void TearDown() override { closeShowtape(&handle_); }

    TempDir dir_;
    std::string path_ = dir_.file("w.dmx");
    ShowtapeHandle handle_{};
    std::vector<std::uint8_t> data_ = std::vector<std::uint8_t>(SHOWTAPE_MAX_CHANNELS + 10, 0x33);
};

TEST_F(ShowtapeWriting, RefusedFramesLeaveOnlyTheAcceptedOnesInTheFile) {
    struct Case {
        const char* label;
        DMXFrame frame;
        DevReturn expected;
    } cases[] = {
        {"negative count", {-1, 0, 0, data_.data()}, DevFrameTooLarge},
        {"lowest count", {kInt32Min, 0, 0, data_.data()}, DevFrameTooLarge},
        {"one channel too many", {SHOWTAPE_MAX_CHANNELS + 1, 0, 0, data_.data()}, DevFrameTooLarge},
        {"highest count", {kInt32Max, 0, 0, data_.data()}, DevFrameTooLarge},
        {"channels without data", {5, 0, 0, nullptr}, DevInvalidArgument},
        {"no channels, no data", {0, 11, 12, nullptr}, DevSuccess},
        {"largest frame", {SHOWTAPE_MAX_CHANNELS, 21, 22, data_.data()}, DevSuccess},
    };
    std::vector<Frame> accepted;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(writeDMXFrame(&handle_, &c.frame), c.expected);
        if (c.expected == DevSuccess) {
            accepted.push_back(Frame{c.frame.startCode, c.frame.timeCode,
                                     std::vector<std::uint8_t>(data_.begin(),
                                                               data_.begin() + c.frame.channelCount)});
        }
    }
    EXPECT_EQ(writeDMXFrame(&handle_, nullptr), DevInvalidArgument);
    ASSERT_EQ(closeShowtape(&handle_), DevSuccess);

    const ReadResult got = readShow(path_);
    EXPECT_EQ(got.frames, accepted);
    EXPECT_EQ(got.endCode, DevNoMoreData);
}

TEST_F(ShowtapeWriting, ReadingAndRewindingAFileBeingWrittenIsTheWrongState) {
    DMXFrame frame{0, 0, 0, data_.data()};
    EXPECT_EQ(readDMXFrame(&handle_, &frame), DevWrongState);
    EXPECT_EQ(rewindShowtape(&handle_), DevWrongState);
    // Still a good file afterwards.
    EXPECT_EQ(writeDMXFrame(&handle_, &frame), DevSuccess);
    EXPECT_EQ(closeShowtape(&handle_), DevSuccess);
    EXPECT_EQ(readShow(path_).frames.size(), 1u);
}

TEST(ShowtapeStateRefusals, WritingAFileBeingReadIsTheWrongState) {
    TempDir dir;
    const std::string path = dir.file("r.dmx");
    ASSERT_EQ(writeShow(path, Show{u"r", sampleHeader(), sampleFrames(1)}), DevSuccess);
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header;
    ASSERT_EQ(openShowtape(&handle, path.c_str(), name, &header), DevSuccess);
    std::uint8_t data[SHOWTAPE_MAX_CHANNELS] = {};
    DMXFrame frame{1, 0, 0, data};
    EXPECT_EQ(writeDMXFrame(&handle, &frame), DevWrongState);

    EXPECT_EQ(readDMXFrame(&handle, nullptr), DevInvalidArgument);
    DMXFrame noBuffer{0, 0, 0, nullptr};
    EXPECT_EQ(readDMXFrame(&handle, &noBuffer), DevInvalidArgument);
    // The refusals consumed nothing.
    EXPECT_EQ(readDMXFrame(&handle, &frame), DevSuccess);
    EXPECT_EQ(readDMXFrame(&handle, &frame), DevNoMoreData);
    EXPECT_EQ(closeShowtape(&handle), DevSuccess);
}

TEST(ShowtapeStateRefusals, NullHandleIsRefusedEverywhere) {
    std::uint8_t data[SHOWTAPE_MAX_CHANNELS] = {};
    DMXFrame frame{0, 0, 0, data};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header = sampleHeader();
    const std::u16string showName = u"x";
    EXPECT_EQ(readDMXFrame(nullptr, &frame), DevInvalidArgument);
    EXPECT_EQ(writeDMXFrame(nullptr, &frame), DevInvalidArgument);
    EXPECT_EQ(rewindShowtape(nullptr), DevInvalidArgument);
    EXPECT_EQ(closeShowtape(nullptr), DevInvalidArgument);
    EXPECT_EQ(openShowtape(nullptr, "/nonexistent", name, &header), DevInvalidArgument);

    ShowtapeHandle handle{5, 6};
    TempDir dir;
    ASSERT_EQ(writeShow(dir.file("s.dmx"), Show{u"s", header, {}}), DevSuccess);
    const std::string path = dir.file("s.dmx");
    EXPECT_EQ(openShowtape(&handle, nullptr, name, &header), DevInvalidArgument);
    EXPECT_EQ(openShowtape(&handle, path.c_str(), nullptr, &header), DevInvalidArgument);
    EXPECT_EQ(openShowtape(&handle, path.c_str(), name, nullptr), DevInvalidArgument);
    EXPECT_EQ(handle.versionNumber, 5);
    EXPECT_EQ(handle.fileHandle, 6);
}

// Opens one show for reading; returns its handle.
ShowtapeHandle openForReading(const std::string& path) {
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header;
    EXPECT_EQ(openShowtape(&handle, path.c_str(), name, &header), DevSuccess);
    return handle;
}

TEST(ShowtapeHandles, ClosedAndForgedHandlesReachNoFile) {
    TempDir dir;
    const std::string path = dir.file("h.dmx");
    ASSERT_EQ(writeShow(path, Show{u"h", sampleHeader(), sampleFrames(3)}), DevSuccess);
    const ShowtapeHandle live = openForReading(path);
    const ShowtapeHandle closed = openForReading(path);
    ASSERT_EQ(closeShowtape(&closed), DevSuccess);

    std::uint8_t data[SHOWTAPE_MAX_CHANNELS];
    const ShowtapeHandle bad[] = {
        closed,
        {live.versionNumber, -1},
        {live.versionNumber, kInt32Min},
        {live.versionNumber, kInt32Max},
        {live.versionNumber, live.fileHandle + 1000},
        {live.versionNumber + 1, live.fileHandle},
        {live.versionNumber - 1, live.fileHandle},
        {0, live.fileHandle},
        {-1, live.fileHandle},
    };
    for (const ShowtapeHandle& h : bad) {
        SCOPED_TRACE(::testing::Message() << "handle " << h.fileHandle << "/" << h.versionNumber);
        DMXFrame frame{0, 0, 0, data};
        EXPECT_EQ(readDMXFrame(&h, &frame), DevInvalidHandle);
        EXPECT_EQ(writeDMXFrame(&h, &frame), DevInvalidHandle);
        EXPECT_EQ(rewindShowtape(&h), DevInvalidHandle);
        EXPECT_EQ(closeShowtape(&h), DevInvalidHandle);
    }
    // None of that disturbed the open file, which is found by value alone.
    const ShowtapeHandle copy = live;
    DMXFrame frame{0, 0, 0, data};
    EXPECT_EQ(readDMXFrame(&copy, &frame), DevSuccess);
    EXPECT_EQ(closeShowtape(&live), DevSuccess);
    EXPECT_EQ(closeShowtape(&copy), DevInvalidHandle);
}

TEST(ShowtapeHandles, AReusedSlotIsNotReachedThroughItsOldHandle) {
    TempDir dir;
    const std::string first = dir.file("first.dmx");
    const std::string second = dir.file("second.dmx");
    ASSERT_EQ(writeShow(first, Show{u"1", sampleHeader(), sampleFrames(1)}), DevSuccess);
    ASSERT_EQ(writeShow(second, Show{u"2", sampleHeader(), sampleFrames(5)}), DevSuccess);

    // Open and close many times: slots are reused, generations are not.
    std::vector<ShowtapeHandle> stale;
    for (int i = 0; i < 50; ++i) {
        const ShowtapeHandle h = openForReading(first);
        ASSERT_NE(h.fileHandle, -1);
        ASSERT_EQ(closeShowtape(&h), DevSuccess);
        stale.push_back(h);
    }
    const ShowtapeHandle current = openForReading(second);
    std::uint8_t data[SHOWTAPE_MAX_CHANNELS];
    for (const ShowtapeHandle& h : stale) {
        DMXFrame frame{0, 0, 0, data};
        ASSERT_EQ(readDMXFrame(&h, &frame), DevInvalidHandle);
        ASSERT_EQ(closeShowtape(&h), DevInvalidHandle);
    }
    int frames = 0;
    DMXFrame frame{0, 0, 0, data};
    while (readDMXFrame(&current, &frame) == DevSuccess) ++frames;
    EXPECT_EQ(frames, 5);  // every frame of the new file is still there
    EXPECT_EQ(closeShowtape(&current), DevSuccess);
}

TEST(ShowtapeHandles, ManyOpenFilesGetDistinctHandlesAndNeverMinusOne) {
    TempDir dir;
    const std::string path = dir.file("m.dmx");
    ASSERT_EQ(writeShow(path, Show{u"m", sampleHeader(), {}}), DevSuccess);
    std::vector<ShowtapeHandle> handles;
    for (int i = 0; i < 64; ++i) handles.push_back(openForReading(path));
    for (std::size_t i = 0; i < handles.size(); ++i) {
        EXPECT_NE(handles[i].fileHandle, -1);
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(handles[i].fileHandle == handles[j].fileHandle &&
                         handles[i].versionNumber == handles[j].versionNumber);
        }
    }
    for (const ShowtapeHandle& h : handles) EXPECT_EQ(closeShowtape(&h), DevSuccess);
}

}  // namespace
}  // namespace st_test
