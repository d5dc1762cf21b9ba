// Controller bridge, triggers: the trigger and action conversions both ways,
// the header bytes, the enumeration's returned and raised codes, against the
// scripted double.
#include <climits>
#include <cstdint>

#include "lumidrive_fixture.h"

using namespace lumidrive_test;
using doubles::Reply;

namespace {

constexpr const char* kTrigger = "com/lumivex/controller/DevTrigger";
constexpr const char* kAction = "com/lumivex/controller/DevTriggerAction";
constexpr const char* kTriggerHeader = "com/lumivex/controller/DevTriggerHeader";
constexpr const char* kPairSig = "(Lcom/lumivex/controller/DevTrigger;Lcom/lumivex/controller/DevTriggerAction;)V";
constexpr const char* kEnumSig = "(Lcom/lumivex/controller/DevTrigger;Lcom/lumivex/controller/DevTriggerAction;)I";
constexpr const char* kHeaderSig = "(Lcom/lumivex/controller/DevTriggerHeader;)V";

DevTrigger triggerRecord(int32_t type, int32_t value) { return DevTrigger{type, value}; }

DevTriggerAction actionRecord(int32_t type, const std::u16string& file, int32_t value) {
    DevTriggerAction a{};
    a.actionType = type;
    putText(a.fileName, file);
    a.value = value;
    return a;
}

class TriggersTest : public LumidriveTest {
protected:
    jobject javaTrigger(jint type, jlong value) {
        jobject t = jvmtest::newObject(kTrigger);
        jvmtest::setInt(t, "triggerType", type);
        jvmtest::setLong(t, "value", value);
        return t;
    }
    jobject javaAction(jint type, const std::optional<std::u16string>& file, jlong value) {
        jobject a = jvmtest::newObject(kAction);
        jvmtest::setInt(a, "actionType", type);
        jvmtest::setString(a, "fileName", file);
        jvmtest::setLong(a, "value", value);
        return a;
    }
    jobject javaHeader(jint b1, jint b2, jint b3, jint b4) {
        jobject h = jvmtest::newObject(kTriggerHeader);
        jvmtest::setInt(h, "byte1", b1);
        jvmtest::setInt(h, "byte2", b2);
        jvmtest::setInt(h, "byte3", b3);
        jvmtest::setInt(h, "byte4", b4);
        return h;
    }
    std::vector<jint> headerBytes(jobject h) {
        return {jvmtest::getInt(h, "byte1"), jvmtest::getInt(h, "byte2"), jvmtest::getInt(h, "byte3"),
                jvmtest::getInt(h, "byte4")};
    }
    void expectTrigger(jobject t, jobject a, jint type, jlong value, jint actionType,
                       const std::u16string& file, jlong actionValue, const std::string& label) {
        EXPECT_EQ(jvmtest::getInt(t, "triggerType"), type) << label;
        EXPECT_EQ(jvmtest::getLong(t, "value"), value) << label;
        EXPECT_EQ(jvmtest::getInt(a, "actionType"), actionType) << label;
        EXPECT_EQ(jvmtest::getString(a, "fileName"), file) << label;
        EXPECT_EQ(jvmtest::getLong(a, "value"), actionValue) << label;
    }
};

TEST_F(TriggersTest, CreateAndCloseTriggersPassTheHandleAndRaiseTheLibraryCode) {
    for (const char* op : {"createTriggers", "closeTriggers"}) {
        doubles::reset();
        openAs(4);
        EXPECT_FALSE(jvmtest::call(device_, op, "()V").threw()) << op;
        doubles::push(op, 12);
        EXPECT_EQ(jvmtest::call(device_, op, "()V").devCode(), 12) << op;
        ASSERT_EQ(doubles::callsOf(op).size(), 2u);
        for (const auto& call : doubles::callsOf(op)) EXPECT_EQ(call.handle, 4);
    }
}

TEST_F(TriggersTest, SetTriggerCutsTheValuesTo32BitsAndTheNameToItsField) {
    struct Case {
        const char* label;
        jlong triggerValue, actionValue;
        std::u16string file;
        int32_t storedTrigger, storedAction;
    };
    const Case cases[] = {
        {"2^32+7 stores 7", (jlong{1} << 32) + 7, -1, u"abc", 7, -1},
        {"2^31 wraps to INT_MIN", jlong{1} << 31, (jlong{0x7FFFFFFF} << 32) | 5, jvmtest::alphabet(300), INT_MIN, 5},
        {"negatives unchanged", -2, INT64_MIN, u"", -2, 0},
    };
    openAs(8);
    for (const Case& c : cases) {
        doubles::reset();
        const auto r = jvmtest::call(device_, "setTrigger", kPairSig, javaTrigger(-9, c.triggerValue),
                                     javaAction(INT_MAX, c.file, c.actionValue));
        ASSERT_FALSE(r.threw()) << c.label << ": " << r.describe();
        const auto calls = doubles::callsOf("setTrigger");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].handle, 8);
        const auto t = calls[0].recordAs<DevTrigger>();
        const auto a = calls[0].record2As<DevTriggerAction>();
        EXPECT_EQ(t.triggerType, -9) << c.label;
        EXPECT_EQ(t.value, c.storedTrigger) << c.label;
        EXPECT_EQ(a.actionType, INT_MAX) << c.label;
        EXPECT_EQ(a.value, c.storedAction) << c.label;
        EXPECT_EQ(wholeField(a.fileName), fieldOf(c.file)) << c.label << ": units after the name are zero";
    }
}

