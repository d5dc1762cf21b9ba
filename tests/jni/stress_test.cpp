// Controller bridge under many Java threads, against the real controller
// simulator: threads sharing one Lumidrive object, and threads each on an
// object of their own uploading, reading back and deleting at the same time
// with listeners of their own. Any crash, JNI warning (-Xcheck:jni) or
// sanitizer report fails the test; the Java drivers report every wrong
// result, and each listener must hear its own delete's progress only.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "jvm_harness.h"
#include "lumidrive_sim.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLumidrive = "com/lumivex/controller/Lumidrive";
constexpr const char* kStress = "com/lumivex/testsupport/BridgeStress";
constexpr int kControllers = 6;

class StressTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumidrive-stress-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        for (int i = 1; i <= kControllers; ++i) {
            const fs::path folder = dir_ / ("rig-" + std::to_string(i));
            fs::create_directories(folder);
            std::ofstream(folder / "controller.ini")
                << "name = Rig " << i << "\ntype = 50\nnumber = " << i << "\ntotalSpace = 16M\n";
        }
        ASSERT_EQ(::setenv("LUMIDRIVE_SIM_DIR", dir_.c_str(), 1), 0);
        lumidriveSimReset();
        cls_ = jvmtest::findClass(kLumidrive);
        stress_ = jvmtest::findClass(kStress);
        ASSERT_NE(cls_, nullptr);
        ASSERT_NE(stress_, nullptr);
    }

    void TearDown() override {
        for (jobject device : opened_) jvmtest::call(device, "closeDevice", "()V");
        ::unsetenv("LUMIDRIVE_SIM_DIR");
        lumidriveSimReset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Opens every controller, each on a Lumidrive object of its own.
    std::vector<jobject> openAll() {
        std::vector<jobject> devices;
        const char* op = "getFirstDevice";
        for (int guard = 0; guard < 20; ++guard, op = "getNextDevice") {
            jobject entry = jvmtest::newObject("com/lumivex/controller/DevEntry");
            const auto r = jvmtest::callStatic(cls_, op, "(Lcom/lumivex/controller/DevEntry;)I", entry);
            if (r.threw() || r.value.i != 0) break;
            jobject device = jvmtest::newObject(cls_);
            const auto o = jvmtest::call(device, "openDevice", "(Lcom/lumivex/controller/DevEntry;)V", entry);
            EXPECT_FALSE(o.threw()) << o.describe();
            opened_.push_back(device);
            devices.push_back(device);
        }
        return devices;
    }

    fs::path dir_;
    jclass cls_ = nullptr;
    jclass stress_ = nullptr;
    std::vector<jobject> opened_;
};

TEST_F(StressTest, ThreadsOnObjectsOfTheirOwnUploadReadAndDeleteAtOnce) {
    const std::vector<jobject> devices = openAll();
    ASSERT_EQ(devices.size(), static_cast<std::size_t>(kControllers));
    const auto r = jvmtest::callStatic(stress_, "separateDevices", "([Lcom/lumivex/controller/Lumidrive;I)Ljava/lang/String;",
                                       jvmtest::newObjectArray(cls_, devices), jint{3});
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::describe(r.value.l), "");
}

TEST_F(StressTest, ManyThreadsShareOneObject) {
    const std::vector<jobject> devices = openAll();
    ASSERT_FALSE(devices.empty());
    // Something to list, and a trigger table to enumerate.
    jobject device = devices[0];
    for (const char16_t* name : {u"alpha", u"beta", u"gamma"}) {
        jobject header = jvmtest::newObject("com/lumivex/controller/ShowtapeHeader");
        ASSERT_FALSE(jvmtest::call(device, "createFile", "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;Z)V",
                                   jvmtest::newString(name), header, JNI_FALSE)
                         .threw());
        ASSERT_FALSE(jvmtest::call(device, "closeFile", "()V").threw());
    }
    ASSERT_FALSE(jvmtest::call(device, "createTriggers", "()V").threw());
    for (jint i = 0; i < 4; ++i) {
        jobject t = jvmtest::newObject("com/lumivex/controller/DevTrigger");
        jvmtest::setLong(t, "value", i);
        jobject a = jvmtest::newObject("com/lumivex/controller/DevTriggerAction");
        jvmtest::setString(a, "fileName", u"alpha");
        ASSERT_FALSE(jvmtest::call(device, "setTrigger",
                                   "(Lcom/lumivex/controller/DevTrigger;Lcom/lumivex/controller/DevTriggerAction;)V", t, a)
                         .threw());
    }
    ASSERT_FALSE(jvmtest::call(device, "closeTriggers", "()V").threw());

    const auto r = jvmtest::callStatic(stress_, "sharedDevice", "(Lcom/lumivex/controller/Lumidrive;II)Ljava/lang/String;",
                                       device, jint{8}, jint{40});
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::describe(r.value.l), "");
}

}  // namespace
