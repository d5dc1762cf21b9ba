// Controller bridge against the real controller simulator, on controllers
// defined in a temporary LUMIDRIVE_SIM_DIR folder: upload a show, list it,
// read it back identical, test-upload verdicts, delete with progress,
// playback state, and the trigger table and header round trip.
#include <stdlib.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

#include "jvm_harness.h"
#include "lumidrive_sim.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLumidrive = "com/lumivex/controller/Lumidrive";
constexpr const char* kDMXFrame = "com/lumivex/controller/DMXFrame";
constexpr const char* kShowtapeHeader = "com/lumivex/controller/ShowtapeHeader";
constexpr const char* kDevFileEntry = "com/lumivex/controller/DevFileEntry";
constexpr const char* kListener = "com/lumivex/testsupport/RecordingDeleteListener";
constexpr const char* kCreateSig = "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;Z)V";
constexpr const char* kWriteSig = "([Lcom/lumivex/controller/DMXFrame;)V";
constexpr const char* kDeleteSig = "(Ljava/lang/String;Lcom/lumivex/controller/DeleteListener;)V";
constexpr const char* kTriggerPairSig =
    "(Lcom/lumivex/controller/DevTrigger;Lcom/lumivex/controller/DevTriggerAction;)";

// Size of a stored show by the simulator's size rule (docs/simulator.md).
int64_t showSize(const std::vector<int>& channelCounts) {
    int64_t size = 1578 + 17;
    for (int n : channelCounts) size += 21 + n;
    return size;
}

struct Frame {
    jint startCode;
    jint timeCode;
    std::vector<jint> data;
};

struct Show {
    bool constantFrameRate = true;
    bool loopShow = true;
    jlong date = 1767225600;
    std::u16string comment = u"Opening number, \u00e9t\u00e9";
    double frameRate = 40.0;
    jint numberChannels = 512;
    jlong totalFrames = 0;
    std::u16string signature = u"lumivex-test";
    std::vector<Frame> frames;
};

// A show of `count` frames, mostly 512 channels, with a few narrower ones.
Show makeShow(int count) {
    Show show;
    for (int f = 0; f < count; ++f) {
        const std::size_t channels = f % 10 == 3 ? 24 : 512;
        std::vector<jint> data(channels);
        for (std::size_t ch = 0; ch < channels; ++ch) data[ch] = static_cast<jint>((ch * 7 + static_cast<std::size_t>(f) * 3) % 256);
        show.frames.push_back({f % 2 == 0 ? 0 : 0xCC, f * 25, std::move(data)});
    }
    show.totalFrames = count;
    return show;
}

class SimulatorStoreTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumidrive-store-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        writeController("a-stage", "name = Stage Store\ntype = 40\nnumber = 1\n"
                                   "classes = livePlay|playBackControl|playBackConfig\n"
                                   "totalSpace = 4M\nmaxNumberShows = 8\nnumberPlaybackTriggers = 16\n");
        writeController("b-tiny", "name = Tiny Store\ntype = 40\nnumber = 2\ntotalSpace = 64K\n");
        writeController("c-faulty", "name = Faulty Store\ntype = 40\nnumber = 3\n"
                                    "fault = closeTestFile DevIOError\nfault = readFrame 17 at 3\n");
        ASSERT_EQ(::setenv("LUMIDRIVE_SIM_DIR", dir_.c_str(), 1), 0);
        lumidriveSimReset();
        cls_ = jvmtest::findClass(kLumidrive);
        ASSERT_NE(cls_, nullptr);
    }

    void TearDown() override {
        for (jobject device : opened_) jvmtest::call(device, "closeDevice", "()V");
        ::unsetenv("LUMIDRIVE_SIM_DIR");
        lumidriveSimReset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    void writeController(const std::string& folder, const std::string& ini) {
        fs::create_directories(dir_ / folder);
        std::ofstream(dir_ / folder / "controller.ini") << ini;
    }

    // Opens the controller of that name on a new Lumidrive object.
    jobject open(const std::u16string& name) {
        const char* op = "getFirstDevice";
        for (int guard = 0; guard < 20; ++guard, op = "getNextDevice") {
            jobject entry = jvmtest::newObject("com/lumivex/controller/DevEntry");
            const auto r = jvmtest::callStatic(cls_, op, "(Lcom/lumivex/controller/DevEntry;)I", entry);
            if (r.threw() || r.value.i != 0) break;
            if (jvmtest::getString(entry, "deviceName") != name) continue;
            jobject device = jvmtest::newObject(cls_);
            const auto o = jvmtest::call(device, "openDevice", "(Lcom/lumivex/controller/DevEntry;)V", entry);
            EXPECT_FALSE(o.threw()) << o.describe();
            opened_.push_back(device);
            return device;
        }
        ADD_FAILURE() << "controller not found";
        return nullptr;
    }

    jobject javaHeader(const Show& s) {
        jobject h = jvmtest::newObject(kShowtapeHeader);
        jvmtest::setBool(h, "constantFrameRate", s.constantFrameRate);
        jvmtest::setBool(h, "loopShow", s.loopShow);
        jvmtest::setLong(h, "date", s.date);
        jvmtest::setString(h, "commentField", s.comment);
        jvmtest::setDouble(h, "frameRate", s.frameRate);
        jvmtest::setInt(h, "numberChannels", s.numberChannels);
        jvmtest::setLong(h, "totalFrames", s.totalFrames);
        jvmtest::setString(h, "effectSignature", s.signature);
        return h;
    }

    jobject javaFrame(const Frame& f) {
        jobject frame = jvmtest::newObject(kDMXFrame);
        jvmtest::setInt(frame, "startCode", f.startCode);
        jvmtest::setInt(frame, "timeCode", f.timeCode);
        jvmtest::setObject(frame, "dmxData", "[I", jvmtest::newIntArray(f.data));
        return frame;
    }

    // Writes the frames in batches of `batchSize` through writeFrames or writeTestFrames.
    void writeBatches(jobject device, const char* op, const std::vector<Frame>& frames, std::size_t batchSize) {
        for (std::size_t first = 0; first < frames.size(); first += batchSize) {
            jvmtest::LocalFrame scope(static_cast<jint>(batchSize) * 4 + 16);
            std::vector<jobject> batch;
            for (std::size_t i = first; i < std::min(frames.size(), first + batchSize); ++i)
                batch.push_back(javaFrame(frames[i]));
            const auto r = jvmtest::call(device, op, kWriteSig,
                                         jvmtest::newObjectArray(jvmtest::findClass(kDMXFrame), batch));
            ASSERT_FALSE(r.threw()) << op << " at frame " << first << ": " << r.describe();
        }
    }

    void upload(jobject device, const std::u16string& name, const Show& show) {
        const auto r = jvmtest::call(device, "createFile", kCreateSig, jvmtest::newString(name), javaHeader(show),
                                     JNI_FALSE);
        ASSERT_FALSE(r.threw()) << r.describe();
        writeBatches(device, "writeFrames", show.frames, 37);
        const auto c = jvmtest::call(device, "closeFile", "()V");
        ASSERT_FALSE(c.threw()) << c.describe();
    }

    struct Listed {
        int64_t size;
        bool isDirectory;
    };
    std::map<std::u16string, Listed> list(jobject device) {
        std::map<std::u16string, Listed> out;
        jobject entry = jvmtest::newObject(kDevFileEntry);
        auto r = jvmtest::call(device, "getFirstFile", "(Ljava/lang/String;Lcom/lumivex/controller/DevFileEntry;)I",
                               jvmtest::newString(u"."), entry);
        for (int guard = 0; guard < 100 && !r.threw() && r.value.i == 0; ++guard) {
            out[jvmtest::getString(entry, "fileName").value_or(u"")] = {jvmtest::getLong(entry, "fileSize"),
                                                                       jvmtest::getBool(entry, "isDirectory")};
            r = jvmtest::call(device, "getNextFile", "(Lcom/lumivex/controller/DevFileEntry;)I", entry);
        }
        EXPECT_FALSE(r.threw()) << r.describe();
        EXPECT_EQ(r.value.i, DevNoMoreData);
        return out;
    }

    jint state(jobject device) {
        jobject s = jvmtest::newObject("com/lumivex/controller/DevState");
        EXPECT_FALSE(jvmtest::call(device, "getDeviceState", "(Lcom/lumivex/controller/DevState;)V", s).threw());
        return jvmtest::getInt(s, "state");
    }

    jobject listener(jint throwAt = -1) {
        jclass cls = jvmtest::findClass(kListener);
        return env_->NewObject(cls, env_->GetMethodID(cls, "<init>", "(I)V"), throwAt);
    }
    std::vector<jint> reports(jobject l) {
        return jvmtest::values(static_cast<jintArray>(jvmtest::call(l, "values", "()[I").value.l));
    }

    fs::path dir_;
    jclass cls_ = nullptr;
    std::vector<jobject> opened_;
};

