// Controller bridge against the real controller simulator and its built-in
// demo controllers: discovery, capabilities, open/close, information, state
// and live play, with the simulator's own codes passed through.
#include <map>

#include "jvm_harness.h"
#include "lumidrive_sim.h"

namespace {

constexpr const char* kLumidrive = "com/lumivex/controller/Lumidrive";
constexpr const char* kEntrySig = "(Lcom/lumivex/controller/DevEntry;)I";

struct Found {
    jobject entry;
    std::u16string port;
    jint classes;
};

class SimulatorTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        lumidriveSimReset();
        cls_ = jvmtest::findClass(kLumidrive);
        ASSERT_NE(cls_, nullptr);
    }

    // Every attached controller by name, each in an entry of its own.
    std::map<std::u16string, Found> discover() {
        std::map<std::u16string, Found> found;
        const char* op = "getFirstDevice";
        for (int guard = 0; guard < 100; ++guard, op = "getNextDevice") {
            jobject entry = jvmtest::newObject("com/lumivex/controller/DevEntry");
            const auto r = jvmtest::callStatic(cls_, op, kEntrySig, entry);
            EXPECT_FALSE(r.threw()) << op << ": " << r.describe();
            if (r.threw() || r.value.i != 0) {
                EXPECT_EQ(r.value.i, DevNoMoreData) << op;
                break;
            }
            const std::u16string name = jvmtest::getString(entry, "deviceName").value_or(u"");
            found[name] = {entry, jvmtest::getString(entry, "devicePort").value_or(u""),
                           jvmtest::getInt(entry, "deviceClasses")};
        }
        return found;
    }

    jobject openDemo(const std::u16string& name) {
        auto all = discover();
        auto it = all.find(name);
        if (it == all.end()) {
            ADD_FAILURE() << "demo controller not found";
            return nullptr;
        }
        jobject device = jvmtest::newObject(cls_);
        const auto r = jvmtest::call(device, "openDevice", "(Lcom/lumivex/controller/DevEntry;)V", it->second.entry);
        EXPECT_FALSE(r.threw()) << r.describe();
        return device;
    }

    jint state(jobject device) {
        jobject s = jvmtest::newObject("com/lumivex/controller/DevState");
        const auto r = jvmtest::call(device, "getDeviceState", "(Lcom/lumivex/controller/DevState;)V", s);
        EXPECT_FALSE(r.threw()) << r.describe();
        return jvmtest::getInt(s, "state");
    }

    jobject frame(jint startCode, jint timeCode, const std::vector<jint>& data) {
        jobject f = jvmtest::newObject("com/lumivex/controller/DMXFrame");
        jvmtest::setInt(f, "startCode", startCode);
        jvmtest::setInt(f, "timeCode", timeCode);
        jvmtest::setObject(f, "dmxData", "[I", jvmtest::newIntArray(data));
        return f;
    }

    jvmtest::CallResult send(jobject device, jobject f) {
        return jvmtest::call(device, "sendFrame", "(Lcom/lumivex/controller/DMXFrame;)V", f);
    }

    jclass cls_ = nullptr;
};

TEST_F(SimulatorTest, FindsTheDemoControllersWithTheirCapabilities) {
    const auto found = discover();
    ASSERT_EQ(found.size(), 3u);
    struct Expected {
        std::u16string name, port;
        bool livePlay, playBackConfig, record;
    };
    const Expected expected[] = {{u"Lumivex LD-512", u"usb-1", true, true, false},
                                 {u"Lumivex LD-1024 Studio", u"usb-2", true, true, true},
                                 {u"Lumivex LiveLink", u"usb-3", true, false, false}};
    for (const Expected& e : expected) {
        auto it = found.find(e.name);
        ASSERT_NE(it, found.end());
        EXPECT_EQ(it->second.port, e.port);
        const jint classes = it->second.classes;
        EXPECT_EQ(jvmtest::callStatic(cls_, "supportsLivePlay", "(I)Z", classes).value.z != 0, e.livePlay);
        EXPECT_EQ(jvmtest::callStatic(cls_, "supportsPlayBackConfig", "(I)Z", classes).value.z != 0, e.playBackConfig);
        EXPECT_EQ(jvmtest::callStatic(cls_, "supportsRecord", "(I)Z", classes).value.z != 0, e.record);
    }
    EXPECT_EQ(jvmtest::callStatic(cls_, "getLibraryMajorRevision", "()I").value.i, getLibraryMajorRevision());
}

