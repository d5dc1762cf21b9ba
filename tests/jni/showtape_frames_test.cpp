// Show-file bridge, frames: readDMXFrame and writeDMXFrame against the
// scripted show-file-library double.
#include <climits>

#include "double_control.h"
#include "showtape_fixture.h"

using doubles::Reply;
using namespace showtape_test;

namespace {

class FramesTest : public ShowtapeTest {
protected:
    void SetUp() override {
        doubles::reset();
        ShowtapeTest::SetUp();
        tape_.setFields(2, 6);  // an open file
    }

    static Reply frameReply(DevReturn code, jint startCode, jint timeCode, std::vector<uint8_t> channels,
                            std::optional<int32_t> channelCount = std::nullopt) {
        Reply r;
        r.code = code;
        r.startCode = startCode;
        r.timeCode = timeCode;
        r.channels = std::move(channels);
        r.channelCount = channelCount;
        return r;
    }
};

std::vector<uint8_t> byteRamp(std::size_t count, uint8_t from = 0) {
    std::vector<uint8_t> v(count);
    for (std::size_t i = 0; i < count; ++i) v[i] = static_cast<uint8_t>(from + i);
    return v;
}

TEST_F(FramesTest, WriteCarriesTheArrayLengthAndTheLowEightBitsOfEachValue) {
    struct Case {
        const char* label;
        jint startCode, timeCode;
        std::vector<jint> data;
    };
    const Case cases[] = {
        {"512 channels 0..255", 0, 0, ramp(512)},
        {"values are cut, not clamped", 0xCC, -1, {256, 300, -1, 511, 255, 0, INT_MIN, INT_MAX, -256}},
        {"no channels", INT_MIN, INT_MAX, {}},
        {"one channel", 1, 2, {128}},
        {"2048 channels", -5, 123456789, ramp(2048, 7)},
        {"more than the library takes: the library judges", 0, 0, ramp(2049)},
    };
    for (const Case& c : cases) {
        doubles::reset();
        jobject frame = javaFrame(c.startCode, c.timeCode, c.data);
        const auto r = tape_.write(frame);
        ASSERT_FALSE(r.threw()) << c.label << ": " << r.describe();
        const auto calls = doubles::callsOf("writeDMXFrame");
        ASSERT_EQ(calls.size(), 1u) << c.label;
        EXPECT_EQ(calls[0].tape.fileHandle, 6);
        EXPECT_EQ(calls[0].tape.versionNumber, 2);
        ASSERT_EQ(calls[0].frames.size(), 1u);
        const auto& f = calls[0].frames[0];
        EXPECT_EQ(f.channelCount, static_cast<int32_t>(c.data.size())) << c.label;
        EXPECT_EQ(f.startCode, c.startCode) << c.label;
        EXPECT_EQ(f.timeCode, c.timeCode) << c.label;
        EXPECT_FALSE(f.dataWasNull) << c.label;
        const std::vector<jint> expected = asBytes(c.data);
        EXPECT_EQ(std::vector<jint>(f.data.begin(), f.data.end()), expected) << c.label;
        EXPECT_EQ(frameData(frame), c.data) << c.label << ": the Java frame is not changed";
    }
}

TEST_F(FramesTest, WriteWithANullFrameOrArrayRaisesOneWithoutCallingTheLibrary) {
    jobject noData = javaFrame(1, 2, {});
    jvmtest::setObject(noData, "dmxData", "[I", nullptr);
    EXPECT_EQ(tape_.write(nullptr).devCode(), DevError);
    EXPECT_EQ(tape_.write(noData).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

// Every element of the Java array is written, whatever channelCount the
// library reports: bytes of the 2048-byte receive buffer (zeroed before the
// read), then 0 past it. Nothing is read beyond the buffer.
TEST_F(FramesTest, ReadFillsEveryElementFromTheZeroedReceiveBuffer) {
    struct Case {
        const char* label;
        std::vector<uint8_t> written;         // bytes the library writes
        std::optional<int32_t> channelCount;  // what it reports (default: written.size())
        std::size_t arrayLength;
    };
    const Case cases[] = {
        {"512 channels into 512 elements", byteRamp(512, 200), std::nullopt, 512},
        {"3 channels into 512 elements: the rest 0", {0, 128, 255}, std::nullopt, 512},
        {"512 bytes but a channelCount of 1", byteRamp(512, 1), 1, 512},
        {"no channels", {}, std::nullopt, 16},
        {"into an empty array", {9, 9}, std::nullopt, 0},
        {"fewer elements than channels", byteRamp(512), std::nullopt, 5},
        {"2048 channels", byteRamp(2048, 3), std::nullopt, 2048},
        {"array longer than the buffer: 0 past 2048", std::vector<uint8_t>(2048, 255), std::nullopt, 2100},
        {"a channelCount past the buffer is not followed", {1, 2}, 100000, 2100},
    };
    for (const Case& c : cases) {
        doubles::reset();
        doubles::push("readDMXFrame", frameReply(DevSuccess, -3, INT_MIN, c.written, c.channelCount));
        jobject frame = javaFrame(11, 12, std::vector<jint>(c.arrayLength, -7));
        jobject arrayBefore = jvmtest::getObject(frame, "dmxData", "[I");
        const auto r = tape_.read(frame);
        ASSERT_FALSE(r.threw()) << c.label << ": " << r.describe();
        EXPECT_EQ(r.value.i, DevSuccess) << c.label;
        EXPECT_EQ(jvmtest::getInt(frame, "startCode"), -3) << c.label;
        EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), INT_MIN) << c.label;
        EXPECT_TRUE(env_->IsSameObject(arrayBefore, jvmtest::getObject(frame, "dmxData", "[I"))) << c.label;
        std::vector<jint> expected(c.arrayLength, 0);
        for (std::size_t i = 0; i < std::min(c.arrayLength, c.written.size()); ++i) expected[i] = c.written[i];
        EXPECT_EQ(frameData(frame), expected) << c.label;

        const auto calls = doubles::callsOf("readDMXFrame");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_FALSE(calls[0].outWasNull) << "a receive buffer is always given";
        EXPECT_EQ(calls[0].tape.fileHandle, 6);
        EXPECT_EQ(calls[0].tape.versionNumber, 2);
    }
}

TEST_F(FramesTest, ReadReturnsTwoAtTheEndAndRaisesOtherCodesLeavingTheFrameUntouched) {
    struct Case {
        DevReturn code;
        bool raised;
    };
    const Case cases[] = {{DevNoMoreData, false}, {DevTruncated, true}, {DevCorrupt, true},
                          {DevError, true},      {-2, true},           {DevOutOfMemory, true}};
    for (const Case& c : cases) {
        doubles::reset();
        // The double writes the frame whatever the code: none of it may reach Java.
        doubles::push("readDMXFrame", frameReply(c.code, 100, 200, byteRamp(8, 50)));
        jobject frame = javaFrame(1, 2, {3, 4, 5});
        const auto r = tape_.read(frame);
        if (c.raised) {
            EXPECT_EQ(r.devCode(), c.code) << r.describe();
        } else {
            EXPECT_FALSE(r.threw()) << r.describe();
            EXPECT_EQ(r.value.i, c.code);
        }
        EXPECT_EQ(jvmtest::getInt(frame, "startCode"), 1) << c.code;
        EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), 2) << c.code;
        EXPECT_EQ(frameData(frame), (std::vector<jint>{3, 4, 5})) << c.code;
    }
}

