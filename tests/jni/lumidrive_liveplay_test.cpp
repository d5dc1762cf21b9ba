// Controller bridge, live play: start/stop and the frame rule of sendFrame,
// against the scripted controller-library double.
#include <climits>

#include "lumidrive_fixture.h"

using namespace lumidrive_test;

namespace {

constexpr const char* kSendSig = "(Lcom/lumivex/controller/DMXFrame;)V";

class LivePlayTest : public LumidriveTest {
protected:
    jobject javaFrame(jint startCode, jint timeCode, const std::vector<jint>& data) {
        jobject frame = jvmtest::newObject(kDMXFrame);
        jvmtest::setInt(frame, "startCode", startCode);
        jvmtest::setInt(frame, "timeCode", timeCode);
        jvmtest::setObject(frame, "dmxData", "[I", jvmtest::newIntArray(data));
        return frame;
    }
    std::vector<jint> frameData(jobject frame) {
        return jvmtest::values(static_cast<jintArray>(jvmtest::getObject(frame, "dmxData", "[I")));
    }
    jvmtest::CallResult send(jobject frame) { return jvmtest::call(device_, "sendFrame", kSendSig, frame); }
};

std::vector<jint> ramp(std::size_t n) {
    std::vector<jint> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<jint>(i % 256);
    return v;
}

std::vector<uint8_t> bytes(const std::vector<jint>& v) {
    std::vector<uint8_t> out;
    for (jint x : v) out.push_back(static_cast<uint8_t>(x & 0xFF));
    return out;
}

TEST_F(LivePlayTest, StartAndStopPassTheHandleAndRaiseTheLibraryCode) {
    for (const char* op : {"startLivePlay", "stopLivePlay"}) {
        for (DevReturn code : {DevReturn{DevSuccess}, DevReturn{14}, DevReturn{DevError}}) {
            doubles::reset();
            doubles::push(op, code);
            openAs(8);
            const auto r = jvmtest::call(device_, op, "()V");
            if (code == DevSuccess)
                EXPECT_FALSE(r.threw()) << op << ": " << r.describe();
            else
                EXPECT_EQ(r.devCode(), code) << op << ": " << r.describe();
            ASSERT_EQ(doubles::callsOf(op).size(), 1u);
            EXPECT_EQ(doubles::callsOf(op)[0].handle, 8);
        }
    }
}

TEST_F(LivePlayTest, SendFrameCarriesTheArrayLengthAndTheLowEightBitsOfEachValue) {
    struct Case {
        const char* label;
        jint startCode, timeCode;
        std::vector<jint> data;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"512 channels 0..255", 0, 0, ramp(512), bytes(ramp(512))},
        {"values are cut, not clamped", 0xCC, -1, {256, 300, -1, 511, 255, 0, INT_MIN, INT_MAX, -256},
         {0, 44, 255, 255, 255, 0, 0, 255, 0}},
        {"no channels", INT_MIN, INT_MAX, {}, {}},
        {"600 channels, no cap at 512", -5, 123456789, ramp(600), bytes(ramp(600))},
    };
    openAs(11);
    for (const Case& c : cases) {
        doubles::reset();
        const auto r = send(javaFrame(c.startCode, c.timeCode, c.data));
        ASSERT_FALSE(r.threw()) << c.label << ": " << r.describe();
        const auto calls = doubles::callsOf("sendFrame");
        ASSERT_EQ(calls.size(), 1u) << c.label;
        EXPECT_EQ(calls[0].handle, 11);
        ASSERT_EQ(calls[0].frames.size(), 1u);
        const auto& f = calls[0].frames[0];
        EXPECT_EQ(f.channelCount, static_cast<int32_t>(c.data.size())) << c.label;
        EXPECT_EQ(f.startCode, c.startCode) << c.label;
        EXPECT_EQ(f.timeCode, c.timeCode) << c.label;
        EXPECT_FALSE(f.dataWasNull) << c.label;
        EXPECT_EQ(f.data, c.expected) << c.label;
    }
}

TEST_F(LivePlayTest, SendFrameNeverChangesTheJavaFrame) {
    const std::vector<jint> data = {256, -1, 300, 7};
    for (DevReturn code : {DevReturn{DevSuccess}, DevReturn{13}}) {
        doubles::push("sendFrame", code);
        jobject frame = javaFrame(5, 6, data);
        jobject arrayBefore = jvmtest::getObject(frame, "dmxData", "[I");
        const auto r = send(frame);
        if (code == DevSuccess)
            EXPECT_FALSE(r.threw()) << r.describe();
        else
            EXPECT_EQ(r.devCode(), code) << r.describe();
        EXPECT_EQ(frameData(frame), data);
        EXPECT_TRUE(env_->IsSameObject(arrayBefore, jvmtest::getObject(frame, "dmxData", "[I")));
        EXPECT_EQ(jvmtest::getInt(frame, "startCode"), 5);
        EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), 6);
    }
}

TEST_F(LivePlayTest, SendFrameWithANullFrameOrDataRaisesOneWithoutCallingTheLibrary) {
    openAs(2);
    jobject noData = javaFrame(1, 2, {});
    jvmtest::setObject(noData, "dmxData", "[I", nullptr);
    EXPECT_EQ(send(nullptr).devCode(), DevError);
    EXPECT_EQ(send(noData).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(LivePlayTest, LivePlayWithNoDeviceGoesToTheLibraryWithMinusOne) {
    doubles::push("sendFrame", 4);
    doubles::push("startLivePlay", 4);
    EXPECT_EQ(jvmtest::call(device_, "startLivePlay", "()V").devCode(), 4);
    EXPECT_EQ(send(javaFrame(0, 0, {1})).devCode(), 4);
    ASSERT_EQ(doubles::calls().size(), 2u);
    for (const auto& call : doubles::calls()) EXPECT_EQ(call.handle, -1) << call.op;
}

}  // namespace
