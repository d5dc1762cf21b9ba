// The shared JNI helpers, called directly from the test inside the VM: the
// raise helper's pending-exception policy, the release modes of the array
// holder, the text rules and the C-to-Java frame rule.
#include <climits>

#include "jni_support.h"
#include "jvm_harness.h"

using namespace lumivex::jni;
using jvmtest::JvmTest;

namespace {

constexpr const char* kFrame = "com/lumivex/controller/DMXFrame";

class JniCommonTest : public JvmTest {
protected:
    // Takes the pending exception (there must be one) and returns its DevException code.
    std::optional<jint> takeDevCode() {
        jthrowable thrown = env_->ExceptionOccurred();
        if (!thrown) return std::nullopt;
        env_->ExceptionClear();
        return jvmtest::devCode(thrown);
    }

    FrameFieldIds frameIds() {
        jclass cls = jvmtest::findClass(kFrame);
        return {env_->GetFieldID(cls, "startCode", "I"), env_->GetFieldID(cls, "timeCode", "I"),
                env_->GetFieldID(cls, "dmxData", "[I")};
    }

    jobject javaFrame(jint startCode, jint timeCode, const std::vector<jint>& data) {
        jobject frame = jvmtest::newObject(kFrame);
        jvmtest::setInt(frame, "startCode", startCode);
        jvmtest::setInt(frame, "timeCode", timeCode);
        jvmtest::setObject(frame, "dmxData", "[I", jvmtest::newIntArray(data));
        return frame;
    }

    std::vector<jint> frameData(jobject frame) {
        return jvmtest::values(static_cast<jintArray>(jvmtest::getObject(frame, "dmxData", "[I")));
    }
};

TEST_F(JniCommonTest, ThrowDevExceptionRaisesTheCodeItIsGiven) {
    for (jint code : {1, 10, 31, 2, -7, INT_MAX}) {
        throwDevException(env_, code);
        EXPECT_EQ(takeDevCode(), code);
    }
}

TEST_F(JniCommonTest, ThrowDevExceptionReplacesAnErrorAlreadyPending) {
    // A failed JNI request leaves the VM's own error pending; the caller must
    // see the DevException instead, and no JNI call may run with it pending.
    env_->ThrowNew(jvmtest::findClass("java/lang/IllegalStateException"), "left by a failed request");
    throwDevException(env_, 31);
    EXPECT_EQ(takeDevCode(), 31);
}

TEST_F(JniCommonTest, ArrayElementsAreGivenBackInTheChosenMode) {
    struct Case {
        ReleaseMode mode;
        jint expectedFirst;
    };
    for (const Case c : {Case{ReleaseMode::CopyBack, 99}, Case{ReleaseMode::Abort, 1}}) {
        jintArray array = jvmtest::newIntArray({1, 2, 3});
        {
            ScopedIntArrayElements elements(env_, array, c.mode);
            ASSERT_TRUE(elements.ok());
            EXPECT_EQ(elements.size(), 3);
            elements.data()[0] = 99;
        }
        EXPECT_EQ(jvmtest::values(array)[0], c.expectedFirst) << static_cast<int>(c.mode);
    }
}

TEST_F(JniCommonTest, NullReferencesTakeNothing) {
    EXPECT_FALSE(ScopedStringChars(env_, nullptr).ok());
    EXPECT_FALSE(ScopedStringUTFChars(env_, nullptr).ok());
    EXPECT_FALSE(ScopedIntArrayElements(env_, nullptr, ReleaseMode::Abort).ok());
    EXPECT_FALSE(env_->ExceptionCheck());
}

TEST_F(JniCommonTest, TextInCopiesTheWholeStringForAnArgument) {
    const std::u16string text = u"name\u00e9\U0001F600" + jvmtest::alphabet(600);
    jstring s = jvmtest::newString(text);
    TextIn in(env_, s);
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(in.length(), static_cast<jsize>(text.size()));
    EXPECT_EQ(std::u16string(in.c_str(), text.size() + 1), text + u'\0');
}

TEST_F(JniCommonTest, TextInEndsTheCopyWithTheZeroUnitsAsked) {
    jstring s = jvmtest::newString(u"");
    TextIn in(env_, s, {.copyFailureCode = DevOutOfMemory, .zeroUnits = 2});
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(in.c_str()[0], 0);
    EXPECT_EQ(in.c_str()[1], 0);
}

TEST_F(JniCommonTest, TextInCutsAFieldAt255UnitsAndZeroFillsTheRest) {
    struct Case {
        std::u16string text;
        std::u16string stored;  // what the field holds before its zero units
    };
    const Case cases[] = {
        {u"", u""},
        {jvmtest::alphabet(20), jvmtest::alphabet(20)},
        {jvmtest::alphabet(255), jvmtest::alphabet(255)},
        {jvmtest::alphabet(256), jvmtest::alphabet(255)},
        {jvmtest::alphabet(1000), jvmtest::alphabet(255)},
        {std::u16string(u"ab\0cd", 5), u"ab"},  // units after an inner zero unit do not reach the field
    };
    for (const Case& c : cases) {
        DevChar field[DEV_TEXT_UNITS];
        std::fill(std::begin(field), std::end(field), u'#');
        jstring s = jvmtest::newString(c.text);
        TextIn in(env_, s);
        ASSERT_TRUE(in.ok());
        in.copyToField(field);
        EXPECT_EQ(in.c_str(), nullptr) << "the copy is freed once the field is filled";
        std::u16string expected = c.stored;
        expected.resize(DEV_TEXT_UNITS, u'\0');
        EXPECT_EQ(std::u16string(field, DEV_TEXT_UNITS), expected) << "text of " << c.text.size() << " units";
    }
}

TEST_F(JniCommonTest, TextInOfANullStringRaisesOne) {
    TextIn in(env_, nullptr);
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(takeDevCode(), DevError);
}

TEST_F(JniCommonTest, TextOutTakesTheUnitsBeforeTheFirstZeroAndStaysInsideTheField) {
    DevChar field[DEV_TEXT_UNITS] = {};
    EXPECT_EQ(jvmtest::units(textToJava(env_, field).get()), u"");
    const std::u16string text = u"\u00e9t\u00e9\U0001F600";
    std::copy(text.begin(), text.end(), field);
    field[text.size() + 1] = u'x';  // after the zero unit: not part of the text
    EXPECT_EQ(jvmtest::units(textToJava(env_, field).get()), text);
    std::fill(std::begin(field), std::end(field), u'z');  // no zero unit at all
    EXPECT_EQ(jvmtest::units(textToJava(env_, field).get()), jvmtest::repeat(u'z', DEV_TEXT_UNITS));
}

TEST_F(JniCommonTest, FrameToJavaFillsTheExistingArrayWithValuesFrom0To255) {
    uint8_t buffer[2048] = {};
    for (std::size_t i = 0; i < 512; ++i) buffer[i] = static_cast<uint8_t>(255 - i % 256);
    DMXFrame record{3, -5, INT_MIN, buffer};
    jobject frame = javaFrame(0, 0, std::vector<jint>(512, -1));
    jobject arrayBefore = jvmtest::getObject(frame, "dmxData", "[I");
    ASSERT_TRUE(frameToJava(env_, frame, frameIds(), record, sizeof buffer));
    EXPECT_EQ(jvmtest::getInt(frame, "startCode"), -5);
    EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), INT_MIN);
    EXPECT_TRUE(env_->IsSameObject(arrayBefore, jvmtest::getObject(frame, "dmxData", "[I")));
    const std::vector<jint> data = frameData(frame);
    ASSERT_EQ(data.size(), 512u);
    for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], 255 - static_cast<jint>(i % 256)) << i;
}

