// Controller bridge, show upload and test upload: the header and frame-batch
// conversions of createFile / writeFrames and their test twins, the verdict
// of closeTestFile, and the codes raised, against the scripted double.
#include <malloc.h>

#include <climits>
#include <cstdint>

#include "lumidrive_fixture.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UPLOAD_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define UPLOAD_TEST_ASAN 1
#endif
#ifdef UPLOAD_TEST_ASAN
#include <sanitizer/allocator_interface.h>
#endif

using namespace lumidrive_test;
using doubles::Reply;

namespace {

constexpr const char* kShowtapeHeader = "com/lumivex/controller/ShowtapeHeader";
constexpr const char* kDevTestWrite = "com/lumivex/controller/DevTestWrite";
constexpr const char* kCreateSig = "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;Z)V";
constexpr const char* kWriteSig = "([Lcom/lumivex/controller/DMXFrame;)V";
constexpr const char* kCloseTestSig = "(Lcom/lumivex/controller/DevTestWrite;)V";

// The two upload flavours: same conversions, different library operations.
struct Flavour {
    const char* create;
    const char* write;
};
constexpr Flavour kFlavours[] = {{"createFile", "writeFrames"}, {"createTestFile", "writeTestFrames"}};

// Bytes of C heap in use by the whole process (the VM's threads included).
std::int64_t heapInUse() {
#ifdef UPLOAD_TEST_ASAN
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = mallinfo2();
    return static_cast<std::int64_t>(m.uordblks + m.hblkhd);
#endif
}

struct JavaHeader {
    bool constantFrameRate = true;
    bool loopShow = false;
    jlong date = 0;
    std::optional<std::u16string> commentField = u"";
    double frameRate = 25.0;
    jint numberChannels = 512;
    jlong totalFrames = 0;
    std::optional<std::u16string> effectSignature = u"";
};

class UploadTest : public LumidriveTest {
protected:
    jobject javaHeader(const JavaHeader& h) {
        jobject header = jvmtest::newObject(kShowtapeHeader);
        jvmtest::setBool(header, "constantFrameRate", h.constantFrameRate);
        jvmtest::setBool(header, "loopShow", h.loopShow);
        jvmtest::setLong(header, "date", h.date);
        jvmtest::setString(header, "commentField", h.commentField);
        jvmtest::setDouble(header, "frameRate", h.frameRate);
        jvmtest::setInt(header, "numberChannels", h.numberChannels);
        jvmtest::setLong(header, "totalFrames", h.totalFrames);
        jvmtest::setString(header, "effectSignature", h.effectSignature);
        return header;
    }

    jobject javaFrame(jint startCode, jint timeCode, const std::optional<std::vector<jint>>& data) {
        jobject frame = jvmtest::newObject(kDMXFrame);
        jvmtest::setInt(frame, "startCode", startCode);
        jvmtest::setInt(frame, "timeCode", timeCode);
        jvmtest::setObject(frame, "dmxData", "[I", data ? jvmtest::newIntArray(*data) : nullptr);
        return frame;
    }

    jobjectArray batch(const std::vector<jobject>& frames) {
        return jvmtest::newObjectArray(jvmtest::findClass(kDMXFrame), frames);
    }

    jvmtest::CallResult create(const char* op, const std::optional<std::u16string>& name, jobject header,
                               bool overwrite) {
        jstring s = name ? jvmtest::newString(*name) : nullptr;
        return jvmtest::call(device_, op, kCreateSig, s, header, overwrite ? JNI_TRUE : JNI_FALSE);
    }

