// The show store: upload, test upload, listing, reading, deleting, and the
// refusals that must leave nothing behind. Most run against both backends:
// the built-in controller's memory store and a folder of show files.
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <thread>

#include "showtape.h"
#include "sim_support.h"

using namespace simtest;

namespace {

enum class Backend { Memory, Folder };

class StoreTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Memory) {
            useBuiltIn();  // LD-512: 8 MiB, 16 shows, three demo shows
        } else {
            sim_ = std::make_unique<SimDir>();
            sim_->addController("c", descriptor(1, 1, "totalSpace = 8M\nmaxNumberShows = 16\n"));
            sim_->use();
        }
        h_ = openOrFail(1, 1);
    }
    void TearDown() override { closeDevice(h_); }

    int64_t freeSpace() {
        int64_t f = -1;
        EXPECT_EQ(getFreeSpace(h_, &f), DevSuccess);
        return f;
    }
    DevState state() {
        DevState s = -1;
        EXPECT_EQ(getDeviceState(h_, &s), DevSuccess);
        return s;
    }
    // What is on disk for the folder backend (empty for memory).
    std::map<std::string, std::string> disk() const {
        return sim_ ? snapshot(sim_->root()) : std::map<std::string, std::string>{};
    }

    std::unique_ptr<SimDir> sim_;
    int32_t h_ = -1;
};

std::string backendName(const ::testing::TestParamInfo<Backend>& p) {
    return p.param == Backend::Memory ? "Memory" : "Folder";
}

TEST_P(StoreTest, UploadThenListThenReadBackByteIdentical) {
    const int64_t before = freeSpace();
    const auto listedBefore = listAll(h_);
    const ShowtapeHeader header = makeHeader(512, 40, u16("Comment ✓"));
    FrameSet fs(40, {512, 0, 1, 300, 512, 17}, 3);
    const int64_t t0 = std::time(nullptr);

    ShowtapeHeader h = header;
    ASSERT_EQ(createFile(h_, u"Round trip", &h, 0), DevSuccess);
    ASSERT_EQ(writeFrames(h_, 15, fs.frames.data()), DevSuccess);
    ASSERT_EQ(writeFrames(h_, 0, nullptr), DevSuccess);  // an empty batch is fine
    ASSERT_EQ(writeFrames(h_, 25, fs.frames.data() + 15), DevSuccess);
    EXPECT_EQ(listAll(h_), listedBefore) << "a show appears only once it is closed";
    EXPECT_EQ(freeSpace(), before);
    ASSERT_EQ(closeFile(h_), DevSuccess);

    const auto listed = listAll(h_);
    ASSERT_EQ(listed.size(), listedBefore.size() + 1);
    const Listed& e = listed.at(u"Round trip");
    EXPECT_EQ(e.size, fs.showSize());
    EXPECT_FALSE(e.isDirectory);
    EXPECT_GE(e.lastModified, t0 - 2);
    EXPECT_LE(e.lastModified, std::time(nullptr) + 2);
    EXPECT_EQ(freeSpace(), before - fs.showSize());

    ReadShow back;
    ASSERT_EQ(readBack(h_, u"Round trip", back), DevSuccess);
    EXPECT_EQ(std::memcmp(&back.header, &header, sizeof header), 0);
    ASSERT_EQ(back.data.size(), fs.frames.size());
    for (std::size_t i = 0; i < fs.frames.size(); ++i) {
        const DMXFrame& f = fs.frames[i];
        EXPECT_EQ(back.startCodes[i], f.startCode) << i;
        EXPECT_EQ(back.timeCodes[i], f.timeCode) << i;
        EXPECT_EQ(back.data[i], std::vector<uint8_t>(f.dmxData, f.dmxData + f.channelCount)) << i;
    }

    // The same input through the test trio predicts exactly that size.
    ASSERT_EQ(createTestFile(h_, u"Round trip 2", &header, 0), DevSuccess);
    ASSERT_EQ(writeTestFrames(h_, 40, fs.frames.data()), DevSuccess);
    DevBool fits = 0;
    int64_t size = 0;
    ASSERT_EQ(closeTestFile(h_, &fits, &size), DevSuccess);
    EXPECT_EQ(fits, 1);
    EXPECT_EQ(size, e.size);
}

