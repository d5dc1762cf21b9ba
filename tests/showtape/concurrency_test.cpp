// Calls on different handles run in parallel; calls on one handle from
// several threads are serialised: nothing crashes and no frame is torn.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support.h"

namespace st_test {
namespace {

TEST(ShowtapeConcurrency, ThreadsWritingAndReadingTheirOwnShows) {
    TempDir dir;
    constexpr int kThreads = 4;
    constexpr int kRounds = 3;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const std::string path =
                    dir.file("t" + std::to_string(t) + "-" + std::to_string(round) + ".dmx");
                const Show show{u"thread", sampleHeader(),
                                sampleFrames(150, static_cast<std::size_t>(t * 10 + round))};
                if (writeShow(path, show) != DevSuccess) ++failures;
                const ReadResult got = readShow(path);
                if (got.openCode != DevSuccess || got.frames != show.frames ||
                    got.endCode != DevNoMoreData) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(ShowtapeConcurrency, TwoThreadsWritingOneShowLoseAndTearNoFrame) {
    TempDir dir;
    const std::string path = dir.file("shared.dmx");
    const std::u16string name = u"shared";
    const ShowtapeHeader header = sampleHeader();
    ShowtapeHandle handle{};
    ASSERT_EQ(createShowtape(&handle, path.c_str(), name.c_str(), &header, 1, 1), DevSuccess);

    constexpr int kPerThread = 400;
    std::atomic<int> failures{0};
    auto writer = [&](std::int32_t id) {
        std::vector<std::uint8_t> data(SHOWTAPE_MAX_CHANNELS);
        for (std::int32_t i = 0; i < kPerThread; ++i) {
            const auto count = static_cast<std::size_t>(1 + (i * 37) % SHOWTAPE_MAX_CHANNELS);
            std::fill_n(data.begin(), count, static_cast<std::uint8_t>(id * 100 + i % 100));
            const ShowtapeHandle copy = handle;  // every call with its own copy
            DMXFrame frame{static_cast<std::int32_t>(count), id, i, data.data()};
            if (writeDMXFrame(&copy, &frame) != DevSuccess) ++failures;
        }
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    ASSERT_EQ(failures.load(), 0);
    ASSERT_EQ(closeShowtape(&handle), DevSuccess);

    const ReadResult got = readShow(path);
    ASSERT_EQ(got.endCode, DevNoMoreData);
    ASSERT_EQ(got.frames.size(), 2u * kPerThread);
    std::int32_t next[3] = {0, 0, 0};
    for (const Frame& f : got.frames) {
        ASSERT_TRUE(f.startCode == 1 || f.startCode == 2);
        // Each thread's frames in its own order, each one whole.
        ASSERT_EQ(f.timeCode, next[f.startCode]++);
        ASSERT_EQ(f.data.size(), static_cast<std::size_t>(1 + (f.timeCode * 37) % SHOWTAPE_MAX_CHANNELS));
        const auto fill = static_cast<std::uint8_t>(f.startCode * 100 + f.timeCode % 100);
        ASSERT_EQ(std::count(f.data.begin(), f.data.end(), fill), static_cast<std::ptrdiff_t>(f.data.size()));
    }
}

TEST(ShowtapeConcurrency, TwoThreadsReadingOneShowGetEachFrameOnce) {
    TempDir dir;
    const std::string path = dir.file("r.dmx");
    const Show show{u"r", sampleHeader(), sampleFrames(500)};
    ASSERT_EQ(writeShow(path, show), DevSuccess);
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header;
    ASSERT_EQ(openShowtape(&handle, path.c_str(), name, &header), DevSuccess);

    std::vector<Frame> got[2];
    std::atomic<int> badCodes{0};
    auto reader = [&](int id) {
        std::vector<std::uint8_t> buffer(SHOWTAPE_MAX_CHANNELS);
        for (;;) {
            DMXFrame frame{0, 0, 0, buffer.data()};
            const DevReturn rc = readDMXFrame(&handle, &frame);
            if (rc == DevNoMoreData) return;
            if (rc != DevSuccess) {
                ++badCodes;
                return;
            }
            got[id].push_back(Frame{frame.startCode, frame.timeCode,
                                    {buffer.begin(), buffer.begin() + frame.channelCount}});
        }
    };
    std::thread a(reader, 0), b(reader, 1);
    a.join();
    b.join();
    EXPECT_EQ(badCodes.load(), 0);
    ASSERT_EQ(got[0].size() + got[1].size(), show.frames.size());
    // Time codes are unique in the sample, so each frame can be found again.
    for (const auto& part : got) {
        for (const Frame& f : part) {
            const std::size_t index = static_cast<std::size_t>(f.timeCode) / 40;
            ASSERT_LT(index, show.frames.size());
            ASSERT_EQ(f, show.frames[index]);
        }
    }
    EXPECT_EQ(closeShowtape(&handle), DevSuccess);
}

TEST(ShowtapeConcurrency, CloseRacingWithReadsAndRewindsIsSafe) {
    TempDir dir;
    const std::string path = dir.file("race.dmx");
    ASSERT_EQ(writeShow(path, Show{u"race", sampleHeader(), sampleFrames(200)}), DevSuccess);
    for (int round = 0; round < 20; ++round) {
        ShowtapeHandle handle{};
        DevChar name[DEV_TEXT_UNITS];
        ShowtapeHeader header;
        ASSERT_EQ(openShowtape(&handle, path.c_str(), name, &header), DevSuccess);
        std::atomic<bool> sawClosed{false};
        std::atomic<int> badCodes{0};
        auto worker = [&](bool rewinds) {
            std::vector<std::uint8_t> buffer(SHOWTAPE_MAX_CHANNELS);
            while (true) {
                DMXFrame frame{0, 0, 0, buffer.data()};
                const DevReturn rc = rewinds ? rewindShowtape(&handle) : readDMXFrame(&handle, &frame);
                if (rc == DevInvalidHandle) break;
                if (rc != DevSuccess && rc != DevNoMoreData) ++badCodes;
            }
            sawClosed = true;
        };
        std::thread reader(worker, false), rewinder(worker, true);
        std::this_thread::yield();
        const DevReturn closed = closeShowtape(&handle);
        reader.join();
        rewinder.join();
        ASSERT_EQ(closed, DevSuccess);
        ASSERT_TRUE(sawClosed.load());
        ASSERT_EQ(badCodes.load(), 0);
    }
}

}  // namespace
}  // namespace st_test