TEST_F(JniCommonTest, FrameToJavaNeverReadsPastTheBuffer) {
    uint8_t buffer[4] = {10, 20, 30, 40};
    DMXFrame record{4, 1, 2, buffer};
    jobject frame = javaFrame(0, 0, {7, 7, 7, 7, 7, 7});
    ASSERT_TRUE(frameToJava(env_, frame, frameIds(), record, sizeof buffer));
    EXPECT_EQ(frameData(frame), (std::vector<jint>{10, 20, 30, 40, 7, 7}));
}

TEST_F(JniCommonTest, FrameToJavaCanZeroTheElementsPastTheBuffer) {
    uint8_t buffer[4] = {10, 20, 30, 40};
    DMXFrame record{2, 1, 2, buffer};
    jobject frame = javaFrame(0, 0, {7, 7, 7, 7, 7, 7});
    ASSERT_TRUE(frameToJava(env_, frame, frameIds(), record, sizeof buffer, ElementsPastBuffer::Zero));
    EXPECT_EQ(frameData(frame), (std::vector<jint>{10, 20, 30, 40, 0, 0}));
}

TEST_F(JniCommonTest, FrameToJavaOfAnEmptyArraySetsOnlyTheCodes) {
    uint8_t buffer[16] = {1, 2, 3};
    DMXFrame record{3, 9, 8, buffer};
    jobject frame = javaFrame(0, 0, {});
    ASSERT_TRUE(frameToJava(env_, frame, frameIds(), record, sizeof buffer));
    EXPECT_EQ(jvmtest::getInt(frame, "startCode"), 9);
    EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), 8);
    EXPECT_TRUE(frameData(frame).empty());
}

TEST_F(JniCommonTest, FrameToJavaWithoutDataRaisesOneAndLeavesTheFrameAlone) {
    uint8_t buffer[16] = {};
    DMXFrame record{0, 9, 8, buffer};
    jobject frame = javaFrame(4, 5, {});
    jvmtest::setObject(frame, "dmxData", "[I", nullptr);
    EXPECT_FALSE(frameToJava(env_, frame, frameIds(), record, sizeof buffer));
    EXPECT_EQ(takeDevCode(), DevError);
    EXPECT_EQ(jvmtest::getInt(frame, "startCode"), 4);
    EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), 5);

    EXPECT_FALSE(frameToJava(env_, nullptr, frameIds(), record, sizeof buffer));
    EXPECT_EQ(takeDevCode(), DevError);
}

TEST_F(JniCommonTest, FrameFromJavaOwnsAChannelBufferOfTheArraysLength) {
    FrameRecords records(2);
    ASSERT_TRUE(records.ok());
    jobject frame = javaFrame(-1, 77, {256, 300, -1, 511, 0, 255});
    ASSERT_TRUE(frameFromJava(env_, frame, frameIds(), records[1]));
    EXPECT_EQ(records[1].channelCount, 6);
    EXPECT_EQ(records[1].startCode, -1);
    EXPECT_EQ(records[1].timeCode, 77);
    EXPECT_EQ(std::vector<uint8_t>(records[1].dmxData, records[1].dmxData + 6),
              (std::vector<uint8_t>{0, 44, 255, 255, 0, 255}));
    EXPECT_EQ(records[0].dmxData, nullptr);
    EXPECT_EQ(frameData(frame), (std::vector<jint>{256, 300, -1, 511, 0, 255}));
}

TEST_F(JniCommonTest, EmptyHoldersAreValid) {
    FrameRecords none(0);
    EXPECT_TRUE(none.ok());
    EXPECT_EQ(none.size(), 0u);
    HeapBuffer<uint8_t> empty(0);
    EXPECT_TRUE(empty.ok());
}

}  // namespace