    jvmtest::CallResult write(const char* op, jobjectArray frames) {
        return jvmtest::call(device_, op, kWriteSig, frames);
    }
};

TEST_F(UploadTest, CreateConvertsTheHeaderFieldByFieldAndPassesTheNameWhole) {
    struct Case {
        const char* label;
        JavaHeader in;
        bool overwrite;
        std::u16string name;
        // What the record must hold.
        DevBool constantFrameRate, loopShow;
        int32_t totalFrames;
    };
    JavaHeader big;
    big.constantFrameRate = false;
    big.loopShow = true;
    big.date = INT64_MIN + 3;
    big.commentField = u"ten chars!";
    big.frameRate = -0.125;
    big.numberChannels = INT_MIN;
    big.totalFrames = (jlong{1} << 32) + 5;
    big.effectSignature = jvmtest::alphabet(300);
    JavaHeader negative;
    negative.totalFrames = -1;
    negative.date = -1;
    negative.commentField = jvmtest::alphabet(255);
    JavaHeader highBit;
    highBit.totalFrames = jlong{1} << 31;
    highBit.loopShow = true;
    const Case cases[] = {
        {"long texts cut, totalFrames 2^32+5 gives 5", big, true, jvmtest::alphabet(700), 0, 1, 5},
        {"totalFrames -1 stays -1", negative, false, u"", 1, 0, -1},
        {"totalFrames 2^31 wraps to INT_MIN", highBit, true, u"show.dmx", 1, 1, INT_MIN},
    };
    for (const Flavour& flavour : kFlavours) {
        for (const Case& c : cases) {
            doubles::reset();
            openAs(21);
            const auto r = create(flavour.create, c.name, javaHeader(c.in), c.overwrite);
            ASSERT_FALSE(r.threw()) << flavour.create << " " << c.label << ": " << r.describe();
            const auto calls = doubles::callsOf(flavour.create);
            ASSERT_EQ(calls.size(), 1u) << c.label;
            EXPECT_EQ(calls[0].handle, 21);
            EXPECT_EQ(calls[0].text, c.name) << "the name goes whole: " << c.label;
            EXPECT_EQ(calls[0].flag, c.overwrite ? 1 : 0) << c.label;
            const auto h = calls[0].recordAs<ShowtapeHeader>();
            EXPECT_EQ(h.constantFrameRate, c.constantFrameRate) << c.label;
            EXPECT_EQ(h.loopShow, c.loopShow) << c.label;
            EXPECT_EQ(h.date, c.in.date) << c.label;
            EXPECT_EQ(h.frameRate, c.in.frameRate) << c.label;
            EXPECT_EQ(h.numberChannels, c.in.numberChannels) << c.label;
            EXPECT_EQ(h.totalFrames, c.totalFrames) << c.label;
            EXPECT_EQ(wholeField(h.commentField), fieldOf(*c.in.commentField)) << c.label;
            EXPECT_EQ(wholeField(h.effectSignature), fieldOf(*c.in.effectSignature)) << c.label;
        }
    }
}

TEST_F(UploadTest, CreateRaisesTheLibraryCodeAndLeavesTheJavaHeaderAlone) {
    for (const Flavour& flavour : kFlavours) {
        doubles::reset();
        doubles::push(flavour.create, 4);
        JavaHeader in;
        in.commentField = u"kept";
        in.totalFrames = (jlong{7} << 32) + 9;
        jobject header = javaHeader(in);
        const auto r = create(flavour.create, u"name", header, false);
        EXPECT_EQ(r.devCode(), 4) << flavour.create << ": " << r.describe();
        EXPECT_EQ(jvmtest::getLong(header, "totalFrames"), (jlong{7} << 32) + 9);
        EXPECT_EQ(jvmtest::getString(header, "commentField"), u"kept");
    }
}

TEST_F(UploadTest, CreateWithANullNameHeaderOrHeaderTextRaisesOneWithoutCallingTheLibrary) {
    for (const Flavour& flavour : kFlavours) {
        doubles::reset();
        JavaHeader noComment;
        noComment.commentField = std::nullopt;
        JavaHeader noSignature;
        noSignature.effectSignature = std::nullopt;
        EXPECT_EQ(create(flavour.create, std::nullopt, javaHeader({}), true).devCode(), DevError);
        EXPECT_EQ(create(flavour.create, u"a", nullptr, true).devCode(), DevError);
        EXPECT_EQ(create(flavour.create, u"a", javaHeader(noComment), true).devCode(), DevError);
        EXPECT_EQ(create(flavour.create, u"a", javaHeader(noSignature), true).devCode(), DevError);
        EXPECT_TRUE(doubles::ops().empty()) << flavour.create;
    }
}

TEST_F(UploadTest, WriteHandsTheLibraryOneRecordPerFrameInOrder) {
    for (const Flavour& flavour : kFlavours) {
        doubles::reset();
        openAs(6);
        std::vector<jint> wide(600);
        for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<jint>(i);
        jobjectArray frames = batch({javaFrame(0, -1, std::vector<jint>{256, 511, -1, 300, 255}),
                                     javaFrame(INT_MIN, INT_MAX, std::vector<jint>{}), javaFrame(0xCC, 40, wide)});
        ASSERT_FALSE(write(flavour.write, frames).threw()) << flavour.write;
        const auto calls = doubles::callsOf(flavour.write);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].handle, 6);
        EXPECT_EQ(calls[0].number, 3) << "the count";
        ASSERT_EQ(calls[0].frames.size(), 3u);
        const auto& f = calls[0].frames;
        EXPECT_EQ(f[0].channelCount, 5);
        EXPECT_EQ(f[0].timeCode, -1);
        EXPECT_EQ(f[0].data, (std::vector<uint8_t>{0, 255, 255, 44, 255})) << "values cut to their low 8 bits";
        EXPECT_EQ(f[1].channelCount, 0) << "an empty dmxData";
        EXPECT_EQ(f[1].startCode, INT_MIN);
        EXPECT_EQ(f[1].timeCode, INT_MAX);
        EXPECT_FALSE(f[1].dataWasNull);
        EXPECT_EQ(f[2].channelCount, 600) << "no cap at 512";
        EXPECT_EQ(f[2].startCode, 0xCC);
        for (std::size_t i = 0; i < 600; ++i) ASSERT_EQ(f[2].data[i], static_cast<uint8_t>(i)) << i;
        EXPECT_EQ(jvmtest::values(static_cast<jintArray>(
                      jvmtest::getObject(env_->GetObjectArrayElement(frames, 0), "dmxData", "[I"))),
                  (std::vector<jint>{256, 511, -1, 300, 255}))
            << "the Java frames keep their values";
    }
}

