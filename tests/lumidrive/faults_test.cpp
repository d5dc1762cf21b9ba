// Fault injection from the descriptors: the code, the call it starts at,
// and that a faulted call changes nothing.
#include <cstring>

#include "sim_support.h"

using namespace simtest;

namespace {

class FaultTest : public ::testing::Test {
protected:
    // One controller with one stored show of `frames` frames.
    int32_t setUp(const std::string& faults, int frames = 8) {
        sim_.addController("c", descriptor(1, 1, faults));
        sim_.use();
        const int32_t h = openOrFail(1, 1);
        FrameSet fs(frames, {4}, 1);
        EXPECT_EQ(upload(h, u"Show", makeHeader(4, frames), fs.frames), DevSuccess);
        return h;
    }
    // readFrame results until the first nonzero one.
    static std::vector<DevReturn> readAll(int32_t h) {
        std::vector<DevReturn> codes;
        ShowtapeHeader header;
        EXPECT_EQ(openFile(h, u"Show", &header), DevSuccess);
        uint8_t buf[512];
        for (int i = 0; i < 50; ++i) {
            DMXFrame f{0, 0, 0, buf};
            codes.push_back(readFrame(h, &f));
            if (codes.back() != DevSuccess) break;
        }
        EXPECT_EQ(closeFile(h), DevSuccess);
        return codes;
    }
    SimDir sim_;
};

TEST_F(FaultTest, AnOperationFailsWithTheGivenCodeAndChangesNothing) {
    const int32_t h = setUp("fault = openFile 7\n");
    ShowtapeHeader header;
    std::memset(&header, 0x11, sizeof header);
    const ShowtapeHeader before = header;
    EXPECT_EQ(openFile(h, u"Show", &header), 7);
    EXPECT_EQ(std::memcmp(&header, &before, sizeof header), 0);
    EXPECT_EQ(openFile(h, u"Show", &header), 7);  // every call
    DevState s = -1;
    ASSERT_EQ(getDeviceState(h, &s), DevSuccess);
    EXPECT_EQ(s, DevStateIdle);
    EXPECT_EQ(listAll(h).size(), 1u);  // the rest works
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST_F(FaultTest, FromTheNthCallOnTheEarlierCallsGoThrough) {
    const int32_t h = setUp("fault = readFrame 12 from 5\n");
    const std::vector<DevReturn> expected{0, 0, 0, 0, 12};
    EXPECT_EQ(readAll(h), expected);
    // Counting is per opening: after reopening the first four work again.
    ASSERT_EQ(closeDevice(h), DevSuccess);
    const int32_t again = openOrFail(1, 1);
    EXPECT_EQ(readAll(again), expected);
    EXPECT_EQ(closeDevice(again), DevSuccess);
}

TEST_F(FaultTest, AtTheNthCallOnlyThatCallFails) {
    const int32_t h = setUp("fault = getFreeSpace DevIOError at 2\nfault = readFrame DevCorrupt at 3\n", 4);
    int64_t free = -1;
    EXPECT_EQ(getFreeSpace(h, &free), DevSuccess);
    free = -1;
    EXPECT_EQ(getFreeSpace(h, &free), DevIOError);
    EXPECT_EQ(free, -1);
    EXPECT_EQ(getFreeSpace(h, &free), DevSuccess);
    // The faulted read does not consume a frame: four frames, then the end.
    EXPECT_EQ(readAll(h), (std::vector<DevReturn>{0, 0, DevCorrupt}));
    EXPECT_EQ(readAll(h), (std::vector<DevReturn>{0, 0, 0, 0, DevNoMoreData}));
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST_F(FaultTest, AFaultedCloseDeviceKeepsTheDeviceOpen) {
    const int32_t h = setUp("fault = closeDevice DevDeviceBusy at 1\n");
    EXPECT_EQ(closeDevice(h), DevDeviceBusy);
    DevState s = -1;
    EXPECT_EQ(getDeviceState(h, &s), DevSuccess);
    EXPECT_EQ(listAll(h).size(), 1u);
    EXPECT_EQ(closeDevice(h), DevSuccess);
    EXPECT_EQ(getDeviceState(h, &s), DevInvalidHandle);
}

TEST_F(FaultTest, AFaultedCloseFileLeavesTheShowToBeClosedAgain) {
    sim_.addController("c", descriptor(1, 1, "fault = closeFile 9 at 1\n"));
    sim_.use();
    const int32_t h = openOrFail(1, 1);
    ShowtapeHeader header = makeHeader(4, 1);
    FrameSet fs(1, {4}, 2);
    ASSERT_EQ(createFile(h, u"Kept", &header, 0), DevSuccess);
    ASSERT_EQ(writeFrames(h, 1, fs.frames.data()), DevSuccess);
    EXPECT_EQ(closeFile(h), 9);
    DevState s = -1;
    ASSERT_EQ(getDeviceState(h, &s), DevSuccess);
    EXPECT_EQ(s, DevStateWritingShow);
    EXPECT_EQ(listAll(h).size(), 0u);
    EXPECT_EQ(closeFile(h), DevSuccess);
    EXPECT_EQ(listAll(h).size(), 1u);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

int g_progressCalls = 0;
void countProgress(int32_t, int32_t) { ++g_progressCalls; }

TEST_F(FaultTest, AFaultedDeleteReportsNoProgressAndDeletesNothing) {
    const int32_t h = setUp("fault = deleteFile DevIOError\n");
    g_progressCalls = 0;
    EXPECT_EQ(deleteFile(h, u"Show", countProgress), DevIOError);
    EXPECT_EQ(g_progressCalls, 0);
    EXPECT_EQ(listAll(h).size(), 1u);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST_F(FaultTest, OpenDeviceCountsSinceTheConfigurationWasRead) {
    sim_.addController("c", descriptor(1, 1, "fault = openDevice 6 at 2\n"));
    sim_.use();
    DevEntry e{};
    e.deviceType = 1;
    e.deviceNumber = 1;
    int32_t h = -1;
    ASSERT_EQ(openDevice(&h, &e), DevSuccess);
    ASSERT_EQ(closeDevice(h), DevSuccess);
    int32_t h2 = -5;
    EXPECT_EQ(openDevice(&h2, &e), 6);
    EXPECT_EQ(h2, -5);
    EXPECT_EQ(openDevice(&h2, &e), DevSuccess);
    EXPECT_EQ(closeDevice(h2), DevSuccess);
}

TEST(EnumerationFaults, SimulatorIniFailsTheDeviceEnumeration) {
    SimDir sim;
    sim.addController("a", descriptor(1, 1));
    sim.addController("b", descriptor(1, 2));
    sim.addController("c", descriptor(1, 3));
    sim.setSimulatorIni("; process-wide faults\nfault = getFirstDevice 5 at 1\nfault = getNextDevice 9 from 2\n");
    sim.use();
    DevEntry e;
    std::memset(&e, 0x44, sizeof e);
    const DevEntry before = e;
    EXPECT_EQ(getFirstDevice(&e), DevDeviceNotFound);
    EXPECT_EQ(std::memcmp(&e, &before, sizeof e), 0);
    ASSERT_EQ(getFirstDevice(&e), DevSuccess);
    ASSERT_EQ(getNextDevice(&e), DevSuccess);
    EXPECT_EQ(e.deviceNumber, 2);
    EXPECT_EQ(getNextDevice(&e), 9);
    EXPECT_EQ(e.deviceNumber, 2);
}

TEST(EnumerationFaults, ABrokenSimulatorIniIsIgnored) {
    SimDir sim;
    sim.addController("a", descriptor(1, 1));
    sim.setSimulatorIni("fault = openFile 7\n");  // not an enumeration operation
    sim.use();
    DevEntry e;
    EXPECT_EQ(getFirstDevice(&e), DevSuccess);
    EXPECT_EQ(getNextDevice(&e), DevNoMoreData);
}

}  // namespace