TEST_P(StoreTest, HeaderIsKeptAsAShowFileKeepsIt) {
    // Bools other than 0 and 1 and text behind a terminator are normalised,
    // the rest of the header comes back unchanged, whatever its values.
    ShowtapeHeader h = makeHeader(0, -1);
    h.constantFrameRate = 2;
    h.loopShow = 200;
    h.date = std::numeric_limits<int64_t>::min();
    h.frameRate = 0.0;
    h.commentField[20] = u'x';  // behind the terminator
    ASSERT_EQ(upload(h_, u"Odd header", h, {}), DevSuccess);
    ReadShow back;
    ASSERT_EQ(readBack(h_, u"Odd header", back), DevSuccess);
    EXPECT_EQ(back.header.constantFrameRate, 1);
    EXPECT_EQ(back.header.loopShow, 1);
    EXPECT_EQ(back.header.date, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(back.header.totalFrames, -1);
    EXPECT_EQ(back.header.numberChannels, 0);
    EXPECT_EQ(std::u16string(back.header.commentField), u"test show");
    EXPECT_EQ(back.header.commentField[20], 0);
    EXPECT_TRUE(back.data.empty());
    EXPECT_EQ(listAll(h_).at(u"Odd header").size, showSize({}));
}

TEST_P(StoreTest, UnusableHeadersAreRefusedAtCreate) {
    struct Case {
        const char* why;
        void (*spoil)(ShowtapeHeader&);
        DevReturn expected;
    };
    const Case cases[] = {
        {"comment without terminator", [](ShowtapeHeader& h) { std::fill(std::begin(h.commentField), std::end(h.commentField), u'a'); }, DevInvalidArgument},
        {"signature without terminator", [](ShowtapeHeader& h) { std::fill(std::begin(h.effectSignature), std::end(h.effectSignature), u'b'); }, DevInvalidArgument},
        {"NaN frame rate", [](ShowtapeHeader& h) { h.frameRate = std::nan(""); }, DevInvalidArgument},
        {"negative frame rate", [](ShowtapeHeader& h) { h.frameRate = -1; }, DevInvalidArgument},
        {"negative channels", [](ShowtapeHeader& h) { h.numberChannels = -1; }, DevInvalidArgument},
        {"more than a universe", [](ShowtapeHeader& h) { h.numberChannels = 513; }, DevFrameTooLarge},
    };
    const auto before = listAll(h_);
    for (const auto& c : cases) {
        ShowtapeHeader h = makeHeader(8, 1);
        c.spoil(h);
        EXPECT_EQ(createFile(h_, u"Bad", &h, 0), c.expected) << c.why;
        EXPECT_EQ(createTestFile(h_, u"Bad", &h, 0), c.expected) << c.why;
        EXPECT_EQ(state(), DevStateIdle) << c.why;
    }
    EXPECT_EQ(createFile(h_, u"Bad", nullptr, 0), DevInvalidArgument);
    EXPECT_EQ(listAll(h_), before);
}

TEST_P(StoreTest, TestUploadJudgesFitAndStoresNothing) {
    const int64_t free0 = freeSpace();
    const auto listed0 = listAll(h_);
    const auto disk0 = disk();
    const ShowtapeHeader header = makeHeader(512, 0);

    // One 512-channel buffer serves a batch of any length.
    std::vector<uint8_t> universe(512, 0x42);
    const int32_t batch = 1000;
    std::vector<DMXFrame> frames(batch, DMXFrame{512, 0, 0, universe.data()});
    const int64_t perBatch = batch * (21 + 512);

    struct Case {
        int batches;
        bool fits;
    };
    const int fitting = static_cast<int>((free0 - showSize({})) / perBatch);
    for (const Case c : {Case{1, true}, Case{fitting, true}, Case{fitting + 1, false}, Case{40, false}}) {
        ASSERT_EQ(createTestFile(h_, u"Probe", &header, 0), DevSuccess);
        for (int b = 0; b < c.batches; ++b) ASSERT_EQ(writeTestFrames(h_, batch, frames.data()), DevSuccess);
        DevBool fits = 7;
        int64_t size = -1;
        ASSERT_EQ(closeTestFile(h_, &fits, &size), DevSuccess);
        EXPECT_EQ(fits, c.fits ? 1 : 0) << c.batches << " batches";
        EXPECT_EQ(size, showSize({}) + c.batches * perBatch);
        EXPECT_EQ(state(), DevStateIdle);
    }
    EXPECT_EQ(freeSpace(), free0);
    EXPECT_EQ(listAll(h_), listed0);
    EXPECT_EQ(disk(), disk0);
}

TEST_P(StoreTest, StoreFullRefusalLeavesNothingBehind) {
    const int64_t free0 = freeSpace();
    const auto listed0 = listAll(h_);
    const auto disk0 = disk();
    std::vector<uint8_t> universe(512, 7);
    // Just more than the free space, in one batch after a batch that fits.
    const auto needed = static_cast<int32_t>((free0 - showSize({})) / (21 + 512) + 1);
    std::vector<DMXFrame> frames(static_cast<std::size_t>(needed), DMXFrame{512, 0, 0, universe.data()});

    ShowtapeHeader header = makeHeader(512, needed);
    ASSERT_EQ(createFile(h_, u"Too big", &header, 0), DevSuccess);
    ASSERT_EQ(writeFrames(h_, 10, frames.data()), DevSuccess);
    EXPECT_EQ(writeFrames(h_, needed - 10, frames.data()), DevStoreFull);
    // The upload is spoiled: a later batch that would fit is refused too, so
    // the show can never be stored without the frames that were refused.
    EXPECT_EQ(writeFrames(h_, 1, frames.data()), DevStoreFull);
    EXPECT_EQ(closeFile(h_), DevStoreFull);
    EXPECT_EQ(state(), DevStateIdle);
    EXPECT_EQ(listAll(h_), listed0);
    EXPECT_EQ(freeSpace(), free0);
    EXPECT_EQ(disk(), disk0);

    // The store is still fine for a show that fits.
    FrameSet small(3, {512}, 1);
    EXPECT_EQ(upload(h_, u"Small", makeHeader(512, 3), small.frames), DevSuccess);
    EXPECT_EQ(freeSpace(), free0 - small.showSize());
}

TEST_P(StoreTest, MaximumNumberOfShowsIsRefusedAtCreate) {
    const int already = static_cast<int>(listAll(h_).size());
    FrameSet fs(1, {2}, 1);
    for (int i = already; i < 16; ++i)
        ASSERT_EQ(upload(h_, u"Show " + u16(std::to_string(i)), makeHeader(2, 1), fs.frames), DevSuccess);
    const auto listed = listAll(h_);
    const auto disk0 = disk();
    ShowtapeHeader header = makeHeader(2, 1);
    EXPECT_EQ(createFile(h_, u"One too many", &header, 0), DevTooManyShows);
    EXPECT_EQ(state(), DevStateIdle);

    ASSERT_EQ(createTestFile(h_, u"One too many", &header, 0), DevSuccess);
    DevBool fits = 1;
    int64_t size = 0;
    ASSERT_EQ(closeTestFile(h_, &fits, &size), DevSuccess);
    EXPECT_EQ(fits, 0);
    EXPECT_EQ(listAll(h_), listed);
    EXPECT_EQ(disk(), disk0);

    // Replacing a show does not add one.
    EXPECT_EQ(upload(h_, u"Show 15", header, fs.frames, true), DevSuccess);
    ASSERT_EQ(deleteFile(h_, u"Show 15", nullptr), DevSuccess);
    EXPECT_EQ(upload(h_, u"One too many", header, fs.frames), DevSuccess);
}

TEST_P(StoreTest, FrameAboveOneUniverseSpoilsTheUpload) {
    const auto listed0 = listAll(h_);
    const auto disk0 = disk();
    FrameSet good(4, {512}, 2);
    std::vector<uint8_t> wide(600, 1);
    struct Case {
        const char* why;
        DMXFrame bad;
        DevReturn expected;
    };
    const Case cases[] = {
        {"513 channels", DMXFrame{513, 0, 0, wide.data()}, DevFrameTooLarge},
        {"negative count", DMXFrame{-1, 0, 0, wide.data()}, DevFrameTooLarge},
        {"no channel data", DMXFrame{5, 0, 0, nullptr}, DevInvalidArgument},
    };
    for (const auto& c : cases) {
        ShowtapeHeader header = makeHeader(512, 5);
        ASSERT_EQ(createFile(h_, u"Spoiled", &header, 0), DevSuccess);
        ASSERT_EQ(writeFrames(h_, 2, good.frames.data()), DevSuccess);
        std::vector<DMXFrame> batch{good.frames[2], c.bad, good.frames[3]};
        EXPECT_EQ(writeFrames(h_, 3, batch.data()), c.expected) << c.why;
        EXPECT_EQ(writeFrames(h_, 1, good.frames.data()), c.expected) << c.why;
        EXPECT_EQ(closeFile(h_), c.expected) << c.why;
        EXPECT_EQ(listAll(h_), listed0) << c.why;
        EXPECT_EQ(disk(), disk0) << c.why;
    }
    ShowtapeHeader header = makeHeader(512, 5);
    ASSERT_EQ(createFile(h_, u"Spoiled", &header, 0), DevSuccess);
    EXPECT_EQ(writeFrames(h_, -1, good.frames.data()), DevInvalidArgument);
    EXPECT_EQ(closeFile(h_), DevInvalidArgument);
    ASSERT_EQ(createTestFile(h_, u"Spoiled", &header, 0), DevSuccess);
    EXPECT_EQ(writeTestFrames(h_, 1, &cases[0].bad), DevFrameTooLarge);
    DevBool fits = 5;
    int64_t size = -5;
    EXPECT_EQ(closeTestFile(h_, &fits, &size), DevFrameTooLarge);
    EXPECT_EQ(fits, 5);
    EXPECT_EQ(size, -5);
    EXPECT_EQ(listAll(h_), listed0);
}

TEST_P(StoreTest, OverwriteReplacesOnlyWhenAllowedAndOnlyWithAWholeShow) {
    FrameSet v1(5, {10}, 1);
    FrameSet v2(9, {20}, 2);
    ASSERT_EQ(upload(h_, u"Same", makeHeader(10, 5), v1.frames), DevSuccess);
    const int64_t free1 = freeSpace();

    ShowtapeHeader header = makeHeader(20, 9);
    EXPECT_EQ(createFile(h_, u"Same", &header, 0), DevFileExists);
    EXPECT_EQ(createTestFile(h_, u"Same", &header, 0), DevFileExists);
    ReadShow back;
    ASSERT_EQ(readBack(h_, u"Same", back), DevSuccess);
    EXPECT_EQ(back.data.size(), 5u);

    // A replacement that is refused half-way leaves the old show whole.
    ASSERT_EQ(createFile(h_, u"Same", &header, 1), DevSuccess);
    ASSERT_EQ(writeFrames(h_, 4, v2.frames.data()), DevSuccess);
    DMXFrame bad{513, 0, 0, v2.data[0].data()};
    EXPECT_EQ(writeFrames(h_, 1, &bad), DevFrameTooLarge);
    EXPECT_EQ(closeFile(h_), DevFrameTooLarge);
    ASSERT_EQ(readBack(h_, u"Same", back), DevSuccess);
    EXPECT_EQ(back.data.size(), 5u);
    EXPECT_EQ(freeSpace(), free1);

    ASSERT_EQ(upload(h_, u"Same", header, v2.frames, true), DevSuccess);
    ASSERT_EQ(readBack(h_, u"Same", back), DevSuccess);
    ASSERT_EQ(back.data.size(), 9u);
    EXPECT_EQ(back.data[8], std::vector<uint8_t>(v2.data[8].begin(), v2.data[8].begin() + 20));
    EXPECT_EQ(freeSpace(), free1 + v1.showSize() - v2.showSize());
    EXPECT_EQ(listAll(h_).at(u"Same").size, v2.showSize());
}

// Delete progress, recorded by a plain C function.
struct Progress {
    std::vector<std::pair<int32_t, int32_t>> calls;
    std::vector<std::thread::id> threads;
    int32_t handle = -1;
    DevReturn reentrant = DevSuccess;
};
Progress* g_progress = nullptr;

void recordProgress(int32_t done, int32_t total) {
    g_progress->calls.emplace_back(done, total);
    g_progress->threads.push_back(std::this_thread::get_id());
    DevState s;
    g_progress->reentrant = getDeviceState(g_progress->handle, &s);  // must not deadlock
}

TEST_P(StoreTest, DeleteReportsBlockProgressOnTheCallingThread) {
    std::vector<uint8_t> universe(512, 9);
    std::vector<DMXFrame> frames(400, DMXFrame{512, 0, 0, universe.data()});
    ASSERT_EQ(upload(h_, u"Doomed", makeHeader(512, 400), frames, false, 100), DevSuccess);
    const int64_t size = listAll(h_).at(u"Doomed").size;
    const int64_t free1 = freeSpace();
    const auto blocks = static_cast<int32_t>((size + 65535) / 65536);
    ASSERT_GE(blocks, 3);

    Progress p;
    p.handle = h_;
    g_progress = &p;
    ASSERT_EQ(deleteFile(h_, u"Doomed", recordProgress), DevSuccess);
    g_progress = nullptr;
    ASSERT_EQ(p.calls.size(), static_cast<std::size_t>(blocks) + 1);
    for (int32_t i = 0; i <= blocks; ++i) {
        EXPECT_EQ(p.calls[static_cast<std::size_t>(i)], std::make_pair(i, blocks));
        EXPECT_EQ(p.threads[static_cast<std::size_t>(i)], std::this_thread::get_id());
    }
    EXPECT_EQ(p.reentrant, DevDeviceBusy);
    EXPECT_EQ(listAll(h_).count(u"Doomed"), 0u);
    EXPECT_EQ(freeSpace(), free1 + size);

    EXPECT_EQ(deleteFile(h_, u"Doomed", recordProgress), DevFileNotFound);
    // A tiny show is one block: still a start and an end.
    FrameSet tiny(1, {1}, 1);
    ASSERT_EQ(upload(h_, u"Tiny", makeHeader(1, 1), tiny.frames), DevSuccess);
    Progress q;
    q.handle = h_;
    g_progress = &q;
    ASSERT_EQ(deleteFile(h_, u"Tiny", recordProgress), DevSuccess);
    g_progress = nullptr;
    EXPECT_EQ(q.calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {1, 1}}));
    // Without a progress function.
    ASSERT_EQ(upload(h_, u"Tiny", makeHeader(1, 1), tiny.frames), DevSuccess);
    EXPECT_EQ(deleteFile(h_, u"Tiny", nullptr), DevSuccess);
    EXPECT_EQ(listAll(h_).count(u"Tiny"), 0u);
}