TEST_F(FramesTest, ReadIntoANullFrameRaisesOneWithoutReading) {
    EXPECT_EQ(tape_.read(nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty()) << "no frame of the show is skipped";
}

TEST_F(FramesTest, ReadIntoAFrameWithoutAnArrayRaisesOneWithoutReading) {
    jobject frame = javaFrame(1, 2, {});
    jvmtest::setObject(frame, "dmxData", "[I", nullptr);
    EXPECT_EQ(tape_.read(frame).devCode(), DevError);
    EXPECT_EQ(jvmtest::getInt(frame, "startCode"), 1) << "the frame is left as it was";
    EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), 2);
    EXPECT_TRUE(doubles::ops().empty()) << "no frame of the show is skipped";
}

TEST_F(FramesTest, ChannelValuesCrossAsBytesBothWays) {
    // What is written as a cut byte reads back as that byte, 0 to 255, never negative.
    const std::vector<jint> written = {-1, 256, 300, 128, 255, -128, 0, 1 << 20};
    ASSERT_FALSE(tape_.write(javaFrame(0, 0, written)).threw());
    const auto calls = doubles::callsOf("writeDMXFrame");
    ASSERT_EQ(calls.size(), 1u);
    doubles::push("readDMXFrame", frameReply(DevSuccess, 0, 0, calls[0].frames[0].data));
    jobject frame = javaFrame(0, 0, std::vector<jint>(written.size(), 0));
    ASSERT_FALSE(tape_.read(frame).threw());
    EXPECT_EQ(frameData(frame), (std::vector<jint>{255, 0, 44, 128, 255, 128, 0, 0}));
}

}  // namespace
