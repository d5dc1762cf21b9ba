// Lumidrive.initIDs and the identifier cache, against altered copies of the
// controller classes loaded through a recording class loader: a missing
// field fails class initialization with DevException 31 at the first row
// that cannot be resolved, and natives raise 31 until the cache is filled.
// Each test needs a process of its own (see CMakeLists.txt).
#include <algorithm>
#include <cstring>
#include <sstream>

#include "double_control.h"
#include "jvm_harness.h"

namespace {

// The record classes initIDs looks up, in its order.
const std::vector<std::string> kRecordClasses = {
    "com.lumivex.controller.DevEntry",         "com.lumivex.controller.DevInfo",
    "com.lumivex.controller.DevState",         "com.lumivex.controller.DMXFrame",
    "com.lumivex.controller.ShowtapeHeader",   "com.lumivex.controller.DevFileEntry",
    "com.lumivex.controller.DevTestWrite",     "com.lumivex.controller.DevTrigger",
    "com.lumivex.controller.DevTriggerAction", "com.lumivex.controller.DevTriggerHeader"};

bool variantLoaded = false;

class InitIdsTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        doubles::reset();
        if (variantLoaded) GTEST_SKIP() << "one class-path copy per process: run each test with its own filter";
        variantLoaded = true;
    }

    // A RecordingClassLoader over the jar named by a system property.
    jobject loaderFor(const char* property) {
        jclass system = jvmtest::findClass("java/lang/System");
        auto path = jvmtest::callStatic(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;",
                                        jvmtest::newString(std::u16string(property, property + std::strlen(property))));
        EXPECT_NE(path.value.l, nullptr) << property;
        jclass loaderClass = jvmtest::findClass("com/lumivex/testsupport/RecordingClassLoader");
        jmethodID init = env_->GetMethodID(loaderClass, "<init>", "(Ljava/lang/String;)V");
        jobject loader = env_->NewObject(loaderClass, init, path.value.l);
        EXPECT_FALSE(env_->ExceptionCheck());
        return loader;
    }

    // Class.forName(name, initialize, loader).
    jvmtest::CallResult forName(const char* name, jobject loader) {
        jclass classClass = jvmtest::findClass("java/lang/Class");
        return jvmtest::callStatic(classClass, "forName",
                                   "(Ljava/lang/String;ZLjava/lang/ClassLoader;)Ljava/lang/Class;",
                                   jvmtest::newString(std::u16string(name, name + std::strlen(name))), JNI_TRUE,
                                   loader);
    }

    // The record classes the loader was asked for, in order.
    std::vector<std::string> requestedRecordClasses(jobject loader) {
        const auto r = jvmtest::call(loader, "requested", "()Ljava/lang/String;");
        std::stringstream names(jvmtest::describe(r.value.l));
        std::vector<std::string> out;
        for (std::string name; std::getline(names, name, ',');)
            if (std::find(kRecordClasses.begin(), kRecordClasses.end(), name) != kRecordClasses.end())
                out.push_back(name);
        return out;
    }

    // Initializing Lumidrive must fail with DevException 31 as the cause.
    void expectInitFailure(jobject loader) {
        const auto r = forName("com.lumivex.controller.Lumidrive", loader);
        ASSERT_TRUE(r.threw()) << "Lumidrive initialized although a field is missing";
        EXPECT_EQ(r.thrownClass(), "java.lang.ExceptionInInitializerError") << r.describe();
        jthrowable cause = jvmtest::cause(r.thrown);
        EXPECT_EQ(jvmtest::devCode(cause), DevInitFailed) << "cause: " << jvmtest::describe(cause);
        EXPECT_TRUE(doubles::ops().empty()) << "the library is not called while initializing";
    }
};

TEST_F(InitIdsTest, MissingDevIdFailsAtTheFirstRow) {
    jobject loader = loaderFor("lumivex.test.no_devid");
    expectInitFailure(loader);
    EXPECT_TRUE(requestedRecordClasses(loader).empty()) << "no other class is looked up after devID";
}

TEST_F(InitIdsTest, MissingByte4FailsAtTheLastRow) {
    jobject loader = loaderFor("lumivex.test.no_byte4");
    expectInitFailure(loader);
    EXPECT_EQ(requestedRecordClasses(loader), kRecordClasses) << "every class is looked up, in order";
}

TEST_F(InitIdsTest, NativesRaise31UntilTheCacheIsFilled) {
    jobject loader = loaderFor("lumivex.test.no_initcall");
    const auto loaded = forName("com.lumivex.controller.Lumidrive", loader);
    ASSERT_FALSE(loaded.threw()) << loaded.describe();
    jclass lumidrive = static_cast<jclass>(loaded.value.l);
    jobject device = jvmtest::newObject(lumidrive);
    auto load = [&](const char* name) {
        return jvmtest::newObject(static_cast<jclass>(forName(name, loader).value.l));
    };
    jobject entry = load("com.lumivex.controller.DevEntry");
    jobject info = load("com.lumivex.controller.DevInfo");
    jobject state = load("com.lumivex.controller.DevState");
    jobject frame = load("com.lumivex.controller.DMXFrame");

    struct Case {
        const char* method;
        const char* signature;
        jobject argument;
        bool isStatic;
    };
    const Case cases[] = {
        {"getFirstDevice", "(Lcom/lumivex/controller/DevEntry;)I", entry, true},
        {"getNextDevice", "(Lcom/lumivex/controller/DevEntry;)I", entry, true},
        {"openDevice", "(Lcom/lumivex/controller/DevEntry;)V", entry, false},
        {"closeDevice", "()V", nullptr, false},
        {"getDeviceInfo", "(Lcom/lumivex/controller/DevInfo;)V", info, false},
        {"getDeviceState", "(Lcom/lumivex/controller/DevState;)V", state, false},
        {"startLivePlay", "()V", nullptr, false},
        {"sendFrame", "(Lcom/lumivex/controller/DMXFrame;)V", frame, false},
        {"stopLivePlay", "()V", nullptr, false},
    };
    for (const Case& c : cases) {
        const auto r = c.isStatic ? jvmtest::callStatic(lumidrive, c.method, c.signature, c.argument)
                                  : jvmtest::call(device, c.method, c.signature, c.argument);
        EXPECT_EQ(r.devCode(), DevInitFailed) << c.method << ": " << r.describe();
    }
    EXPECT_TRUE(doubles::ops().empty()) << "no library call on an empty cache";

    // Natives that use no Java field work without the cache.
    doubles::push("getLibraryMajorRevision", 6);
    EXPECT_EQ(jvmtest::callStatic(lumidrive, "getLibraryMajorRevision", "()I").value.i, 6);

    // Filling it, twice: nothing raised, and the natives work.
    for (int i = 0; i < 2; ++i) {
        const auto r = jvmtest::callStatic(lumidrive, "initIDs", "()V");
        EXPECT_FALSE(r.threw()) << "initIDs call " << i << ": " << r.describe();
    }
    DevEntry record{};
    record.deviceType = 3;
    doubles::setText(record.deviceName, u"filled");
    doubles::push("getFirstDevice", doubles::Reply::withRecord(DevSuccess, record));
    const auto r = jvmtest::callStatic(lumidrive, "getFirstDevice", "(Lcom/lumivex/controller/DevEntry;)I", entry);
    EXPECT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(r.value.i, 0);
    EXPECT_EQ(jvmtest::getString(entry, "deviceName"), u"filled");
    EXPECT_EQ(jvmtest::getInt(entry, "deviceType"), 3);
}

}  // namespace