TEST_P(StoreTest, ReadingRefusesWhatIsNotThere) {
    ShowtapeHeader header;
    std::memset(&header, 0x33, sizeof header);
    const ShowtapeHeader untouched = header;
    EXPECT_EQ(openFile(h_, u"No such show", &header), DevFileNotFound);
    EXPECT_EQ(std::memcmp(&header, &untouched, sizeof header), 0);
    EXPECT_EQ(openFile(h_, u"No such show", nullptr), DevInvalidArgument);
    uint8_t buf[512];
    DMXFrame f{0, 0, 0, buf};
    EXPECT_EQ(readFrame(h_, &f), DevWrongState);  // nothing open
    EXPECT_EQ(startPlayback(h_, u"No such show"), DevFileNotFound);
    DevFileEntry e;
    EXPECT_EQ(getFirstFile(h_, u"No folder", &e), DevFileNotFound);
    EXPECT_EQ(getNextFile(h_, &e), DevNoMoreData);
    EXPECT_EQ(state(), DevStateIdle);
}

TEST_P(StoreTest, PlaybackOfAStoredShow) {
    FrameSet fs(2, {3}, 1);
    ASSERT_EQ(upload(h_, u"Play me", makeHeader(3, 2), fs.frames), DevSuccess);
    ASSERT_EQ(startPlayback(h_, u"Play me"), DevSuccess);
    EXPECT_EQ(state(), DevStatePlayingBack);
    ShowtapeHeader header = makeHeader(3, 2);
    EXPECT_EQ(createFile(h_, u"Other", &header, 0), DevWrongState);
    ASSERT_EQ(stopPlayback(h_), DevSuccess);
    EXPECT_EQ(state(), DevStateIdle);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, ::testing::Values(Backend::Memory, Backend::Folder), backendName);