TEST_F(UploadTest, AnEmptyBatchReachesTheLibraryWithCountZero) {
    for (const Flavour& flavour : kFlavours) {
        doubles::reset();
        ASSERT_FALSE(write(flavour.write, batch({})).threw()) << flavour.write;
        const auto calls = doubles::callsOf(flavour.write);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].number, 0);
        EXPECT_FALSE(calls[0].outWasNull) << "a valid, empty record array";
    }
}

TEST_F(UploadTest, ABadElementStopsTheBatchBeforeTheLibraryAndFreesWhatWasConverted) {
    // Frames 0 and 1 carry big channel buffers, so buffers left behind by a
    // failing batch would show as heap growth over the repetitions.
    constexpr std::size_t kChannels = 512 * 1024;
    constexpr int kRepeats = 40;
    const std::vector<jint> big(kChannels, 7);
    jobject noData = javaFrame(1, 1, std::nullopt);
    for (const Flavour& flavour : kFlavours) {
        for (jobject bad : {jobject{nullptr}, noData}) {
            doubles::reset();
            jobjectArray frames =
                batch({javaFrame(0, 0, big), javaFrame(0, 1, big), bad, javaFrame(0, 3, std::vector<jint>{1})});
            EXPECT_EQ(write(flavour.write, frames).devCode(), DevError) << flavour.write;  // warm-up
            const std::int64_t before = heapInUse();
            for (int i = 0; i < kRepeats; ++i) {
                jvmtest::LocalFrame perCall(64);
                ASSERT_EQ(write(flavour.write, frames).devCode(), DevError);
            }
            const std::int64_t grown = heapInUse() - before;
            EXPECT_LT(grown, static_cast<std::int64_t>(kRepeats * kChannels / 2))
                << flavour.write << ": the converted frames' buffers stay allocated";
            EXPECT_TRUE(doubles::ops().empty()) << "the library is never called";
        }
    }
    EXPECT_EQ(write("writeFrames", nullptr).devCode(), DevError) << "a null array";
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(UploadTest, ABatchOfTenThousandFramesConvertsWithinTheLocalReferenceLimits) {
    constexpr jsize kFrames = 10000;
    jclass frameClass = jvmtest::findClass(kDMXFrame);
    jobjectArray frames = env_->NewObjectArray(kFrames, frameClass, nullptr);
    ASSERT_NE(frames, nullptr);
    for (jsize i = 0; i < kFrames; ++i) {
        jvmtest::LocalFrame perFrame(32);
        jobject f = javaFrame(i, -i, std::vector<jint>{i, i >> 8, 3});
        env_->SetObjectArrayElement(frames, i, f);
    }
    openAs(3);
    const auto r = write("writeFrames", frames);
    ASSERT_FALSE(r.threw()) << r.describe();
    const auto calls = doubles::callsOf("writeFrames");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].number, kFrames);
    ASSERT_EQ(calls[0].frames.size(), static_cast<std::size_t>(kFrames));
    for (jsize i = 0; i < kFrames; i += 997) {
        const auto& f = calls[0].frames[static_cast<std::size_t>(i)];
        EXPECT_EQ(f.startCode, i);
        EXPECT_EQ(f.timeCode, -i);
        EXPECT_EQ(f.data, (std::vector<uint8_t>{static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 3}));
    }
}

