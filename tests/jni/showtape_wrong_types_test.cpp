// Show-file bridge against copies of the controller classes in which one
// field the bridge needs has another type, loaded through a class loader of
// their own, over the real show-file library. The bridge resolves fields on
// the object's class at every call, so each native that needs the field
// raises DevException 1 (never the VM's NoSuchFieldError) and leaves no file
// open behind the object's back. Each test needs a process of its own (see
// CMakeLists.txt).
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "showtape.h"
#include "showtape_fixture.h"

using namespace showtape_test;
namespace fs = std::filesystem;

namespace {

bool variantLoaded = false;

// Writes a show of `frames` one-channel frames straight through the library.
void writeShow(const std::string& path, int frames) {
    ShowtapeHandle handle{0, -1};
    ShowtapeHeader header{};
    header.constantFrameRate = 1;
    header.loopShow = 1;
    header.date = 1234;
    header.numberChannels = 1;
    header.totalFrames = frames;
    const DevChar name[] = {u'w', 0, 0};
    ASSERT_EQ(createShowtape(&handle, path.c_str(), name, &header, 0, 0), DevSuccess);
    uint8_t channel = 42;
    for (int n = 0; n < frames; ++n) {
        DMXFrame frame{1, 0, n, &channel};
        ASSERT_EQ(writeDMXFrame(&handle, &frame), DevSuccess);
    }
    ASSERT_EQ(closeShowtape(&handle), DevSuccess);
}

class WrongTypesTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        if (variantLoaded) GTEST_SKIP() << "one class-path copy per process: run each test with its own filter";
        variantLoaded = true;
        std::string pattern = (fs::temp_directory_path() / "jni-showtape-types-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        existing_ = (dir_ / "existing.dmx").string();
        writeShow(existing_, 1);
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    // Loads the copy of the package in the jar named by a system property.
    void loadVariant(const char* property) {
        jclass system = jvmtest::findClass("java/lang/System");
        auto path = jvmtest::callStatic(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;",
                                        jvmtest::newString(std::u16string(property, property + std::strlen(property))));
        ASSERT_NE(path.value.l, nullptr) << property;
        jclass loaderClass = jvmtest::findClass("com/lumivex/testsupport/RecordingClassLoader");
        jmethodID init = env_->GetMethodID(loaderClass, "<init>", "(Ljava/lang/String;)V");
        loader_ = env_->NewObject(loaderClass, init, path.value.l);
        ASSERT_FALSE(env_->ExceptionCheck());
        showtape_ = load("com.lumivex.controller.Showtape");
        headerClass_ = load("com.lumivex.controller.ShowtapeHeader");
        frameClass_ = load("com.lumivex.controller.DMXFrame");
        ASSERT_TRUE(showtape_ && headerClass_ && frameClass_);
        tape_ = {jvmtest::newObject(showtape_)};
    }

    jclass load(const char* name) {
        jclass classClass = jvmtest::findClass("java/lang/Class");
        const auto r = jvmtest::callStatic(classClass, "forName",
                                           "(Ljava/lang/String;ZLjava/lang/ClassLoader;)Ljava/lang/Class;",
                                           jvmtest::newString(std::u16string(name, name + std::strlen(name))),
                                           JNI_TRUE, loader_);
        EXPECT_FALSE(r.threw()) << name << ": " << r.describe();
        return static_cast<jclass>(r.value.l);
    }

    std::u16string path(const std::string& file) const {
        const std::string p = (dir_ / file).string();
        return std::u16string(p.begin(), p.end());
    }
    std::u16string existing() const { return std::u16string(existing_.begin(), existing_.end()); }
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    // Every call below must raise DevException 1, never the VM's own error.
    static void expectOne(const jvmtest::CallResult& r, const char* what) {
        EXPECT_EQ(r.devCode(), DevError) << what << ": " << r.describe();
    }

    fs::path dir_;
    std::string existing_;
    jobject loader_ = nullptr;
    jclass showtape_ = nullptr, headerClass_ = nullptr, frameClass_ = nullptr;
    ShowtapeObject tape_;
};

TEST_F(WrongTypesTest, AnIntFileHandleRaisesOneFromEveryInstanceNative) {
    loadVariant("lumivex.test.showtape_int_handle");
    jobject frame = javaFrame(1, 2, {3}, frameClass_);
    expectOne(tape_.open(existing(), javaHeader({}, headerClass_)), "open");
    expectOne(tape_.create(path("new.dmx"), u"n", javaHeader({}, headerClass_)), "create");
    expectOne(tape_.close(), "close");
    expectOne(tape_.rewind(), "rewind");
    expectOne(tape_.read(frame), "read");
    expectOne(tape_.write(frame), "write");
    EXPECT_EQ(filesInDir(), 1u) << "nothing was created";
    EXPECT_EQ(jvmtest::getInt(tape_.self, "fileHandle"), -1);
    const auto version = jvmtest::callStatic(showtape_, "getLibraryMajorRevision", "()I");
    EXPECT_FALSE(version.threw()) << "the version queries use no field";
    EXPECT_GE(version.value.i, 0);
}

// With versionNumber unresolvable the object could not record or close a
// file, so nothing is opened or created at all.
TEST_F(WrongTypesTest, ALongVersionNumberRaisesOneBeforeAnyFileIsOpened) {
    loadVariant("lumivex.test.showtape_long_version");
    jobject header = javaHeader(sentinelHeader(), headerClass_);
    expectOne(tape_.open(existing(), header), "open");
    EXPECT_EQ(headerValues(header), sentinelHeader());
    expectOne(tape_.create(path("new.dmx"), u"n", javaHeader({}, headerClass_)), "create");
    EXPECT_EQ(filesInDir(), 1u) << "no temporary file of an unfinished show";
    EXPECT_EQ(tape_.fileHandle(), -1);
    jobject frame = javaFrame(1, 2, {3}, frameClass_);
    expectOne(tape_.close(), "close");
    expectOne(tape_.rewind(), "rewind");
    expectOne(tape_.read(frame), "read");
    expectOne(tape_.write(frame), "write");
}

TEST_F(WrongTypesTest, AnIntDateRaisesOneAndAnOpenedFileStaysClosable) {
    loadVariant("lumivex.test.showtape_int_date");
    auto header = [&] {
        jobject h = jvmtest::newObject(headerClass_);
        jvmtest::setInt(h, "date", 77);
        jvmtest::setInt(h, "numberChannels", -78);
        jvmtest::setDouble(h, "frameRate", -7.5);
        return h;
    };
    expectOne(tape_.create(path("new.dmx"), u"n", header()), "create");
    EXPECT_EQ(filesInDir(), 1u) << "the library was not asked to create";
    EXPECT_EQ(tape_.fileHandle(), -1);

    // Open: the file is open before the header is filled; the fields before
    // date are set, the later ones untouched, and the object records the file.
    jobject h = header();
    expectOne(tape_.open(existing(), h), "open");
    EXPECT_NE(tape_.fileHandle(), -1);
    EXPECT_TRUE(jvmtest::getBool(h, "constantFrameRate"));
    EXPECT_TRUE(jvmtest::getBool(h, "loopShow"));
    EXPECT_EQ(jvmtest::getInt(h, "date"), 77);
    EXPECT_EQ(jvmtest::getInt(h, "numberChannels"), -78);
    EXPECT_EQ(jvmtest::getDouble(h, "frameRate"), -7.5);
    jobject frame = javaFrame(0, 0, {0}, frameClass_);
    const auto r = tape_.read(frame);
    EXPECT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(frameData(frame), std::vector<jint>{42});
    ASSERT_FALSE(tape_.close().threw());
    EXPECT_EQ(tape_.fileHandle(), -1);
}

TEST_F(WrongTypesTest, ALongTimeCodeRaisesOneFromFrameReadsAndWrites) {
    loadVariant("lumivex.test.showtape_long_timecode");
    auto frame = [&] {
        jobject f = jvmtest::newObject(frameClass_);
        jvmtest::setInt(f, "startCode", 5);
        jvmtest::setLong(f, "timeCode", 6);
        jvmtest::setObject(f, "dmxData", "[I", jvmtest::newIntArray({7, 8}));
        return f;
    };
    ASSERT_FALSE(tape_.create(path("new.dmx"), u"n", javaHeader({}, headerClass_)).threw());
    jobject written = frame();
    expectOne(tape_.write(written), "write");
    EXPECT_EQ(frameData(written), (std::vector<jint>{7, 8}));
    ASSERT_FALSE(tape_.close().threw()) << "a refused frame leaves the show closable";

    ASSERT_FALSE(tape_.open(existing(), javaHeader({}, headerClass_)).threw());
    jobject read = frame();
    expectOne(tape_.read(read), "read");
    EXPECT_EQ(jvmtest::getInt(read, "startCode"), 5) << "the frame is left as it was";
    EXPECT_EQ(jvmtest::getLong(read, "timeCode"), 6);
    EXPECT_EQ(frameData(read), (std::vector<jint>{7, 8}));
    ASSERT_FALSE(tape_.close().threw());
}

}  // namespace