// ---- Folder backend only ----

class FolderStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = sim_.addController("c", descriptor(1, 1, "totalSpace = 4M\n"));
        sim_.use();
        h_ = openOrFail(1, 1);
    }
    void TearDown() override { closeDevice(h_); }
    fs::path shows() const { return sim_.shows("c"); }

    SimDir sim_;
    fs::path dir_;
    int32_t h_ = -1;
};

TEST_F(FolderStoreTest, StoredShowsAreShowFilesUnderTheirNames) {
    FrameSet fs(12, {512, 5}, 4);
    const ShowtapeHeader header = makeHeader(512, 12);
    ASSERT_EQ(upload(h_, u"On disk", header, fs.frames), DevSuccess);
    const fs::path file = shows() / "On disk";
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(file)), fs.showSize());
    EXPECT_EQ(listAll(h_).at(u"On disk").size, static_cast<int64_t>(fs::file_size(file)));

    // The show-file library reads it as it was uploaded.
    ShowtapeHandle sh{0, -1};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader got;
    ASSERT_EQ(openShowtape(&sh, file.c_str(), name, &got), DevSuccess);
    EXPECT_EQ(std::u16string(name), u"On disk");
    EXPECT_EQ(std::memcmp(&got, &header, sizeof header), 0);
    uint8_t buf[SHOWTAPE_MAX_CHANNELS];
    for (const auto& f : fs.frames) {
        DMXFrame r{0, 0, 0, buf};
        ASSERT_EQ(readDMXFrame(&sh, &r), DevSuccess);
        ASSERT_EQ(r.channelCount, f.channelCount);
        EXPECT_EQ(std::memcmp(buf, f.dmxData, static_cast<std::size_t>(f.channelCount)), 0);
    }
    DMXFrame r{0, 0, 0, buf};
    EXPECT_EQ(readDMXFrame(&sh, &r), DevNoMoreData);
    EXPECT_EQ(closeShowtape(&sh), DevSuccess);

    // Nothing else was left in the store: no temporaries.
    EXPECT_EQ(snapshot(shows()).size(), 1u);
}

