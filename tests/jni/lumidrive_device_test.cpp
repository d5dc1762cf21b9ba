// Controller bridge, discovery and access: revisions, capability queries,
// enumeration, open/close, device information and state, against the
// scripted controller-library double.
#include <climits>

#include "lumidrive_fixture.h"

using namespace lumidrive_test;
using doubles::Reply;

namespace {

constexpr const char* kEntrySig = "(Lcom/lumivex/controller/DevEntry;)I";
constexpr const char* kOpenSig = "(Lcom/lumivex/controller/DevEntry;)V";
constexpr const char* kInfoSig = "(Lcom/lumivex/controller/DevInfo;)V";
constexpr const char* kStateSig = "(Lcom/lumivex/controller/DevState;)V";

DevEntry entryRecord(int32_t type, const std::u16string& port, int32_t classes, int32_t number,
                     const std::u16string& name) {
    DevEntry e{};
    e.deviceType = type;
    putText(e.devicePort, port);
    e.deviceClasses = classes;
    e.deviceNumber = number;
    putText(e.deviceName, name);
    return e;
}

class DeviceTest : public LumidriveTest {
protected:
    jobject javaEntry(jint type, const std::optional<std::u16string>& port, jint classes, jint number,
                      const std::optional<std::u16string>& name) {
        jobject entry = jvmtest::newObject(kDevEntry);
        jvmtest::setInt(entry, "deviceType", type);
        jvmtest::setString(entry, "devicePort", port);
        jvmtest::setInt(entry, "deviceClasses", classes);
        jvmtest::setInt(entry, "deviceNumber", number);
        jvmtest::setString(entry, "deviceName", name);
        return entry;
    }

    // An entry whose every field holds a value no library reply uses.
    jobject sentinelEntry() { return javaEntry(-77, u"old port", -78, -79, u"old name"); }

    void expectSentinelEntry(jobject entry) {
        EXPECT_EQ(jvmtest::getInt(entry, "deviceType"), -77);
        EXPECT_EQ(jvmtest::getString(entry, "devicePort"), u"old port");
        EXPECT_EQ(jvmtest::getInt(entry, "deviceClasses"), -78);
        EXPECT_EQ(jvmtest::getInt(entry, "deviceNumber"), -79);
        EXPECT_EQ(jvmtest::getString(entry, "deviceName"), u"old name");
    }

    jvmtest::CallResult open(jobject entry) { return jvmtest::call(device_, "openDevice", kOpenSig, entry); }
};

TEST_F(DeviceTest, RevisionsAreTheLibraryValuesUnchanged) {
    const std::pair<const char*, DevReturn> cases[] = {
        {"getLibraryMajorRevision", 3}, {"getLibraryMinorRevision", -1}, {"getLibraryBuildRevision", INT_MAX}};
    for (auto [op, value] : cases) {
        doubles::push(op, value);
        const auto r = jvmtest::callStatic(lumidriveClass_, op, "()I");
        EXPECT_FALSE(r.threw()) << op << ": " << r.describe();
        EXPECT_EQ(r.value.i, value) << op;
    }
    EXPECT_EQ(doubles::ops().size(), 3u);
}

TEST_F(DeviceTest, CapabilityQueriesPassTheClassesAndReadAnyNonzeroByteAsTrue) {
    struct Case {
        jint classes;
        DevReturn byte;
        bool expected;
    };
    const Case cases[] = {{0x04, 0, false}, {-1, 1, true}, {INT_MAX, 2, true}, {0, 255, true}, {INT_MIN, 0x100, false}};
    for (const char* op : {"supportsLivePlay", "supportsPlayBackControl", "supportsPlayBackConfig", "supportsRecord"}) {
        for (const Case& c : cases) {
            doubles::reset();
            doubles::push(op, c.byte);
            const auto r = jvmtest::callStatic(lumidriveClass_, op, "(I)Z", c.classes);
            EXPECT_FALSE(r.threw()) << op << ": " << r.describe();
            EXPECT_EQ(r.value.z != JNI_FALSE, c.expected) << op << " byte " << c.byte;
            ASSERT_EQ(doubles::callsOf(op).size(), 1u) << op;
            EXPECT_EQ(doubles::callsOf(op)[0].number, c.classes) << op;
        }
    }
}

TEST_F(DeviceTest, EnumerationCopiesTheEntryIntoJava) {
    const std::u16string name = u"Stage \u00e9 \U0001F3AD";  // non-ASCII and a surrogate pair pass unchanged
    for (const char* op : {"getFirstDevice", "getNextDevice"}) {
        doubles::reset();
        doubles::push(op, Reply::withRecord(DevSuccess, entryRecord(7, u"usb:1-2", 0x0F, -3, name)));
        jobject entry = sentinelEntry();
        const auto r = jvmtest::callStatic(lumidriveClass_, op, kEntrySig, entry);
        ASSERT_FALSE(r.threw()) << op << ": " << r.describe();
        EXPECT_EQ(r.value.i, 0) << op;
        EXPECT_EQ(jvmtest::getInt(entry, "deviceType"), 7);
        EXPECT_EQ(jvmtest::getString(entry, "devicePort"), u"usb:1-2");
        EXPECT_EQ(jvmtest::getInt(entry, "deviceClasses"), 0x0F);
        EXPECT_EQ(jvmtest::getInt(entry, "deviceNumber"), -3);
        EXPECT_EQ(jvmtest::getString(entry, "deviceName"), name);
    }
}

TEST_F(DeviceTest, EnumerationTextsEndAtTheFirstZeroUnitAndNeverLeaveTheField) {
    DevEntry record = entryRecord(1, u"", 0, 0, u"abc");
    record.deviceName[4] = u'x';  // after the zero unit: not part of the name
    std::fill(std::begin(record.devicePort), std::end(record.devicePort), u'p');  // no zero unit at all
    doubles::push("getFirstDevice", Reply::withRecord(DevSuccess, record));
    jobject entry = sentinelEntry();
    const auto r = jvmtest::callStatic(lumidriveClass_, "getFirstDevice", kEntrySig, entry);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::getString(entry, "deviceName"), u"abc");
    EXPECT_EQ(jvmtest::getString(entry, "devicePort"), jvmtest::repeat(u'p', DEV_TEXT_UNITS));

