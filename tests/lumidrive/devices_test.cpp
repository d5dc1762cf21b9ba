// Device discovery, opening and closing, device information, state and live play.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "sim_support.h"

using namespace simtest;

namespace {

std::vector<DevEntry> enumerate() {
    std::vector<DevEntry> all;
    DevEntry e;
    DevReturn r = getFirstDevice(&e);
    for (; r == DevSuccess; r = getNextDevice(&e)) all.push_back(e);
    EXPECT_EQ(r, DevNoMoreData);
    return all;
}

TEST(BuiltInControllers, TwoUsableAndOneThatTheShowFilterLeavesOut) {
    useBuiltIn();
    const auto all = enumerate();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(std::u16string(all[0].deviceName), u"Lumivex LD-512");
    EXPECT_EQ(std::u16string(all[0].devicePort), u"usb-1");
    EXPECT_TRUE(supportsPlayBackConfig(all[0].deviceClasses));
    EXPECT_TRUE(supportsPlayBackConfig(all[1].deviceClasses));
    EXPECT_FALSE(supportsPlayBackConfig(all[2].deviceClasses));
    EXPECT_TRUE(supportsLivePlay(all[2].deviceClasses));
    // Every controller can be told apart by type and number.
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t k = i + 1; k < all.size(); ++k)
            EXPECT_FALSE(all[i].deviceType == all[k].deviceType && all[i].deviceNumber == all[k].deviceNumber);
    // The enumeration starts over with getFirstDevice and stays at its end.
    DevEntry e;
    EXPECT_EQ(getNextDevice(&e), DevNoMoreData);
    ASSERT_EQ(getFirstDevice(&e), DevSuccess);
    EXPECT_EQ(std::u16string(e.deviceName), u"Lumivex LD-512");
}

TEST(CapabilityQueries, EachTestsItsOwnBitOnly) {
    for (int32_t classes = 0; classes < 16; ++classes) {
        EXPECT_EQ(supportsLivePlay(classes), (classes & 1) ? 1 : 0) << classes;
        EXPECT_EQ(supportsPlayBackControl(classes), (classes & 2) ? 1 : 0) << classes;
        EXPECT_EQ(supportsPlayBackConfig(classes), (classes & 4) ? 1 : 0) << classes;
        EXPECT_EQ(supportsRecord(classes), (classes & 8) ? 1 : 0) << classes;
    }
    EXPECT_EQ(supportsPlayBackConfig(-1), 1);  // all bits set
    EXPECT_EQ(supportsRecord(0x7FFFFFF0), 0);
}

TEST(FolderControllers, EnumeratedInFolderOrderWithTheirDescriptors) {
    SimDir sim;
    sim.addController("b-second", descriptor(7, 2, "name = Second\nport = usb-9\nclasses = 0x0F\n"));
    sim.addController("a-first", descriptor(7, 1, "name = First Ünit\nclasses = livePlay|playBackConfig\n"));
    sim.addController("c-third", descriptor(8, 1));
    fs::create_directories(sim.root() / "not-a-controller");  // no controller.ini
    sim.addController(".hidden", descriptor(9, 9));
    sim.use();

    const auto all = enumerate();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(std::u16string(all[0].deviceName), u16("First Ünit"));
    EXPECT_EQ(all[0].deviceClasses, DevClassLivePlay | DevClassPlayBackConfig);
    EXPECT_EQ(std::u16string(all[0].devicePort), u"sim-a-first");  // default port
    EXPECT_EQ(std::u16string(all[1].deviceName), u"Second");
    EXPECT_EQ(std::u16string(all[1].devicePort), u"usb-9");
    EXPECT_EQ(all[1].deviceClasses, 0x0F);
    EXPECT_EQ(std::u16string(all[2].deviceName), u"c-third");  // default name
    EXPECT_EQ(all[2].deviceClasses, 0x07);                      // default classes
}