TEST_F(FolderStoreTest, ADroppedShowFileAppearsAndReadsBack) {
    FrameSet fs(6, {24}, 9);
    const ShowtapeHeader header = makeHeader(24, 6, u"saved elsewhere");
    fs::create_directories(shows());
    const std::string path = (shows() / "Saved.dmx").string();
    ShowtapeHandle sh{0, -1};
    ASSERT_EQ(createShowtape(&sh, path.c_str(), u"Saved", &header, 1, 0), DevSuccess);
    for (const auto& f : fs.frames) ASSERT_EQ(writeDMXFrame(&sh, &f), DevSuccess);
    ASSERT_EQ(closeShowtape(&sh), DevSuccess);

    const auto listed = listAll(h_);
    ASSERT_EQ(listed.count(u"Saved.dmx"), 1u);
    EXPECT_EQ(listed.at(u"Saved.dmx").size, static_cast<int64_t>(fs::file_size(path)));
    ReadShow back;
    ASSERT_EQ(readBack(h_, u"Saved.dmx", back), DevSuccess);
    EXPECT_EQ(std::memcmp(&back.header, &header, sizeof header), 0);
    ASSERT_EQ(back.data.size(), 6u);
    EXPECT_EQ(back.data[5], std::vector<uint8_t>(fs.frames[5].dmxData, fs.frames[5].dmxData + 24));
}

