// Calls on one device from several threads: nothing crashes, every answer is
// one the interface allows, and the store stays consistent.
#include <atomic>
#include <cstring>
#include <set>
#include <thread>

#include "sim_support.h"

using namespace simtest;

namespace {

enum class Backend { Memory, Folder };

// Every show in the store reads back whole, its listed size matches its
// frames, the free space matches the listing, and no temporary is left.
void expectConsistentStore(int32_t h, int64_t totalSpace) {
    const auto listed = listAll(h);
    int64_t used = 0;
    for (const auto& [name, entry] : listed) {
        ReadShow back;
        ASSERT_EQ(readBack(h, name, back), DevSuccess);
        std::vector<int32_t> counts;
        for (const auto& d : back.data) counts.push_back(static_cast<int32_t>(d.size()));
        EXPECT_EQ(entry.size, showSize(counts));
        used += entry.size;
    }
    int64_t free = -1;
    ASSERT_EQ(getFreeSpace(h, &free), DevSuccess);
    EXPECT_EQ(free, totalSpace - used);
}

class SharedHandleTest : public ::testing::TestWithParam<Backend> {};

TEST_P(SharedHandleTest, MixedCallsFromSeveralThreadsKeepTheStoreConsistent) {
    std::unique_ptr<SimDir> sim;
    if (GetParam() == Backend::Memory) {
        useBuiltIn();
    } else {
        sim = std::make_unique<SimDir>();
        sim->addController("c", descriptor(1, 1, "totalSpace = 8M\nmaxNumberShows = 16\n"));
        sim->use();
    }
    const int32_t h = openOrFail(1, 1);
    const std::set<DevReturn> allowed{DevSuccess,     DevNoMoreData,   DevWrongState, DevFileExists,
                                      DevFileNotFound, DevTooManyShows, DevStoreFull};
    std::atomic<int> unexpected{0};
    std::atomic<int> stored{0};
    auto check = [&](DevReturn r) {
        if (!allowed.count(r)) ++unexpected;
        return r;
    };

    auto worker = [&](int id) {
        FrameSet fs(6, {512, 3}, id);
        uint8_t buf[512];
        for (int i = 0; i < 25; ++i) {
            const std::u16string name = u"T" + u16(std::to_string(id)) + u"-" + u16(std::to_string(i % 4));
            ShowtapeHeader header = makeHeader(512, 6);
            if (check(createFile(h, name.c_str(), &header, 1)) == DevSuccess) {
                check(writeFrames(h, 3, fs.frames.data()));
                check(writeFrames(h, 3, fs.frames.data() + 3));
                if (check(closeFile(h)) == DevSuccess) ++stored;
            }
            int64_t free;
            check(getFreeSpace(h, &free));
            DevFileEntry e;
            for (DevReturn r = check(getFirstFile(h, u".", &e)); r == DevSuccess; r = check(getNextFile(h, &e))) {
            }
            ShowtapeHeader got;
            if (check(openFile(h, name.c_str(), &got)) == DevSuccess) {
                DMXFrame f{0, 0, 0, buf};
                while (check(readFrame(h, &f)) == DevSuccess) {
                }
                check(closeFile(h));
            }
            DevState s;
            check(getDeviceState(h, &s));
            if (i % 5 == 4) check(deleteFile(h, name.c_str(), nullptr));
            if (check(createTriggers(h)) == DevSuccess) {
                DevTrigger t{id, i};
                DevTriggerAction a{};
                check(setTrigger(h, &t, &a));
                check(closeTriggers(h));
            }
        }
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < 4; ++id) threads.emplace_back(worker, id);
    for (auto& t : threads) t.join();

    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_GT(stored.load(), 0);
    // Whatever the threads left half-done is ended by closing the device.
    ASSERT_EQ(closeDevice(h), DevSuccess);
    const int32_t again = openOrFail(1, 1);
    expectConsistentStore(again, 8 * 1024 * 1024);
    if (sim) {
        for (const auto& [path, content] : snapshot(sim->shows("c")))
            EXPECT_NE(fs::path(path).filename().string().front(), '.') << "left behind: " << path;
    }
    EXPECT_EQ(closeDevice(again), DevSuccess);
}

INSTANTIATE_TEST_SUITE_P(Backends, SharedHandleTest, ::testing::Values(Backend::Memory, Backend::Folder),
                         [](const auto& p) { return p.param == Backend::Memory ? "Memory" : "Folder"; });

TEST(Concurrency, UploadsOnDifferentControllersRunSideBySide) {
    SimDir sim;
    for (int n = 1; n <= 3; ++n) sim.addController("c" + std::to_string(n), descriptor(1, n));
    sim.use();
    std::atomic<int> failures{0};
    auto worker = [&](int n) {
        const int32_t h = openOrFail(1, n);
        FrameSet fs(30, {512, 100}, n);
        for (int i = 0; i < 5; ++i) {
            const std::u16string name = u"Show " + u16(std::to_string(i));
            if (upload(h, name, makeHeader(512, 30), fs.frames) != DevSuccess) ++failures;
            ReadShow back;
            if (readBack(h, name, back) != DevSuccess || back.data.size() != 30) {
                ++failures;
                continue;
            }
            for (std::size_t k = 0; k < 30; ++k) {
                const DMXFrame& f = fs.frames[k];
                if (back.data[k] != std::vector<uint8_t>(f.dmxData, f.dmxData + f.channelCount)) ++failures;
            }
        }
        if (closeDevice(h) != DevSuccess) ++failures;
    };
    std::vector<std::thread> threads;
    for (int n = 1; n <= 3; ++n) threads.emplace_back(worker, n);
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(Concurrency, ClosingWhileOtherThreadsCallIsSafe) {
    useBuiltIn();
    for (int round = 0; round < 20; ++round) {
        const int32_t h = openOrFail(1, 1);
        std::atomic<bool> stop{false};
        std::atomic<int> unexpected{0};
        std::atomic<int> rounds{0};
        auto caller = [&] {
            uint8_t buf[512];
            while (!stop) {
                ++rounds;
                ShowtapeHeader header;
                const DevReturn r = openFile(h, u"Chase", &header);
                if (r != DevSuccess && r != DevWrongState && r != DevInvalidHandle) ++unexpected;
                DMXFrame f{0, 0, 0, buf};
                const DevReturn rf = readFrame(h, &f);
                if (rf != DevSuccess && rf != DevWrongState && rf != DevInvalidHandle) ++unexpected;
                closeFile(h);
                if (r == DevInvalidHandle) break;
            }
        };
        std::thread a(caller);
        std::thread b(caller);
        while (rounds < 4) std::this_thread::yield();  // both callers are busy on the device
        EXPECT_EQ(closeDevice(h), DevSuccess);
        stop = true;
        a.join();
        b.join();
        EXPECT_EQ(unexpected.load(), 0);
    }
}

}  // namespace