TEST(FolderControllers, InvalidDescriptorsAreSkipped) {
    struct Case {
        const char* why;
        std::string ini;
    };
    const Case cases[] = {
        {"no type", "number = 1\n"},
        {"no number", "type = 1\n"},
        {"unknown key", descriptor(1, 1, "colour = blue\n")},
        {"key twice", descriptor(1, 1, "name = a\nname = b\n")},
        {"bad number", "type = 1\nnumber = one\n"},
        {"not key = value", descriptor(1, 1, "just words\n")},
        {"too many live channels", descriptor(1, 1, "numberLivePlayChannels = 513\n")},
        {"bad bool", descriptor(1, 1, "canReadFiles = maybe\n")},
        {"bad size", descriptor(1, 1, "totalSpace = lots\n")},
        {"bad class", descriptor(1, 1, "classes = livePlay|teleport\n")},
        {"fault on unknown operation", descriptor(1, 1, "fault = fly 3\n")},
        {"fault with code 0", descriptor(1, 1, "fault = openFile 0\n")},
        {"fault with bad call number", descriptor(1, 1, "fault = openFile 7 from 0\n")},
        {"enumeration fault in a controller", descriptor(1, 1, "fault = getFirstDevice 5\n")},
        {"name too long", descriptor(1, 1, "name = " + std::string(256, 'x') + "\n")},
    };
    for (const auto& c : cases) {
        SimDir sim;
        sim.addController("bad", c.ini);
        sim.addController("good", descriptor(2, 1));
        sim.use();
        const auto all = enumerate();
        ASSERT_EQ(all.size(), 1u) << c.why;
        EXPECT_EQ(all[0].deviceType, 2) << c.why;
    }
}

TEST(FolderControllers, SecondFolderWithTheSameIdentityIsSkipped) {
    SimDir sim;
    sim.addController("a", descriptor(3, 3, "name = A\n"));
    sim.addController("b", descriptor(3, 3, "name = B\n"));
    sim.use();
    const auto all = enumerate();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(std::u16string(all[0].deviceName), u"A");
}