TEST_F(FolderStoreTest, AFrameWiderThanAUniverseInADroppedFileIsRefusedNotCut) {
    fs::create_directories(shows());
    const std::string path = (shows() / "Wide").string();
    const ShowtapeHeader header = makeHeader(600, 2);
    std::vector<uint8_t> wide(600, 0x5A);
    ShowtapeHandle sh{0, -1};
    ASSERT_EQ(createShowtape(&sh, path.c_str(), u"Wide", &header, 1, 0), DevSuccess);
    DMXFrame narrow{4, 0, 0, wide.data()};
    DMXFrame big{600, 0, 0, wide.data()};
    ASSERT_EQ(writeDMXFrame(&sh, &narrow), DevSuccess);
    ASSERT_EQ(writeDMXFrame(&sh, &big), DevSuccess);
    ASSERT_EQ(closeShowtape(&sh), DevSuccess);

    ShowtapeHeader got;
    ASSERT_EQ(openFile(h_, u"Wide", &got), DevSuccess);
    uint8_t buf[512 + 100];
    std::memset(buf, 0xEE, sizeof buf);
    DMXFrame f{0, 0, 0, buf};
    ASSERT_EQ(readFrame(h_, &f), DevSuccess);
    EXPECT_EQ(f.channelCount, 4);
    f.channelCount = -3;
    EXPECT_EQ(readFrame(h_, &f), DevFrameTooLarge);
    EXPECT_EQ(f.channelCount, -3);  // outputs untouched on failure
    for (std::size_t i = 4; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0xEE) << i;
    EXPECT_EQ(closeFile(h_), DevSuccess);
}