TEST_F(SimulatorStoreTest, AnUploadedShowIsListedAndReadsBackIdentical) {
    jobject device = open(u"Stage Store");
    ASSERT_NE(device, nullptr);
    const jlong freeBefore = jvmtest::call(device, "getFreeSpace", "()J").value.j;
    EXPECT_EQ(freeBefore, 4 << 20);

    const Show show = makeShow(150);
    ASSERT_NO_FATAL_FAILURE(upload(device, u"Opening", show));
    std::vector<int> counts;
    for (const Frame& f : show.frames) counts.push_back(static_cast<int>(f.data.size()));

    const auto listed = list(device);
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(listed.count(u"Opening"), 1u);
    EXPECT_EQ(listed.at(u"Opening").size, showSize(counts));
    EXPECT_FALSE(listed.at(u"Opening").isDirectory);
    EXPECT_EQ(jvmtest::call(device, "getFreeSpace", "()J").value.j, freeBefore - showSize(counts));

    jobject header = jvmtest::newObject(kShowtapeHeader);
    auto r = jvmtest::call(device, "openFile", "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;)V",
                           jvmtest::newString(u"Opening"), header);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::getBool(header, "constantFrameRate"), show.constantFrameRate);
    EXPECT_EQ(jvmtest::getBool(header, "loopShow"), show.loopShow);
    EXPECT_EQ(jvmtest::getLong(header, "date"), show.date);
    EXPECT_EQ(jvmtest::getString(header, "commentField"), show.comment);
    EXPECT_EQ(jvmtest::getDouble(header, "frameRate"), show.frameRate);
    EXPECT_EQ(jvmtest::getInt(header, "numberChannels"), show.numberChannels);
    EXPECT_EQ(jvmtest::getLong(header, "totalFrames"), show.totalFrames);
    EXPECT_EQ(jvmtest::getString(header, "effectSignature"), show.signature);

    // One frame object for the whole show; its array always has 512 elements.
    jobject frame = javaFrame({-1, -1, std::vector<jint>(512, 999)});
    std::size_t read = 0;
    for (;; ++read) {
        jvmtest::LocalFrame scope(64);
        r = jvmtest::call(device, "readFrame", "(Lcom/lumivex/controller/DMXFrame;)I", frame);
        ASSERT_FALSE(r.threw()) << "frame " << read << ": " << r.describe();
        if (r.value.i != 0) break;
        ASSERT_LT(read, show.frames.size());
        const Frame& expected = show.frames[read];
        EXPECT_EQ(jvmtest::getInt(frame, "startCode"), expected.startCode);
        EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), expected.timeCode);
        std::vector<jint> data = expected.data;
        data.resize(512, 0);  // past the frame's channels: 0, never what the array held before
        ASSERT_EQ(jvmtest::values(static_cast<jintArray>(jvmtest::getObject(frame, "dmxData", "[I"))), data)
            << "frame " << read;
    }
    EXPECT_EQ(r.value.i, DevNoMoreData);
    EXPECT_EQ(read, show.frames.size());
    EXPECT_FALSE(jvmtest::call(device, "closeFile", "()V").threw());
}