    doubles::push("getNextDevice", Reply::withRecord(DevSuccess, entryRecord(1, u"", 0, 0, u"")));
    ASSERT_FALSE(jvmtest::callStatic(lumidriveClass_, "getNextDevice", kEntrySig, entry).threw());
    EXPECT_EQ(jvmtest::getString(entry, "deviceName"), u"");
    EXPECT_EQ(jvmtest::getString(entry, "devicePort"), u"");
}

TEST_F(DeviceTest, EnumerationReturnsTwoButRaisesEveryOtherFailureAndLeavesTheEntryAlone) {
    struct Case {
        const char* op;
        DevReturn code;
        std::optional<jint> raised;  // nullopt: returned as the result instead
    };
    const Case cases[] = {{"getFirstDevice", DevNoMoreData, std::nullopt},
                          {"getNextDevice", DevNoMoreData, std::nullopt},
                          {"getFirstDevice", 5, 5},
                          {"getNextDevice", 9, 9},
                          {"getFirstDevice", DevError, DevError},
                          {"getNextDevice", -4, -4}};
    for (const Case& c : cases) {
        doubles::reset();
        // The double writes the record whatever the code: the bridge must not copy it.
        doubles::push(c.op, Reply::withRecord(c.code, entryRecord(1, u"new port", 2, 3, u"new name")));
        jobject entry = sentinelEntry();
        const auto r = jvmtest::callStatic(lumidriveClass_, c.op, kEntrySig, entry);
        if (c.raised) {
            EXPECT_EQ(r.devCode(), c.raised) << c.op << " " << c.code << ": " << r.describe();
        } else {
            EXPECT_FALSE(r.threw()) << c.op << ": " << r.describe();
            EXPECT_EQ(r.value.i, c.code) << c.op;
        }
        expectSentinelEntry(entry);
    }
}

TEST_F(DeviceTest, EnumerationIntoANullEntryRaisesOneWithoutAdvancing) {
    for (const char* op : {"getFirstDevice", "getNextDevice"}) {
        doubles::reset();
        const auto r = jvmtest::callStatic(lumidriveClass_, op, kEntrySig, nullptr);
        EXPECT_EQ(r.devCode(), DevError) << op << ": " << r.describe();
        EXPECT_TRUE(doubles::ops().empty()) << op;
    }
}

TEST_F(DeviceTest, OpenDevicePassesTheEntryAndStoresTheHandle) {
    doubles::push("openDevice", [] {
        Reply reply;
        reply.number = 42;
        return reply;
    }());
    const auto r = open(javaEntry(7, u"COM3", 0x0F, 2, u"Stage left"));
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(devID(), 42);
    const auto calls = doubles::callsOf("openDevice");
    ASSERT_EQ(calls.size(), 1u);
    const auto record = calls[0].recordAs<DevEntry>();
    EXPECT_EQ(record.deviceType, 7);
    EXPECT_EQ(record.deviceClasses, 0x0F);
    EXPECT_EQ(record.deviceNumber, 2);
    // A short text is followed by zero units up to the end of its field.
    EXPECT_EQ(wholeField(record.devicePort), fieldOf(u"COM3"));
    EXPECT_EQ(wholeField(record.deviceName), fieldOf(u"Stage left"));
}