TEST_F(SimulatorTest, OpensAControllerAndReadsItsInformationAndState) {
    jobject device = openDemo(u"Lumivex LD-1024 Studio");
    ASSERT_NE(device, nullptr);
    EXPECT_NE(jvmtest::getInt(device, "devID"), -1);
    jobject info = jvmtest::newObject("com/lumivex/controller/DevInfo");
    const auto r = jvmtest::call(device, "getDeviceInfo", "(Lcom/lumivex/controller/DevInfo;)V", info);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::getString(info, "revision"), u"3.1.0");
    EXPECT_EQ(jvmtest::getInt(info, "numberLivePlayChannels"), 512);
    EXPECT_EQ(jvmtest::getInt(info, "numberPlaybackTriggers"), 32);
    EXPECT_EQ(jvmtest::getLong(info, "totalSpace"), 32LL << 20);
    EXPECT_EQ(jvmtest::getInt(info, "maxNumberShows"), 64);
    EXPECT_TRUE(jvmtest::getBool(info, "canPlaybackCompress"));
    EXPECT_EQ(jvmtest::getDouble(info, "minFrameRate"), 0.5);
    EXPECT_EQ(state(device), DevStateIdle);

    ASSERT_FALSE(jvmtest::call(device, "closeDevice", "()V").threw());
    EXPECT_EQ(jvmtest::getInt(device, "devID"), -1);
}

TEST_F(SimulatorTest, StreamsLiveFramesToTheController) {
    jobject device = openDemo(u"Lumivex LD-512");
    ASSERT_NE(device, nullptr);
    const jint handle = jvmtest::getInt(device, "devID");
    ASSERT_FALSE(jvmtest::call(device, "startLivePlay", "()V").threw());
    EXPECT_EQ(state(device), DevStateLivePlay);

    std::vector<jint> data(512);
    jobject f = frame(0, 0, data);
    constexpr int kFrames = 40;
    for (int n = 0; n < kFrames; ++n) {
        for (std::size_t ch = 0; ch < data.size(); ++ch) data[ch] = static_cast<jint>(ch) + n;  // up to 551: cut to 8 bits
        jvmtest::setObject(f, "dmxData", "[I", jvmtest::newIntArray(data));
        jvmtest::setInt(f, "timeCode", n * 25);
        const auto r = send(device, f);
        ASSERT_FALSE(r.threw()) << "frame " << n << ": " << r.describe();
    }
    LumidriveSimLiveFrame last{};
    ASSERT_EQ(lumidriveSimLastLiveFrame(handle, &last), DevSuccess);
    EXPECT_EQ(last.framesReceived, kFrames);
    EXPECT_EQ(last.channelCount, 512);
    EXPECT_EQ(last.timeCode, (kFrames - 1) * 25);
    for (int ch = 0; ch < 512; ++ch) ASSERT_EQ(last.data[ch], static_cast<uint8_t>(ch + kFrames - 1)) << ch;

    ASSERT_FALSE(jvmtest::call(device, "stopLivePlay", "()V").threw());
    EXPECT_EQ(state(device), DevStateIdle);
    ASSERT_FALSE(jvmtest::call(device, "closeDevice", "()V").threw());
}

TEST_F(SimulatorTest, TheSimulatorsRefusalsReachJavaWithTheirCodes) {
    jobject device = openDemo(u"Lumivex LD-512");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(send(device, frame(0, 0, {1, 2, 3})).devCode(), DevWrongState) << "a frame outside live play";
    ASSERT_FALSE(jvmtest::call(device, "startLivePlay", "()V").threw());
    EXPECT_EQ(send(device, frame(0, 0, std::vector<jint>(600))).devCode(), DevFrameTooLarge);
    EXPECT_EQ(jvmtest::call(device, "stopLivePlay", "()V").devCode(), std::nullopt);

    // The same controller on a second object: the simulator says it is busy.
    auto all = discover();
    jobject second = jvmtest::newObject(cls_);
    const auto r = jvmtest::call(second, "openDevice", "(Lcom/lumivex/controller/DevEntry;)V",
                                 all.at(u"Lumivex LD-512").entry);
    EXPECT_EQ(r.devCode(), DevDeviceBusy) << r.describe();
    EXPECT_EQ(jvmtest::getInt(second, "devID"), -1);
    ASSERT_FALSE(jvmtest::call(device, "closeDevice", "()V").threw());
}

}  // namespace