TEST_F(TriggersTest, SetTriggerRaisesTheLibraryCodeAndOneForNullArguments) {
    doubles::push("setTrigger", 6);
    EXPECT_EQ(jvmtest::call(device_, "setTrigger", kPairSig, javaTrigger(1, 1), javaAction(1, u"x", 1)).devCode(), 6);
    doubles::reset();
    EXPECT_EQ(jvmtest::call(device_, "setTrigger", kPairSig, nullptr, javaAction(1, u"x", 1)).devCode(), DevError);
    EXPECT_EQ(jvmtest::call(device_, "setTrigger", kPairSig, javaTrigger(1, 1), nullptr).devCode(), DevError);
    EXPECT_EQ(jvmtest::call(device_, "setTrigger", kPairSig, javaTrigger(1, 1), javaAction(1, std::nullopt, 1))
                  .devCode(),
              DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(TriggersTest, EnumerationFillsBothObjectsWithSignExtendedValues) {
    doubles::push("getFirstTrigger", Reply::withRecords(DevSuccess, triggerRecord(3, -1),
                                                        actionRecord(4, u"Chase", INT_MIN)));
    doubles::push("getNextTrigger", Reply::withRecords(DevSuccess, triggerRecord(INT_MIN, INT_MAX),
                                                       actionRecord(-4, jvmtest::alphabet(255), 0)));
    openAs(15);
    jobject t = javaTrigger(0, 0);
    jobject a = javaAction(0, u"", 0);
    auto r = jvmtest::call(device_, "getFirstTrigger", kEnumSig, t, a);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(r.value.i, DevSuccess);
    expectTrigger(t, a, 3, -1, 4, u"Chase", INT_MIN, "first: all bits set is -1, not 2^32-1");
    r = jvmtest::call(device_, "getNextTrigger", kEnumSig, t, a);
    EXPECT_EQ(r.value.i, DevSuccess);
    expectTrigger(t, a, INT_MIN, INT_MAX, -4, jvmtest::alphabet(255), 0, "next");
    r = jvmtest::call(device_, "getNextTrigger", kEnumSig, t, a);  // the double's default: none left
    EXPECT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(r.value.i, DevNoMoreData);
    expectTrigger(t, a, INT_MIN, INT_MAX, -4, jvmtest::alphabet(255), 0, "untouched after 2");
    for (const auto& call : doubles::calls()) {
        EXPECT_EQ(call.handle, 15) << call.op;
        EXPECT_FALSE(call.outWasNull) << call.op;
    }
}

TEST_F(TriggersTest, EnumerationReturnsTwoButRaisesEveryOtherCodeAndLeavesBothObjectsAlone) {
    struct Case {
        DevReturn library;
        std::optional<jint> raised;
        jint returned;
    };
    const Case cases[] = {{DevNoMoreData, std::nullopt, DevNoMoreData}, {6, 6, 1}, {DevError, DevError, 1}};
    for (const char* op : {"getFirstTrigger", "getNextTrigger"}) {
        for (const Case& c : cases) {
            doubles::reset();
            doubles::push(op, Reply::withRecords(c.library, triggerRecord(9, 9), actionRecord(9, u"stale", 9)));
            jobject t = javaTrigger(-1, -2);
            jobject a = javaAction(-3, u"mine", -4);
            const auto r = jvmtest::call(device_, op, kEnumSig, t, a);
            EXPECT_EQ(r.devCode(), c.raised) << op << " " << c.library << ": " << r.describe();
            if (!c.raised) {
                EXPECT_EQ(r.value.i, c.returned) << op;
            }
            expectTrigger(t, a, -1, -2, -3, u"mine", -4, std::string(op) + " after " + std::to_string(c.library));
        }
    }
    doubles::reset();
    EXPECT_EQ(jvmtest::call(device_, "getFirstTrigger", kEnumSig, nullptr, javaAction(0, u"", 0)).devCode(), DevError);
    EXPECT_EQ(jvmtest::call(device_, "getNextTrigger", kEnumSig, javaTrigger(0, 0), nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty()) << "the enumeration does not move on for a null object";
}

TEST_F(TriggersTest, HeaderBytesReadBackFrom0To255) {
    doubles::push("getTriggerHeader", Reply::withRecord(DevSuccess, DevTriggerHeader{200, 0, 255, 1}));
    openAs(27);
    jobject h = javaHeader(-1, -1, -1, -1);
    const auto r = jvmtest::call(device_, "getTriggerHeader", kHeaderSig, h);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(headerBytes(h), (std::vector<jint>{200, 0, 255, 1})) << "200 is 200, not -56";

    doubles::push("getTriggerHeader", Reply::withRecord(DevReturn{19}, DevTriggerHeader{9, 9, 9, 9}));
    EXPECT_EQ(jvmtest::call(device_, "getTriggerHeader", kHeaderSig, h).devCode(), 19);
    EXPECT_EQ(headerBytes(h), (std::vector<jint>{200, 0, 255, 1})) << "untouched after a failure";
    EXPECT_EQ(doubles::callsOf("getTriggerHeader").at(0).handle, 27);

    doubles::reset();
    EXPECT_EQ(jvmtest::call(device_, "getTriggerHeader", kHeaderSig, nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(TriggersTest, SetTriggerHeaderStoresTheLowEightBitsOfEachByte) {
    openAs(33);
    ASSERT_FALSE(jvmtest::call(device_, "setTriggerHeader", kHeaderSig, javaHeader(256, 300, -1, 255)).threw());
    const auto calls = doubles::callsOf("setTriggerHeader");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].handle, 33);
    const auto stored = calls[0].recordAs<DevTriggerHeader>();
    EXPECT_EQ(stored.byte1, 0);
    EXPECT_EQ(stored.byte2, 44);
    EXPECT_EQ(stored.byte3, 255);
    EXPECT_EQ(stored.byte4, 255);

    doubles::push("setTriggerHeader", 19);
    EXPECT_EQ(jvmtest::call(device_, "setTriggerHeader", kHeaderSig, javaHeader(1, 2, 3, 4)).devCode(), 19);
    doubles::reset();
    EXPECT_EQ(jvmtest::call(device_, "setTriggerHeader", kHeaderSig, nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

}  // namespace