TEST_F(SimulatorStoreTest, TestUploadsReportWhetherAShowFitsAndStoreNothing) {
    const Show show = makeShow(200);  // about 100 KiB
    std::vector<int> counts;
    for (const Frame& f : show.frames) counts.push_back(static_cast<int>(f.data.size()));
    struct Case {
        std::u16string controller;
        bool fits;
    };
    for (const Case& c : {Case{u"Stage Store", true}, Case{u"Tiny Store", false}}) {
        jobject device = open(c.controller);
        ASSERT_NE(device, nullptr);
        auto r = jvmtest::call(device, "createTestFile", kCreateSig, jvmtest::newString(u"Probe"), javaHeader(show),
                               JNI_TRUE);
        ASSERT_FALSE(r.threw()) << r.describe();
        writeBatches(device, "writeTestFrames", show.frames, 64);
        jobject verdict = jvmtest::newObject("com/lumivex/controller/DevTestWrite");
        jvmtest::setBool(verdict, "willFit", !c.fits);
        r = jvmtest::call(device, "closeTestFile", "(Lcom/lumivex/controller/DevTestWrite;)V", verdict);
        ASSERT_FALSE(r.threw()) << r.describe();
        EXPECT_EQ(jvmtest::getBool(verdict, "willFit"), c.fits);
        EXPECT_EQ(jvmtest::getLong(verdict, "totalSize"), showSize(counts));
        EXPECT_TRUE(list(device).empty()) << "a test upload stores nothing";
    }

    // A failing closeTestFile leaves the verdict object as it was.
    jobject faulty = open(u"Faulty Store");
    ASSERT_NE(faulty, nullptr);
    ASSERT_FALSE(jvmtest::call(faulty, "createTestFile", kCreateSig, jvmtest::newString(u"Probe"), javaHeader(show),
                               JNI_TRUE)
                     .threw());
    jobject verdict = jvmtest::newObject("com/lumivex/controller/DevTestWrite");
    jvmtest::setBool(verdict, "willFit", true);
    jvmtest::setLong(verdict, "totalSize", 12345);
    EXPECT_EQ(jvmtest::call(faulty, "closeTestFile", "(Lcom/lumivex/controller/DevTestWrite;)V", verdict).devCode(),
              DevIOError);
    EXPECT_TRUE(jvmtest::getBool(verdict, "willFit"));
    EXPECT_EQ(jvmtest::getLong(verdict, "totalSize"), 12345);
}

TEST_F(SimulatorStoreTest, DeleteReportsEachBlockToTheListenerAndRemovesTheShow) {
    jobject device = open(u"Stage Store");
    ASSERT_NE(device, nullptr);
    const Show show = makeShow(500);  // about 240 KiB: several 64 KiB blocks
    ASSERT_NO_FATAL_FAILURE(upload(device, u"Finale", show));
    const int64_t size = list(device).at(u"Finale").size;
    const jint blocks = static_cast<jint>((size + 65535) / 65536);
    ASSERT_GE(blocks, 3);

    jobject l = listener();
    const auto r = jvmtest::call(device, "deleteFile", kDeleteSig, jvmtest::newString(u"Finale"), l);
    ASSERT_FALSE(r.threw()) << r.describe();
    std::vector<jint> expected;
    for (jint done = 0; done <= blocks; ++done) {
        expected.push_back(done);
        expected.push_back(blocks);
    }
    EXPECT_EQ(reports(l), expected);
    jobject thread = jvmtest::callStatic(jvmtest::findClass("java/lang/Thread"), "currentThread",
                                         "()Ljava/lang/Thread;")
                         .value.l;
    EXPECT_TRUE(jvmtest::call(l, "allOn", "(Ljava/lang/Thread;)Z", thread).value.z) << "on the caller's thread";
    EXPECT_TRUE(list(device).empty());
    EXPECT_EQ(jvmtest::call(device, "getFreeSpace", "()J").value.j, 4 << 20);

    jobject none = listener();
    EXPECT_EQ(jvmtest::call(device, "deleteFile", kDeleteSig, jvmtest::newString(u"Finale"), none).devCode(),
              DevFileNotFound);
    EXPECT_TRUE(reports(none).empty());
}

TEST_F(SimulatorStoreTest, AThrowingListenerStopsHearingButTheDeleteCompletes) {
    jobject device = open(u"Stage Store");
    ASSERT_NE(device, nullptr);
    ASSERT_NO_FATAL_FAILURE(upload(device, u"Encore", makeShow(300)));
    jobject l = listener(0);
    const auto r = jvmtest::call(device, "deleteFile", kDeleteSig, jvmtest::newString(u"Encore"), l);
    EXPECT_EQ(r.thrownClass(), "com.lumivex.testsupport.RecordingDeleteListener$ListenerFailure") << r.describe();
    EXPECT_EQ(reports(l).size(), 2u) << "one report, then silence";
    EXPECT_TRUE(list(device).empty()) << "the library finished the delete";
    // The bridge is usable at once on the same thread.
    ASSERT_NO_FATAL_FAILURE(upload(device, u"Encore", makeShow(3)));
    EXPECT_FALSE(jvmtest::call(device, "deleteFile", kDeleteSig, jvmtest::newString(u"Encore"), nullptr).threw());
}