TEST_F(FolderStoreTest, SubFoldersAreListedAndHiddenOrForeignEntriesAreNot) {
    fs::create_directories(shows() / "Act 1");
    fs::create_directories(shows() / ".secret");
    writeFile(shows() / ".hidden.dmx", "x");
    fs::create_symlink("/etc", shows() / "link-to-etc");
    fs::create_symlink("/etc/hostname", shows() / "link-to-file");
    FrameSet fs(2, {8}, 1);
    ASSERT_EQ(upload(h_, u"Act 1/Opening", makeHeader(8, 2), fs.frames), DevSuccess);
    ASSERT_EQ(upload(h_, u"Finale", makeHeader(8, 2), fs.frames), DevSuccess);

    const auto root = listAll(h_);
    ASSERT_EQ(root.size(), 2u);
    EXPECT_TRUE(root.at(u"Act 1").isDirectory);
    EXPECT_FALSE(root.at(u"Finale").isDirectory);
    const auto act = listAll(h_, u"Act 1");
    ASSERT_EQ(act.size(), 1u);
    EXPECT_EQ(act.at(u"Opening").size, fs.showSize());
    ReadShow back;
    EXPECT_EQ(readBack(h_, u"Act 1/Opening", back), DevSuccess);
    EXPECT_EQ(readBack(h_, u"Act 1\\Opening", back), DevSuccess);  // either separator

    ShowtapeHeader header = makeHeader(8, 2);
    EXPECT_EQ(createFile(h_, u"Act 2/Opening", &header, 0), DevFileNotFound);
    EXPECT_EQ(createFile(h_, u"Act 1", &header, 1), DevFileExists);  // a folder is not replaced
    EXPECT_EQ(deleteFile(h_, u"Act 1", nullptr), DevNotSupported);
    DevFileEntry e;
    EXPECT_EQ(getFirstFile(h_, u"link-to-etc", &e), DevFileNotFound);
    EXPECT_EQ(getFirstFile(h_, u"Finale", &e), DevFileNotFound);
    // Both the used space and the count of shows take sub-folders in.
    int64_t free = 0;
    ASSERT_EQ(getFreeSpace(h_, &free), DevSuccess);
    EXPECT_EQ(free, 4 * 1024 * 1024 - 2 * fs.showSize());
}

TEST_F(FolderStoreTest, ShowsOutliveTheProcessState) {
    FrameSet fs(3, {16}, 5);
    ASSERT_EQ(upload(h_, u"Kept", makeHeader(16, 3), fs.frames), DevSuccess);
    ASSERT_EQ(closeDevice(h_), DevSuccess);
    sim_.use();  // as after a restart
    h_ = openOrFail(1, 1);
    ReadShow back;
    ASSERT_EQ(readBack(h_, u"Kept", back), DevSuccess);
    EXPECT_EQ(back.data.size(), 3u);
}

TEST_F(FolderStoreTest, LeftoverUploadTemporariesAreClearedWhenOpened) {
    ASSERT_EQ(closeDevice(h_), DevSuccess);
    fs::create_directories(shows());
    writeFile(shows() / ".upload-1-1.dmx", "half");
    writeFile(shows() / "..upload-1-2.dmx.tmp-abcdef", "half");
    writeFile(shows() / ".keep", "not ours");
    h_ = openOrFail(1, 1);
    EXPECT_FALSE(fs::exists(shows() / ".upload-1-1.dmx"));
    EXPECT_FALSE(fs::exists(shows() / "..upload-1-2.dmx.tmp-abcdef"));
    EXPECT_TRUE(fs::exists(shows() / ".keep"));
}