TEST(FolderControllers, DescriptorKeysReachDeviceInfo) {
    SimDir sim;
    sim.addController("c", descriptor(4, 1,
                                      "# a comment\n"
                                      "Revision = 9.8.7\n"
                                      "numberLivePlayChannels = 256\n"
                                      "numberPlaybackChannels = 128\n"
                                      "numberPlaybackTriggers = 5\n"
                                      "totalSpace = 2M\n"
                                      "maxNumberShows = 3\n"
                                      "minFrameRate = 12.5\n"
                                      "canPlaybackCompress = yes\n"
                                      "canListFiles = true\n"
                                      "canReadFiles = false\n"
                                      "hasTriggerHeader = no\n"));
    sim.use();
    const int32_t h = openOrFail(4, 1);
    DevInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(getDeviceInfo(h, &info), DevSuccess);
    EXPECT_EQ(std::u16string(info.revision), u"9.8.7");
    EXPECT_EQ(info.numberLivePlayChannels, 256);
    EXPECT_EQ(info.numberPlaybackChannels, 128);
    EXPECT_EQ(info.numberPlaybackTriggers, 5);
    EXPECT_EQ(info.totalSpace, 2 * 1024 * 1024);
    EXPECT_EQ(info.maxNumberShows, 3);
    EXPECT_DOUBLE_EQ(info.minFrameRate, 12.5);
    EXPECT_EQ(info.canPlaybackCompress, 1);
    EXPECT_EQ(info.canListFiles, 1);
    EXPECT_EQ(info.canReadFiles, 0);
    EXPECT_EQ(info.hasTriggerHeader, 0);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(OpenDevice, IdentifiesTheControllerByTypeAndNumberAlone) {
    useBuiltIn();
    DevEntry found;
    ASSERT_TRUE(findDevice(2, 1, found));
    // Everything but type and number is garbage: the library must not care.
    DevEntry e;
    std::memset(&e, 0x7A, sizeof e);
    e.deviceType = 2;
    e.deviceNumber = 1;
    e.deviceClasses = 0;
    int32_t h = -1;
    ASSERT_EQ(openDevice(&h, &e), DevSuccess);
    EXPECT_NE(h, -1);
    DevInfo info;
    ASSERT_EQ(getDeviceInfo(h, &info), DevSuccess);
    EXPECT_EQ(std::u16string(info.revision), u"3.1.0");  // the LD-1024 Studio's
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(OpenDevice, FailuresLeaveTheHandleUntouched) {
    useBuiltIn();
    DevEntry e;
    std::memset(&e, 0, sizeof e);
    e.deviceType = 1;
    e.deviceNumber = 99;
    int32_t h = 12345;
    EXPECT_EQ(openDevice(&h, &e), DevDeviceNotFound);
    EXPECT_EQ(h, 12345);

    e.deviceNumber = 1;
    int32_t first = -1;
    ASSERT_EQ(openDevice(&first, &e), DevSuccess);
    EXPECT_EQ(openDevice(&h, &e), DevDeviceBusy);  // one handle per controller
    EXPECT_EQ(h, 12345);
    EXPECT_EQ(openDevice(nullptr, &e), DevInvalidArgument);
    EXPECT_EQ(openDevice(&h, nullptr), DevInvalidArgument);
    EXPECT_EQ(h, 12345);

    ASSERT_EQ(closeDevice(first), DevSuccess);
    EXPECT_EQ(closeDevice(first), DevInvalidHandle);  // closed handles stay dead
    int32_t again = -1;
    ASSERT_EQ(openDevice(&again, &e), DevSuccess);
    EXPECT_NE(again, first);  // a new handle, so the old one cannot reach it
    EXPECT_EQ(getDeviceInfo(first, nullptr), DevInvalidHandle);
    EXPECT_EQ(closeDevice(again), DevSuccess);
}

TEST(OpenDevice, HandlesAreNeverMinusOneOrZeroAndStaleOnesDieOnReset) {
    useBuiltIn();
    for (int i = 0; i < 50; ++i) {
        const int32_t h = openOrFail(1, 1);
        EXPECT_GT(h, 0);
        EXPECT_EQ(closeDevice(h), DevSuccess);
    }
    const int32_t h = openOrFail(1, 1);
    lumidriveSimReset();
    DevState s;
    EXPECT_EQ(getDeviceState(h, &s), DevInvalidHandle);
    EXPECT_EQ(closeDevice(h), DevInvalidHandle);
}

TEST(OpenDevice, AnotherProcessHoldingAFolderControllerMakesItBusy) {
    SimDir sim;
    sim.addController("c", descriptor(5, 1));
    sim.use();
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        lumidriveSimReset();
        DevEntry e{};
        e.deviceType = 5;
        e.deviceNumber = 1;
        int32_t h = -1;
        const char ok = openDevice(&h, &e) == DevSuccess ? 'y' : 'n';
        (void)!::write(toParent[1], &ok, 1);
        char c;
        (void)!::read(toChild[0], &c, 1);  // hold the controller until told
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    DevEntry e{};
    e.deviceType = 5;
    e.deviceNumber = 1;
    int32_t h = -1;
    EXPECT_EQ(openDevice(&h, &e), DevDeviceBusy);
    const char go = 'g';
    ASSERT_EQ(::write(toChild[1], &go, 1), 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(openDevice(&h, &e), DevSuccess);  // released when the other process ended
    EXPECT_EQ(closeDevice(h), DevSuccess);
    for (const int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);
}

TEST(DeviceState, FollowsEachActivityAndRefusesOverlaps) {
    useBuiltIn();
    const int32_t h = openOrFail(1, 1);
    auto state = [&] {
        DevState s = -1;
        EXPECT_EQ(getDeviceState(h, &s), DevSuccess);
        return s;
    };
    EXPECT_EQ(state(), DevStateIdle);

    ASSERT_EQ(startLivePlay(h), DevSuccess);
    EXPECT_EQ(state(), DevStateLivePlay);
    EXPECT_EQ(startPlayback(h, u"Chase"), DevWrongState);
    EXPECT_EQ(startLivePlay(h), DevWrongState);
    ASSERT_EQ(stopLivePlay(h), DevSuccess);
    EXPECT_EQ(stopLivePlay(h), DevWrongState);

    ASSERT_EQ(startPlayback(h, u"Chase"), DevSuccess);
    EXPECT_EQ(state(), DevStatePlayingBack);
    EXPECT_EQ(deleteFile(h, u"Chase", nullptr), DevWrongState);  // the show playing
    ASSERT_EQ(stopPlayback(h), DevSuccess);
    EXPECT_EQ(stopPlayback(h), DevWrongState);

    ShowtapeHeader header = makeHeader(4, 1);
    ASSERT_EQ(createFile(h, u"New", &header, 0), DevSuccess);
    EXPECT_EQ(state(), DevStateWritingShow);
    EXPECT_EQ(closeTestFile(h, nullptr, nullptr), DevWrongState);
    ASSERT_EQ(closeFile(h), DevSuccess);

    ASSERT_EQ(createTestFile(h, u"New2", &header, 0), DevSuccess);
    EXPECT_EQ(state(), DevStateWritingShow);
    EXPECT_EQ(closeFile(h), DevWrongState);  // a test upload ends with closeTestFile
    DevBool fits = 7;
    int64_t size = -1;
    ASSERT_EQ(closeTestFile(h, &fits, &size), DevSuccess);

    ShowtapeHeader got;
    ASSERT_EQ(openFile(h, u"Fade", &got), DevSuccess);
    EXPECT_EQ(state(), DevStateReadingShow);
    EXPECT_EQ(openFile(h, u"Fade", &got), DevWrongState);
    ASSERT_EQ(closeFile(h), DevSuccess);

    ASSERT_EQ(createTriggers(h), DevSuccess);
    EXPECT_EQ(state(), DevStateWritingTriggers);
    ASSERT_EQ(closeTriggers(h), DevSuccess);
    EXPECT_EQ(state(), DevStateIdle);
    EXPECT_EQ(closeFile(h), DevWrongState);

    ASSERT_EQ(startPlayback(h, u"Nope"), DevFileNotFound);
    EXPECT_EQ(state(), DevStateIdle);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(DeviceState, ClosingTheDeviceAbandonsAnUploadAndReopeningStartsIdle) {
    useBuiltIn();
    int32_t h = openOrFail(1, 1);
    ShowtapeHeader header = makeHeader(4, 1);
    ASSERT_EQ(createFile(h, u"Half", &header, 0), DevSuccess);
    FrameSet fs(3, {4}, 1);
    ASSERT_EQ(writeFrames(h, 3, fs.frames.data()), DevSuccess);
    ASSERT_EQ(closeDevice(h), DevSuccess);
    h = openOrFail(1, 1);
    DevState s = -1;
    ASSERT_EQ(getDeviceState(h, &s), DevSuccess);
    EXPECT_EQ(s, DevStateIdle);
    EXPECT_EQ(listAll(h).count(u"Half"), 0u);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(LivePlay, FramesAreRefusedOutsideLivePlayOrAboveOneUniverse) {
    useBuiltIn();
    const int32_t h = openOrFail(1, 1);
    uint8_t data[600];
    for (int i = 0; i < 600; ++i) data[i] = static_cast<uint8_t>(i * 3);
    DMXFrame frame{512, 0, 77, data};
    LumidriveSimLiveFrame last;
    EXPECT_EQ(sendFrame(h, &frame), DevWrongState);
    EXPECT_EQ(lumidriveSimLastLiveFrame(h, &last), DevNoMoreData);

    ASSERT_EQ(startLivePlay(h), DevSuccess);
    ASSERT_EQ(sendFrame(h, &frame), DevSuccess);
    const struct {
        int32_t count;
        DevReturn expected;
    } cases[] = {{513, DevFrameTooLarge}, {600, DevFrameTooLarge}, {-1, DevFrameTooLarge}};
    for (const auto& c : cases) {
        DMXFrame bad{c.count, 1, 1, data};
        EXPECT_EQ(sendFrame(h, &bad), c.expected) << c.count;
    }
    DMXFrame noData{4, 0, 0, nullptr};
    EXPECT_EQ(sendFrame(h, &noData), DevInvalidArgument);
    EXPECT_EQ(sendFrame(h, nullptr), DevInvalidArgument);

    // The refused frames did not replace the last good one.
    ASSERT_EQ(lumidriveSimLastLiveFrame(h, &last), DevSuccess);
    EXPECT_EQ(last.channelCount, 512);
    EXPECT_EQ(last.timeCode, 77);
    EXPECT_EQ(last.framesReceived, 1);
    EXPECT_EQ(std::memcmp(last.data, data, 512), 0);

    DMXFrame small{3, 0x17, -5, data + 10};
    ASSERT_EQ(sendFrame(h, &small), DevSuccess);
    ASSERT_EQ(stopLivePlay(h), DevSuccess);
    ASSERT_EQ(lumidriveSimLastLiveFrame(h, &last), DevSuccess);  // still there after stop
    EXPECT_EQ(last.channelCount, 3);
    EXPECT_EQ(last.startCode, 0x17);
    EXPECT_EQ(last.timeCode, -5);
    EXPECT_EQ(last.framesReceived, 2);
    EXPECT_EQ(std::memcmp(last.data, data + 10, 3), 0);
    EXPECT_EQ(sendFrame(h, &small), DevWrongState);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(LivePlay, ControllerWithoutTheLivePlayClassRefusesIt) {
    SimDir sim;
    sim.addController("c", descriptor(1, 1, "classes = playBackConfig\n"));
    sim.use();
    const int32_t h = openOrFail(1, 1);
    EXPECT_EQ(startLivePlay(h), DevNotSupported);
    EXPECT_EQ(closeDevice(h), DevSuccess);
}

TEST(InvalidHandles, EveryOperationRefusesThemWithoutTouchingOutputs) {
    useBuiltIn();
    const int32_t open = openOrFail(1, 1);
    const int32_t closed = openOrFail(2, 1);
    ASSERT_EQ(closeDevice(closed), DevSuccess);
    for (const int32_t h : {-1, 0, closed, open + 1000, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(h);
        DevInfo info;
        DevState state = 99;
        DevFileEntry fe;
        ShowtapeHeader header = makeHeader(1, 1);
        uint8_t buf[512];
        DMXFrame frame{1, 0, 0, buf};
        DevBool fits = 9;
        int64_t n = -9;
        DevTrigger t{};
        DevTriggerAction a{};
        DevTriggerHeader th{1, 2, 3, 4};
        LumidriveSimLiveFrame live;
        EXPECT_EQ(closeDevice(h), DevInvalidHandle);
        EXPECT_EQ(getDeviceInfo(h, &info), DevInvalidHandle);
        EXPECT_EQ(getDeviceState(h, &state), DevInvalidHandle);
        EXPECT_EQ(state, 99);
        EXPECT_EQ(startLivePlay(h), DevInvalidHandle);
        EXPECT_EQ(sendFrame(h, &frame), DevInvalidHandle);
        EXPECT_EQ(stopLivePlay(h), DevInvalidHandle);
        EXPECT_EQ(createFile(h, u"x", &header, 0), DevInvalidHandle);
        EXPECT_EQ(writeFrames(h, 1, &frame), DevInvalidHandle);
        EXPECT_EQ(closeFile(h), DevInvalidHandle);
        EXPECT_EQ(createTestFile(h, u"x", &header, 0), DevInvalidHandle);
        EXPECT_EQ(writeTestFrames(h, 1, &frame), DevInvalidHandle);
        EXPECT_EQ(closeTestFile(h, &fits, &n), DevInvalidHandle);
        EXPECT_EQ(getFreeSpace(h, &n), DevInvalidHandle);
        EXPECT_EQ(getFirstFile(h, u".", &fe), DevInvalidHandle);
        EXPECT_EQ(getNextFile(h, &fe), DevInvalidHandle);
        EXPECT_EQ(deleteFile(h, u"Chase", nullptr), DevInvalidHandle);
        EXPECT_EQ(openFile(h, u"Chase", &header), DevInvalidHandle);
        EXPECT_EQ(readFrame(h, &frame), DevInvalidHandle);
        EXPECT_EQ(startPlayback(h, u"Chase"), DevInvalidHandle);
        EXPECT_EQ(stopPlayback(h), DevInvalidHandle);
        EXPECT_EQ(createTriggers(h), DevInvalidHandle);
        EXPECT_EQ(setTrigger(h, &t, &a), DevInvalidHandle);
        EXPECT_EQ(getTriggerHeader(h, &th), DevInvalidHandle);
        EXPECT_EQ(setTriggerHeader(h, &th), DevInvalidHandle);
        EXPECT_EQ(closeTriggers(h), DevInvalidHandle);
        EXPECT_EQ(getFirstTrigger(h, &t, &a), DevInvalidHandle);
        EXPECT_EQ(getNextTrigger(h, &t, &a), DevInvalidHandle);
        EXPECT_EQ(lumidriveSimLastLiveFrame(h, &live), DevInvalidHandle);
        EXPECT_EQ(fits, 9);
        EXPECT_EQ(n, -9);
        EXPECT_EQ(th.byte1, 1);
    }
    // The open device is unharmed and its store intact.
    EXPECT_EQ(listAll(open).size(), 3u);
    EXPECT_EQ(closeDevice(open), DevSuccess);
}

}  // namespace