TEST_F(SimulatorStoreTest, PlaybackMovesTheControllerThroughItsStates) {
    jobject device = open(u"Stage Store");
    ASSERT_NE(device, nullptr);
    ASSERT_NO_FATAL_FAILURE(upload(device, u"Loop", makeShow(20)));
    EXPECT_EQ(state(device), DevStateIdle);
    auto r = jvmtest::call(device, "startPlayback", "(Ljava/lang/String;)V", jvmtest::newString(u"Loop"));
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(state(device), DevStatePlayingBack);
    EXPECT_EQ(jvmtest::call(device, "deleteFile", kDeleteSig, jvmtest::newString(u"Loop"), nullptr).devCode(),
              DevWrongState)
        << "the show being played cannot be deleted";
    EXPECT_FALSE(jvmtest::call(device, "stopPlayback", "()V").threw());
    EXPECT_EQ(state(device), DevStateIdle);
    EXPECT_EQ(jvmtest::call(device, "stopPlayback", "()V").devCode(), DevWrongState);
    EXPECT_EQ(jvmtest::call(device, "startPlayback", "(Ljava/lang/String;)V", jvmtest::newString(u"Missing"))
                  .devCode(),
              DevFileNotFound);
    EXPECT_EQ(state(device), DevStateIdle);
}

TEST_F(SimulatorStoreTest, ReadingCodesComeBackAsResultsOrExceptions) {
    jobject device = open(u"Faulty Store");
    ASSERT_NE(device, nullptr);
    ASSERT_NO_FATAL_FAILURE(upload(device, u"Short", makeShow(3)));
    jobject frame = javaFrame({0, 0, std::vector<jint>(8, 5)});
    EXPECT_EQ(jvmtest::call(device, "readFrame", "(Lcom/lumivex/controller/DMXFrame;)I", frame).devCode(),
              DevWrongState)
        << "no show open";
    jobject header = jvmtest::newObject(kShowtapeHeader);
    ASSERT_FALSE(jvmtest::call(device, "openFile", "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;)V",
                               jvmtest::newString(u"Short"), header)
                     .threw());
    auto read = [&] { return jvmtest::call(device, "readFrame", "(Lcom/lumivex/controller/DMXFrame;)I", frame); };
    EXPECT_EQ(read().value.i, DevSuccess);
    jobject array = jvmtest::getObject(frame, "dmxData", "[I");
    const std::vector<jint> afterFirst = jvmtest::values(static_cast<jintArray>(array));
    EXPECT_EQ(read().devCode(), DevCorrupt) << "the third readFrame call fails by the controller's fault rule";
    EXPECT_EQ(jvmtest::values(static_cast<jintArray>(array)), afterFirst) << "the frame is untouched";
    EXPECT_EQ(read().value.i, DevSuccess) << "the failed read used up no frame";
    EXPECT_EQ(read().value.i, DevSuccess);
    EXPECT_EQ(read().value.i, DevNoMoreData);
    EXPECT_FALSE(jvmtest::call(device, "closeFile", "()V").threw());

    jobject entry = jvmtest::newObject(kDevFileEntry);
    EXPECT_EQ(jvmtest::call(device, "getFirstFile", "(Ljava/lang/String;Lcom/lumivex/controller/DevFileEntry;)I",
                            jvmtest::newString(u"no-such-folder"), entry)
                  .devCode(),
              DevFileNotFound);
    EXPECT_EQ(jvmtest::call(device, "getFirstFile", "(Ljava/lang/String;Lcom/lumivex/controller/DevFileEntry;)I",
                            jvmtest::newString(u"../escape"), entry)
                  .devCode(),
              DevInvalidName);
}