TEST_F(DeviceTest, OpenDeviceCutsLongTextsSoTheFieldKeepsItsZeroUnit) {
    struct Case {
        std::u16string text;
        std::u16string stored;
    };
    const Case cases[] = {
        {u"", u""},
        {jvmtest::alphabet(254), jvmtest::alphabet(254)},
        {jvmtest::alphabet(255), jvmtest::alphabet(255)},
        {jvmtest::alphabet(256), jvmtest::alphabet(255)},
        {jvmtest::alphabet(4000), jvmtest::alphabet(255)},
        {std::u16string(u"ab\0cd", 5), u"ab"},
    };
    for (const Case& c : cases) {
        doubles::reset();
        const std::u16string other = u"x" + jvmtest::alphabet(c.text.size() % 7);
        const auto r = open(javaEntry(0, c.text, 0, 0, other));
        ASSERT_FALSE(r.threw()) << c.text.size() << " units: " << r.describe();
        const auto calls = doubles::callsOf("openDevice");
        ASSERT_EQ(calls.size(), 1u);
        const auto record = calls[0].recordAs<DevEntry>();
        EXPECT_EQ(wholeField(record.devicePort), fieldOf(c.stored)) << c.text.size() << " units";
        EXPECT_EQ(wholeField(record.deviceName), fieldOf(other));
        openAs(-1);  // the double's default reply names no handle, but be explicit
    }
}

