// Show-file bridge against the real show-file library: shows written from
// Java read back identical, the library's own codes reach Java unchanged,
// and several threads work on objects of their own at once.
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "showtape.h"
#include "showtape_fixture.h"

using namespace showtape_test;
namespace fs = std::filesystem;

namespace {

class RealShowtapeTest : public ShowtapeTest {
protected:
    void SetUp() override {
        ShowtapeTest::SetUp();
        std::string pattern = (fs::temp_directory_path() / "jni-showtape-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    // A path in the test's folder, as Java text (the folder is ASCII).
    std::u16string pathOf(const std::string& file) const {
        const std::string p = (dir_ / file).string();
        return std::u16string(p.begin(), p.end());
    }
    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path dir_;
};

struct FrameValues {
    jint startCode, timeCode;
    std::vector<jint> data;
};

// Frames of 0, 1, 512 and 2048 channels with edge values; channel values
// outside 0..255 are stored as their low 8 bits.
std::vector<FrameValues> edgeFrames() {
    std::vector<jint> wide = ramp(2048, 13);
    wide[0] = -1;
    wide[1] = 256;
    wide[2] = 300;
    wide[2047] = INT_MIN;
    return {
        {0, 0, {}},
        {INT_MIN, INT_MAX, {255}},
        {0x55, -1, ramp(512)},
        {-7, 40, wide},
        {1, 2, {0, 0, 0}},
    };
}

const HeaderValues kEdgeHeader{true,  false, INT64_MIN, u"Comment \u00e9 \U0001F3AD " + jvmtest::alphabet(200),
                               29.97, 2048,  -1,        u""};

TEST_F(RealShowtapeTest, AShowWrittenFromJavaReadsBackIdenticalAndAgainAfterARewind) {
    const std::u16string path = pathOf("edge.dmx");
    const std::u16string name = u"Demo \u00e9\u2713 " + jvmtest::alphabet(240);  // 248 units
    const auto frames = edgeFrames();

    ASSERT_FALSE(tape_.create(path, name, javaHeader(kEdgeHeader), 0, false).threw());
    EXPECT_NE(tape_.fileHandle(), -1);
    for (const FrameValues& f : frames) {
        const auto r = tape_.write(javaFrame(f.startCode, f.timeCode, f.data));
        ASSERT_FALSE(r.threw()) << f.data.size() << " channels: " << r.describe();
    }
    ASSERT_FALSE(tape_.close().threw());
    EXPECT_EQ(tape_.fileHandle(), -1);

    // The same object opens it again.
    jobject header = javaHeader(sentinelHeader());
    const auto opened = tape_.open(path, header);
    ASSERT_FALSE(opened.threw()) << opened.describe();
    EXPECT_EQ(jvmtest::units(static_cast<jstring>(opened.value.l)), name);
    EXPECT_EQ(headerValues(header), kEdgeHeader);

    for (int pass = 0; pass < 2; ++pass) {
        for (const FrameValues& f : frames) {
            jobject frame = javaFrame(99, 99, std::vector<jint>(f.data.size(), -5));
            const auto r = tape_.read(frame);
            ASSERT_FALSE(r.threw()) << "pass " << pass << ": " << r.describe();
            ASSERT_EQ(r.value.i, DevSuccess) << "pass " << pass;
            EXPECT_EQ(jvmtest::getInt(frame, "startCode"), f.startCode);
            EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), f.timeCode);
            EXPECT_EQ(frameData(frame), asBytes(f.data)) << "pass " << pass << ", " << f.data.size() << " channels";
        }
        jobject last = javaFrame(3, 4, {5});
        const auto end = tape_.read(last);
        ASSERT_FALSE(end.threw()) << end.describe();
        EXPECT_EQ(end.value.i, DevNoMoreData);
        EXPECT_EQ(frameData(last), std::vector<jint>{5}) << "the frame keeps its values at the end";
        EXPECT_EQ(jvmtest::getInt(last, "startCode"), 3);
        if (pass == 0) {
            ASSERT_FALSE(tape_.rewind().threw());
        }
    }
    ASSERT_FALSE(tape_.close().threw());
}

TEST_F(RealShowtapeTest, AReadIntoALongerArrayGivesZeroPastTheFramesChannels) {
    const std::u16string path = pathOf("short.dmx");
    ASSERT_FALSE(tape_.create(path, u"short", javaHeader({})).threw());
    ASSERT_FALSE(tape_.write(javaFrame(0, 0, {7, 8, 9})).threw());
    ASSERT_FALSE(tape_.write(javaFrame(0, 0, std::vector<jint>(2048, 200))).threw());
    ASSERT_FALSE(tape_.close().threw());

    jobject header = javaHeader({});
    ASSERT_FALSE(tape_.open(path, header).threw());
    jobject frame = javaFrame(0, 0, std::vector<jint>(2100, -1));
    ASSERT_FALSE(tape_.read(frame).threw());
    std::vector<jint> expected(2100, 0);
    expected[0] = 7;
    expected[1] = 8;
    expected[2] = 9;
    EXPECT_EQ(frameData(frame), expected);
    ASSERT_FALSE(tape_.read(frame).threw());
    expected.assign(2100, 0);
    std::fill(expected.begin(), expected.begin() + 2048, 200);
    EXPECT_EQ(frameData(frame), expected);
    ASSERT_FALSE(tape_.close().threw());
}

TEST_F(RealShowtapeTest, HeaderValuesSurviveTheTripIncludingCutTextsAndTheLowBitsOfTotalFrames) {
    struct Case {
        HeaderValues written;
        HeaderValues read;
    };
    const std::u16string longText = jvmtest::alphabet(600);
    const Case cases[] = {
        {{false, true, 0, longText, 0.5, 0, (jlong{1} << 32) + 1, longText},
         {false, true, 0, jvmtest::alphabet(255), 0.5, 0, 1, jvmtest::alphabet(255)}},
        {{true, true, INT64_MAX, u"", -1e300, INT_MIN, 0x80000000LL, jvmtest::alphabet(256)},
         {true, true, INT64_MAX, u"", -1e300, INT_MIN, INT32_MIN, jvmtest::alphabet(255)}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::u16string path = pathOf("header" + std::to_string(n++) + ".dmx");
        const ShowtapeObject tape = newTape();
        const auto created = tape.create(path, u"h", javaHeader(c.written));
        ASSERT_FALSE(created.threw()) << created.describe();
        ASSERT_FALSE(tape.close().threw());
        jobject header = javaHeader(sentinelHeader());
        ASSERT_FALSE(tape.open(path, header).threw());
        EXPECT_EQ(headerValues(header), c.read);
        ASSERT_FALSE(tape.close().threw());
    }
}

TEST_F(RealShowtapeTest, TheLibrarysOwnCodesReachJavaUnchanged) {
    jobject header = javaHeader(sentinelHeader());
    EXPECT_EQ(tape_.open(pathOf("missing.dmx"), header).devCode(), DevFileNotFound);
    EXPECT_EQ(headerValues(header), sentinelHeader());
    EXPECT_EQ(tape_.create(pathOf("no-such-folder/a.dmx"), u"a", javaHeader({})).devCode(), DevFileNotFound);
    EXPECT_EQ(tape_.create(pathOf("a.dmx"), jvmtest::alphabet(256), javaHeader({})).devCode(), DevInvalidName)
        << "the name goes whole: the library refuses it";
    EXPECT_EQ(tape_.create(pathOf("a.dmx"), u"a", javaHeader({}), 9).devCode(), DevBadFormat);
    EXPECT_EQ(tape_.fileHandle(), -1);

    ASSERT_FALSE(tape_.create(pathOf("a.dmx"), u"a", javaHeader({})).threw());
    EXPECT_EQ(tape_.write(javaFrame(0, 0, std::vector<jint>(2049, 1))).devCode(), DevFrameTooLarge);
    EXPECT_EQ(tape_.read(javaFrame(0, 0, {})).devCode(), DevWrongState);
    EXPECT_EQ(tape_.rewind().devCode(), DevWrongState);
    ASSERT_FALSE(tape_.write(javaFrame(0, 0, {1})).threw()) << "a refused frame changes nothing";
    ASSERT_FALSE(tape_.close().threw());

    // A file exists now: replacing it must be asked for.
    EXPECT_EQ(tape_.create(pathOf("a.dmx"), u"b", javaHeader({}), 1, false).devCode(), DevFileExists);
    ASSERT_FALSE(tape_.create(pathOf("a.dmx"), u"b", javaHeader({}), 1, true).threw());
    EXPECT_EQ(tape_.write(nullptr).devCode(), DevError);
    ASSERT_FALSE(tape_.close().threw());
    EXPECT_EQ(jvmtest::units(static_cast<jstring>(tape_.open(pathOf("a.dmx"), header).value.l)), u"b");
    EXPECT_EQ(tape_.read(javaFrame(0, 0, {})).value.i, DevNoMoreData);
    ASSERT_FALSE(tape_.close().threw());
}

TEST_F(RealShowtapeTest, VersionQueriesReportTheLibrarysVersion) {
    int32_t major = -1, minor = -1, build = -1;
    ASSERT_EQ(getLibraryVersion(&major, &minor, &build), DevSuccess);
    EXPECT_EQ(jvmtest::callStatic(showtapeClass_, "getLibraryMajorRevision", "()I").value.i, major);
    EXPECT_EQ(jvmtest::callStatic(showtapeClass_, "getLibraryMinorRevision", "()I").value.i, minor);
    EXPECT_EQ(jvmtest::callStatic(showtapeClass_, "getLibraryBuildRevision", "()I").value.i, build);
}

TEST_F(RealShowtapeTest, SeveralThreadsEachWithItsOwnObjectWriteAndReadAtOnce) {
    // Java threads, each with a Showtape object of its own, write a show of
    // their own, read it back, rewind and read its first frame again.
    jclass threads = jvmtest::findClass("com/lumivex/testsupport/ShowtapeThreads");
    ASSERT_NE(threads, nullptr);
    const std::string dir = dir_.string();
    const auto r = jvmtest::callStatic(threads, "run", "(Ljava/lang/String;II)Ljava/lang/String;",
                                       jvmtest::newString(std::u16string(dir.begin(), dir.end())), 6, 150);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::units(static_cast<jstring>(r.value.l)), u"");
    EXPECT_EQ(filesInDir().size(), 6u) << "one complete show per thread, no temporary left";
}

}  // namespace