TEST_F(SimulatorStoreTest, TheTriggerTableAndHeaderRoundTrip) {
    jobject device = open(u"Stage Store");
    ASSERT_NE(device, nullptr);
    struct Row {
        jint triggerType;
        jlong value;
        jint actionType;
        std::u16string file;
        jlong actionValue;
        jlong valueBack, actionValueBack;  // what the 32-bit fields give back
    };
    const Row rows[] = {
        {1, 100, 1, u"Opening", 0, 100, 0},
        {2, -1, 3, u"", jlong{INT_MIN}, -1, jlong{INT_MIN}},
        {7, (jlong{1} << 32) + 7, -5, u"Act 1/Finale", (jlong{1} << 32) - 1, 7, -1},
    };
    ASSERT_FALSE(jvmtest::call(device, "createTriggers", "()V").threw());
    EXPECT_EQ(state(device), DevStateWritingTriggers);
    for (const Row& row : rows) {
        jobject t = jvmtest::newObject("com/lumivex/controller/DevTrigger");
        jvmtest::setInt(t, "triggerType", row.triggerType);
        jvmtest::setLong(t, "value", row.value);
        jobject a = jvmtest::newObject("com/lumivex/controller/DevTriggerAction");
        jvmtest::setInt(a, "actionType", row.actionType);
        jvmtest::setString(a, "fileName", row.file);
        jvmtest::setLong(a, "value", row.actionValue);
        const auto r = jvmtest::call(device, "setTrigger", (std::string(kTriggerPairSig) + "V").c_str(), t, a);
        ASSERT_FALSE(r.threw()) << r.describe();
    }
    ASSERT_FALSE(jvmtest::call(device, "closeTriggers", "()V").threw());

    jobject t = jvmtest::newObject("com/lumivex/controller/DevTrigger");
    jobject a = jvmtest::newObject("com/lumivex/controller/DevTriggerAction");
    const std::string enumSig = std::string(kTriggerPairSig) + "I";
    auto r = jvmtest::call(device, "getFirstTrigger", enumSig.c_str(), t, a);
    for (const Row& row : rows) {
        ASSERT_FALSE(r.threw()) << r.describe();
        ASSERT_EQ(r.value.i, DevSuccess);
        EXPECT_EQ(jvmtest::getInt(t, "triggerType"), row.triggerType);
        EXPECT_EQ(jvmtest::getLong(t, "value"), row.valueBack);
        EXPECT_EQ(jvmtest::getInt(a, "actionType"), row.actionType);
        EXPECT_EQ(jvmtest::getString(a, "fileName"), row.file);
        EXPECT_EQ(jvmtest::getLong(a, "value"), row.actionValueBack);
        r = jvmtest::call(device, "getNextTrigger", enumSig.c_str(), t, a);
    }
    EXPECT_FALSE(r.threw());
    EXPECT_EQ(r.value.i, DevNoMoreData);

    jobject h = jvmtest::newObject("com/lumivex/controller/DevTriggerHeader");
    jvmtest::setInt(h, "byte1", 200);
    jvmtest::setInt(h, "byte2", 300);
    jvmtest::setInt(h, "byte3", -1);
    jvmtest::setInt(h, "byte4", 7);
    ASSERT_FALSE(jvmtest::call(device, "setTriggerHeader", "(Lcom/lumivex/controller/DevTriggerHeader;)V", h).threw());
    jobject back = jvmtest::newObject("com/lumivex/controller/DevTriggerHeader");
    ASSERT_FALSE(
        jvmtest::call(device, "getTriggerHeader", "(Lcom/lumivex/controller/DevTriggerHeader;)V", back).threw());
    EXPECT_EQ(jvmtest::getInt(back, "byte1"), 200);
    EXPECT_EQ(jvmtest::getInt(back, "byte2"), 44);
    EXPECT_EQ(jvmtest::getInt(back, "byte3"), 255);
    EXPECT_EQ(jvmtest::getInt(back, "byte4"), 7);

    // An invalid action name is the library's to refuse; its code reaches Java.
    ASSERT_FALSE(jvmtest::call(device, "createTriggers", "()V").threw());
    jobject bad = jvmtest::newObject("com/lumivex/controller/DevTriggerAction");
    jvmtest::setString(bad, "fileName", u"../outside");
    EXPECT_EQ(jvmtest::call(device, "setTrigger", (std::string(kTriggerPairSig) + "V").c_str(),
                            jvmtest::newObject("com/lumivex/controller/DevTrigger"), bad)
                  .devCode(),
              DevInvalidName);
    ASSERT_FALSE(jvmtest::call(device, "closeTriggers", "()V").threw());
}

}  // namespace