TEST_F(UploadTest, WriteRaisesTheLibraryCode) {
    for (const Flavour& flavour : kFlavours) {
        doubles::push(flavour.write, 11);
        EXPECT_EQ(write(flavour.write, batch({javaFrame(0, 0, std::vector<jint>{1})})).devCode(), 11)
            << flavour.write;
    }
}

TEST_F(UploadTest, CloseFilePassesTheHandleAndRaisesTheLibraryCode) {
    openAs(17);
    EXPECT_FALSE(jvmtest::call(device_, "closeFile", "()V").threw());
    doubles::push("closeFile", 9);
    EXPECT_EQ(jvmtest::call(device_, "closeFile", "()V").devCode(), 9);
    ASSERT_EQ(doubles::callsOf("closeFile").size(), 2u);
    for (const auto& call : doubles::callsOf("closeFile")) EXPECT_EQ(call.handle, 17);
}

TEST_F(UploadTest, CloseTestFileReportsTheVerdictOrLeavesTheResultAsItWas) {
    struct Case {
        const char* label;
        DevReturn code;
        DevBool verdict;
        int64_t size;
    };
    const Case cases[] = {
        {"fits, size past 2^32", DevSuccess, 1, (int64_t{5} << 32) + 3},
        {"any nonzero verdict byte is true", DevSuccess, 2, 0},
        {"does not fit", DevSuccess, 0, INT64_MAX},
        {"library failure", 11, 1, 99},
    };
    for (const Case& c : cases) {
        doubles::reset();
        Reply reply = Reply::code_(c.code);
        reply.flag = c.verdict;
        reply.number = c.size;
        doubles::push("closeTestFile", reply);
        jobject result = jvmtest::newObject(kDevTestWrite);
        const bool before = c.verdict == 0;  // the opposite of what the library says
        jvmtest::setBool(result, "willFit", before);
        jvmtest::setLong(result, "totalSize", -42);
        const auto r = jvmtest::call(device_, "closeTestFile", kCloseTestSig, result);
        ASSERT_EQ(doubles::callsOf("closeTestFile").size(), 1u);
        EXPECT_FALSE(doubles::callsOf("closeTestFile")[0].outWasNull);
        if (c.code == DevSuccess) {
            ASSERT_FALSE(r.threw()) << c.label << ": " << r.describe();
            EXPECT_EQ(jvmtest::getBool(result, "willFit"), c.verdict != 0) << c.label;
            EXPECT_EQ(jvmtest::getLong(result, "totalSize"), c.size) << c.label;
        } else {
            EXPECT_EQ(r.devCode(), c.code) << c.label;
            EXPECT_EQ(jvmtest::getBool(result, "willFit"), before) << c.label;
            EXPECT_EQ(jvmtest::getLong(result, "totalSize"), -42) << c.label;
        }
    }
    doubles::reset();
    EXPECT_EQ(jvmtest::call(device_, "closeTestFile", kCloseTestSig, nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty()) << "the test upload stays open for a real result object";
}

}  // namespace