TEST_F(DeviceTest, OpenDeviceOnAnObjectWithADeviceRaisesOneAndLeavesTheLibraryAlone) {
    openAs(42);
    const auto r = open(javaEntry(1, u"p", 1, 1, u"n"));
    EXPECT_EQ(r.devCode(), DevError) << r.describe();
    EXPECT_EQ(devID(), 42);
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(DeviceTest, OpenDeviceFailureRaisesTheLibraryCodeAndOpensNothing) {
    Reply reply;
    reply.code = 5;
    reply.number = 99;  // written by the double despite the failure: must not reach devID
    doubles::push("openDevice", reply);
    const auto r = open(javaEntry(1, u"p", 1, 1, u"n"));
    EXPECT_EQ(r.devCode(), 5) << r.describe();
    EXPECT_EQ(devID(), -1);
}

TEST_F(DeviceTest, OpenDeviceWithANullEntryOrTextRaisesOneWithoutCallingTheLibrary) {
    const std::pair<const char*, jobject> cases[] = {
        {"null entry", nullptr},
        {"null port", javaEntry(1, std::nullopt, 1, 1, u"n")},
        {"null name", javaEntry(1, u"p", 1, 1, std::nullopt)},
    };
    for (auto [label, entry] : cases) {
        const auto r = open(entry);
        EXPECT_EQ(r.devCode(), DevError) << label << ": " << r.describe();
        EXPECT_EQ(devID(), -1) << label;
    }
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(DeviceTest, CloseDeviceForgetsTheHandleOnlyWhenTheLibraryClosedIt) {
    openAs(42);
    doubles::push("closeDevice", 4);
    auto r = jvmtest::call(device_, "closeDevice", "()V");
    EXPECT_EQ(r.devCode(), 4) << r.describe();
    EXPECT_EQ(devID(), 42) << "a failed close leaves the object open";
    r = open(javaEntry(1, u"p", 1, 1, u"n"));
    EXPECT_EQ(r.devCode(), DevError) << "so a new open is refused: " << r.describe();

    r = jvmtest::call(device_, "closeDevice", "()V");
    EXPECT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(devID(), -1);
    EXPECT_EQ(doubles::ops(), (std::vector<std::string>{"closeDevice", "closeDevice"}));
    for (const auto& call : doubles::calls()) EXPECT_EQ(call.handle, 42);
}

TEST_F(DeviceTest, CloseDeviceWithNoDevicePassesMinusOneToTheLibrary) {
    auto r = jvmtest::call(device_, "closeDevice", "()V");
    EXPECT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(devID(), -1);
    ASSERT_EQ(doubles::calls().size(), 1u);
    EXPECT_EQ(doubles::calls()[0].handle, -1);

    doubles::push("closeDevice", 4);
    r = jvmtest::call(device_, "closeDevice", "()V");
    EXPECT_EQ(r.devCode(), 4) << r.describe();
}

TEST_F(DeviceTest, DeviceInfoCrossesFieldByField) {
    DevInfo info{};
    putText(info.revision, u"rev 2.1 \u00e9");
    info.numberLivePlayChannels = 512;
    info.numberPlaybackChannels = -1024;
    info.canPlaybackCompress = 2;  // any nonzero byte is true
    info.numberPlaybackTriggers = 8;
    info.totalSpace = 5'000'000'000LL;  // needs all 64 bits
    info.maxNumberShows = 99;
    info.canReadFiles = 0;
    info.canListFiles = 1;
    info.hasTriggerHeader = 0xFF;
    info.minFrameRate = 0.125;
    doubles::push("getDeviceInfo", Reply::withRecord(DevSuccess, info));
    openAs(17);
    jobject target = jvmtest::newObject(kDevInfo);
    jvmtest::setBool(target, "canReadFiles", true);
    const auto r = jvmtest::call(device_, "getDeviceInfo", kInfoSig, target);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(doubles::calls().at(0).handle, 17);
    EXPECT_EQ(jvmtest::getString(target, "revision"), u"rev 2.1 \u00e9");
    EXPECT_EQ(jvmtest::getInt(target, "numberLivePlayChannels"), 512);
    EXPECT_EQ(jvmtest::getInt(target, "numberPlaybackChannels"), -1024);
    EXPECT_TRUE(jvmtest::getBool(target, "canPlaybackCompress"));
    EXPECT_EQ(jvmtest::getInt(target, "numberPlaybackTriggers"), 8);
    EXPECT_EQ(jvmtest::getLong(target, "totalSpace"), 5'000'000'000LL);
    EXPECT_EQ(jvmtest::getInt(target, "maxNumberShows"), 99);
    EXPECT_FALSE(jvmtest::getBool(target, "canReadFiles"));
    EXPECT_TRUE(jvmtest::getBool(target, "canListFiles"));
    EXPECT_TRUE(jvmtest::getBool(target, "hasTriggerHeader"));
    EXPECT_EQ(jvmtest::getDouble(target, "minFrameRate"), 0.125);
}

TEST_F(DeviceTest, DeviceInfoFailureLeavesEveryFieldAsItWas) {
    DevInfo info{};
    putText(info.revision, u"new");
    info.numberLivePlayChannels = 1;
    info.totalSpace = 1;
    info.canListFiles = 1;
    info.minFrameRate = 1.0;
    doubles::push("getDeviceInfo", Reply::withRecord(3, info));
    jobject target = jvmtest::newObject(kDevInfo);
    jvmtest::setString(target, "revision", u"old");
    jvmtest::setInt(target, "numberLivePlayChannels", -5);
    jvmtest::setLong(target, "totalSpace", -6);
    jvmtest::setDouble(target, "minFrameRate", -7.5);
    const auto r = jvmtest::call(device_, "getDeviceInfo", kInfoSig, target);
    EXPECT_EQ(r.devCode(), 3) << r.describe();
    EXPECT_EQ(doubles::calls().at(0).handle, -1) << "no device open: -1 goes to the library";
    EXPECT_EQ(jvmtest::getString(target, "revision"), u"old");
    EXPECT_EQ(jvmtest::getInt(target, "numberLivePlayChannels"), -5);
    EXPECT_EQ(jvmtest::getLong(target, "totalSpace"), -6);
    EXPECT_FALSE(jvmtest::getBool(target, "canListFiles"));
    EXPECT_EQ(jvmtest::getDouble(target, "minFrameRate"), -7.5);
}

TEST_F(DeviceTest, DeviceStateIsTheLibraryValueUnchanged) {
    Reply reply;
    reply.number = 4;
    doubles::push("getDeviceState", reply);
    openAs(3);
    jobject state = jvmtest::newObject(kDevState);
    const auto r = jvmtest::call(device_, "getDeviceState", kStateSig, state);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::getInt(state, "state"), 4);
    EXPECT_EQ(doubles::calls().at(0).handle, 3);
}

TEST_F(DeviceTest, DeviceStateFailureLeavesTheStateAsItWas) {
    Reply reply;
    reply.code = 4;
    reply.number = 1;
    doubles::push("getDeviceState", reply);
    jobject state = jvmtest::newObject(kDevState);
    jvmtest::setInt(state, "state", -9);
    const auto r = jvmtest::call(device_, "getDeviceState", kStateSig, state);
    EXPECT_EQ(r.devCode(), 4) << r.describe();
    EXPECT_EQ(jvmtest::getInt(state, "state"), -9);
}

TEST_F(DeviceTest, NullOutputObjectsRaiseOneWithoutCallingTheLibrary) {
    openAs(3);
    EXPECT_EQ(jvmtest::call(device_, "getDeviceInfo", kInfoSig, nullptr).devCode(), DevError);
    EXPECT_EQ(jvmtest::call(device_, "getDeviceState", kStateSig, nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

}  // namespace