TEST(Capabilities, FileOperationsFollowTheControllersCapabilities) {
    SimDir sim;
    sim.addController("noread", descriptor(1, 1, "canReadFiles = false\n"));
    sim.addController("nolist", descriptor(1, 2, "canListFiles = false\n"));
    sim.addController("noplay", descriptor(1, 3, "classes = livePlay, playBackConfig\n"));
    sim.use();
    FrameSet fs(1, {1}, 1);
    ShowtapeHeader header = makeHeader(1, 1);
    DevFileEntry e;

    int32_t h = openOrFail(1, 1);
    ASSERT_EQ(upload(h, u"S", header, fs.frames), DevSuccess);
    EXPECT_EQ(openFile(h, u"S", &header), DevNotSupported);
    EXPECT_EQ(listAll(h).size(), 1u);
    EXPECT_EQ(startPlayback(h, u"S"), DevSuccess);  // the controller reads it itself
    EXPECT_EQ(closeDevice(h), DevSuccess);

    h = openOrFail(1, 2);
    ASSERT_EQ(upload(h, u"S", header, fs.frames), DevSuccess);
    EXPECT_EQ(getFirstFile(h, u".", &e), DevNotSupported);
    EXPECT_EQ(getNextFile(h, &e), DevNotSupported);
    ReadShow back;
    EXPECT_EQ(readBack(h, u"S", back), DevSuccess);
    EXPECT_EQ(closeDevice(h), DevSuccess);

    h = openOrFail(1, 3);
    ASSERT_EQ(upload(h, u"S", header, fs.frames), DevSuccess);
    EXPECT_EQ(startPlayback(h, u"S"), DevNotSupported);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(Capabilities, ALiveOnlyControllerHasNoStore) {
    useBuiltIn();
    const int32_t h = openOrFail(3, 1);
    ShowtapeHeader header = makeHeader(1, 1);
    DevFileEntry e;
    int64_t free = -1;
    EXPECT_EQ(createFile(h, u"S", &header, 0), DevNotSupported);
    EXPECT_EQ(createTestFile(h, u"S", &header, 0), DevNotSupported);
    EXPECT_EQ(getFreeSpace(h, &free), DevNotSupported);
    EXPECT_EQ(getFirstFile(h, u".", &e), DevNotSupported);
    EXPECT_EQ(openFile(h, u"S", &header), DevNotSupported);
    EXPECT_EQ(deleteFile(h, u"S", nullptr), DevNotSupported);
    EXPECT_EQ(startPlayback(h, u"S"), DevNotSupported);
    EXPECT_EQ(createTriggers(h), DevNotSupported);
    EXPECT_EQ(free, -1);
    EXPECT_EQ(startLivePlay(h), DevSuccess);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

// ---- Built-in demo shows ----

TEST(DemoShows, ThirtySecondsOfAFullUniverseAtFortyFramesPerSecond) {
    useBuiltIn();
    const int32_t h = openOrFail(1, 1);
    const auto listed = listAll(h);
    ASSERT_EQ(listed.size(), 3u);
    const int64_t size = showSize(std::vector<int32_t>(1200, 512));
    for (const auto* name : {u"Chase", u"Fade", u"Rainbow"}) EXPECT_EQ(listed.at(name).size, size);

    ReadShow a;
    ReadShow b;
    ASSERT_EQ(readBack(h, u"Chase", a), DevSuccess);
    ASSERT_EQ(readBack(h, u"Chase", b), DevSuccess);
    EXPECT_EQ(a.header.totalFrames, 1200);
    EXPECT_EQ(a.header.numberChannels, 512);
    EXPECT_DOUBLE_EQ(a.header.frameRate, 40.0);
    ASSERT_EQ(a.data.size(), 1200u);
    EXPECT_EQ(a.data, b.data);  // the same bytes every time
    EXPECT_EQ(a.timeCodes[40], 1000);
    EXPECT_NE(a.data[0], a.data[1]);  // it moves
    ReadShow fade;
    ASSERT_EQ(readBack(h, u"Fade", fade), DevSuccess);
    EXPECT_NE(fade.data[10], a.data[10]);
    int64_t free = 0;
    ASSERT_EQ(getFreeSpace(h, &free), DevSuccess);
    EXPECT_EQ(free, 8 * 1024 * 1024 - 3 * size);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(DemoShows, BuiltInControllersWriteNothingToDisk) {
    TempDir cwd;
    const fs::path old = fs::current_path();
    fs::current_path(cwd.path());
    ::setenv("TMPDIR", cwd.path().c_str(), 1);
    useBuiltIn();
    const int32_t h = openOrFail(1, 1);
    FrameSet fs(5, {512}, 1);
    EXPECT_EQ(upload(h, u"In memory", makeHeader(512, 5), fs.frames), DevSuccess);
    EXPECT_EQ(createTriggers(h), DevSuccess);
    EXPECT_EQ(closeTriggers(h), DevSuccess);
    DevTriggerHeader th{1, 2, 3, 4};
    EXPECT_EQ(setTriggerHeader(h, &th), DevSuccess);
    EXPECT_EQ(deleteFile(h, u"Chase", nullptr), DevSuccess);
    EXPECT_EQ(closeDevice(h), DevSuccess);
    // Kept in memory for the life of the process (until a reset).
    const int32_t again = openOrFail(1, 1);
    const auto listed = listAll(again);
    EXPECT_EQ(listed.count(u"In memory"), 1u);
    EXPECT_EQ(listed.count(u"Chase"), 0u);
    EXPECT_EQ(closeDevice(again), DevSuccess);
    ::unsetenv("TMPDIR");
    fs::current_path(old);
    EXPECT_TRUE(fs::is_empty(cwd.path()));
    useBuiltIn();
}

}  // namespace
