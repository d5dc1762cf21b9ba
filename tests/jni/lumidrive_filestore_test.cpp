// Controller bridge, file store and playback: listing, deleteFile and its
// listener, free space, reading a stored show, playback, and which codes the
// reading natives return instead of raising, against the scripted double.
#include <climits>
#include <cstdint>

#include "lumidrive_fixture.h"

using namespace lumidrive_test;
using doubles::Reply;

namespace {

constexpr const char* kDevFileEntry = "com/lumivex/controller/DevFileEntry";
constexpr const char* kShowtapeHeader = "com/lumivex/controller/ShowtapeHeader";
constexpr const char* kListener = "com/lumivex/testsupport/RecordingDeleteListener";
constexpr const char* kFirstFileSig = "(Ljava/lang/String;Lcom/lumivex/controller/DevFileEntry;)I";
constexpr const char* kNextFileSig = "(Lcom/lumivex/controller/DevFileEntry;)I";
constexpr const char* kDeleteSig = "(Ljava/lang/String;Lcom/lumivex/controller/DeleteListener;)V";
constexpr const char* kOpenSig = "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;)V";
constexpr const char* kReadSig = "(Lcom/lumivex/controller/DMXFrame;)I";

DevFileEntry fileRecord(const std::u16string& name, int64_t size, int64_t modified, DevBool isDirectory) {
    DevFileEntry e{};
    putText(e.fileName, name);
    e.fileSize = size;
    e.lastModified = modified;
    e.isDirectory = isDirectory;
    return e;
}

Reply frameReply(DevReturn code, int32_t startCode, int32_t timeCode, std::vector<uint8_t> channels) {
    Reply r = Reply::code_(code);
    r.startCode = startCode;
    r.timeCode = timeCode;
    r.channels = std::move(channels);
    return r;
}

class FileStoreTest : public LumidriveTest {
protected:
    // An entry whose every field holds a value no reply uses.
    jobject sentinelEntry() {
        jobject entry = jvmtest::newObject(kDevFileEntry);
        jvmtest::setString(entry, "fileName", u"old");
        jvmtest::setLong(entry, "fileSize", -7);
        jvmtest::setLong(entry, "lastModified", -8);
        jvmtest::setBool(entry, "isDirectory", true);
        return entry;
    }
    void expectSentinelEntry(jobject entry, const char* label) {
        EXPECT_EQ(jvmtest::getString(entry, "fileName"), u"old") << label;
        EXPECT_EQ(jvmtest::getLong(entry, "fileSize"), -7) << label;
        EXPECT_EQ(jvmtest::getLong(entry, "lastModified"), -8) << label;
        EXPECT_TRUE(jvmtest::getBool(entry, "isDirectory")) << label;
    }

    jobject javaFrame(jint startCode, jint timeCode, const std::vector<jint>& data) {
        jobject frame = jvmtest::newObject(kDMXFrame);
        jvmtest::setInt(frame, "startCode", startCode);
        jvmtest::setInt(frame, "timeCode", timeCode);
        jvmtest::setObject(frame, "dmxData", "[I", jvmtest::newIntArray(data));
        return frame;
    }
    std::vector<jint> frameData(jobject frame) {
        return jvmtest::values(static_cast<jintArray>(jvmtest::getObject(frame, "dmxData", "[I")));
    }

    jvmtest::CallResult firstFile(const std::optional<std::u16string>& dir, jobject entry) {
        return jvmtest::call(device_, "getFirstFile", kFirstFileSig, dir ? jvmtest::newString(*dir) : nullptr, entry);
    }
    jvmtest::CallResult nextFile(jobject entry) { return jvmtest::call(device_, "getNextFile", kNextFileSig, entry); }
    jvmtest::CallResult readFrame(jobject frame) { return jvmtest::call(device_, "readFrame", kReadSig, frame); }
    jvmtest::CallResult deleteFile(const std::optional<std::u16string>& name, jobject listener) {
        return jvmtest::call(device_, "deleteFile", kDeleteSig, name ? jvmtest::newString(*name) : nullptr, listener);
    }

    jobject listener(jint throwAt = -1) {
        jclass cls = jvmtest::findClass(kListener);
        jmethodID init = env_->GetMethodID(cls, "<init>", "(I)V");
        return env_->NewObject(cls, init, throwAt);
    }
    std::vector<jint> reports(jobject l) {
        return jvmtest::values(static_cast<jintArray>(jvmtest::call(l, "values", "()[I").value.l));
    }
};

TEST_F(FileStoreTest, ListingFillsEachEntryAndPassesTheDirectoryWhole) {
    doubles::push("getFirstFile", Reply::withRecord(DevSuccess, fileRecord(u"Chase", (int64_t{3} << 32) + 1, -5, 0)));
    doubles::push("getNextFile", Reply::withRecord(DevSuccess, fileRecord(u"folder", 0, INT64_MAX, 7)));
    doubles::push("getNextFile", Reply::withRecord(DevSuccess, fileRecord(jvmtest::alphabet(255), INT64_MIN, 0, 1)));
    openAs(12);
    const std::u16string dir = jvmtest::alphabet(400);
    jobject entry = sentinelEntry();

    auto r = firstFile(dir, entry);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(r.value.i, DevSuccess);
    EXPECT_EQ(jvmtest::getString(entry, "fileName"), u"Chase");
    EXPECT_EQ(jvmtest::getLong(entry, "fileSize"), (int64_t{3} << 32) + 1) << "64-bit sizes whole";
    EXPECT_EQ(jvmtest::getLong(entry, "lastModified"), -5);
    EXPECT_FALSE(jvmtest::getBool(entry, "isDirectory"));

    r = nextFile(entry);
    EXPECT_EQ(r.value.i, DevSuccess);
    EXPECT_EQ(jvmtest::getString(entry, "fileName"), u"folder");
    EXPECT_EQ(jvmtest::getLong(entry, "lastModified"), INT64_MAX);
    EXPECT_TRUE(jvmtest::getBool(entry, "isDirectory")) << "a byte of 7 is true";

    r = nextFile(entry);
    EXPECT_EQ(r.value.i, DevSuccess);
    EXPECT_EQ(jvmtest::getString(entry, "fileName"), jvmtest::alphabet(255));
    EXPECT_EQ(jvmtest::getLong(entry, "fileSize"), INT64_MIN);

    r = nextFile(entry);  // the double's default: no more entries
    EXPECT_FALSE(r.threw());
    EXPECT_EQ(r.value.i, DevNoMoreData);
    EXPECT_EQ(jvmtest::getString(entry, "fileName"), jvmtest::alphabet(255)) << "untouched after 2";

    const auto first = doubles::callsOf("getFirstFile");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].handle, 12);
    EXPECT_EQ(first[0].text, dir);
    for (const auto& call : doubles::callsOf("getNextFile")) EXPECT_EQ(call.handle, 12);

    doubles::reset();
    EXPECT_FALSE(firstFile(u"", entry).threw());
    EXPECT_EQ(doubles::callsOf("getFirstFile").at(0).text, u"") << "an empty directory name is one zero unit";
}

TEST_F(FileStoreTest, ListingReturnsTwoButRaisesEveryOtherLibraryCodeAndLeavesTheEntryAlone) {
    struct Case {
        DevReturn library;
        std::optional<jint> raised;  // DevException code, or nullopt when the code is returned
        jint returned;
    };
    const Case cases[] = {{DevNoMoreData, std::nullopt, DevNoMoreData}, {5, 5, 0}, {DevError, DevError, 0},
                          {DevOutOfMemory, DevOutOfMemory, 0}, {-3, -3, 0}};
    for (const char* op : {"getFirstFile", "getNextFile"}) {
        for (const Case& c : cases) {
            doubles::reset();
            // The reply carries an entry: a failed call must not copy it.
            doubles::push(op, Reply::withRecord(c.library, fileRecord(u"stale", 1, 2, 1)));
            jobject entry = sentinelEntry();
            const auto r = std::string(op) == "getFirstFile" ? firstFile(u".", entry) : nextFile(entry);
            EXPECT_EQ(r.devCode(), c.raised) << op << " " << c.library << ": " << r.describe();
            if (!c.raised) {
                EXPECT_EQ(r.value.i, c.returned) << op << " " << c.library;
            }
            expectSentinelEntry(entry, op);
        }
    }
}

TEST_F(FileStoreTest, ListingWithNullArgumentsRaisesOneWithoutCallingTheLibrary) {
    EXPECT_EQ(firstFile(std::nullopt, sentinelEntry()).devCode(), DevError);
    EXPECT_EQ(firstFile(u".", nullptr).devCode(), DevError);
    EXPECT_EQ(nextFile(nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty());
}

TEST_F(FileStoreTest, ReadFrameFillsTheExistingArrayWithUnsignedBytes) {
    std::vector<uint8_t> bytes(512);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(255 - i % 256);
    doubles::push("readFrame", frameReply(DevSuccess, -2, INT_MIN, bytes));
    openAs(30);
    jobject frame = javaFrame(1, 1, std::vector<jint>(512, -9));
    jobject arrayBefore = jvmtest::getObject(frame, "dmxData", "[I");
    const auto r = readFrame(frame);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(r.value.i, DevSuccess);
    EXPECT_EQ(jvmtest::getInt(frame, "startCode"), -2);
    EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), INT_MIN);
    EXPECT_TRUE(env_->IsSameObject(arrayBefore, jvmtest::getObject(frame, "dmxData", "[I")));
    const auto data = frameData(frame);
    ASSERT_EQ(data.size(), 512u);
    for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], 255 - static_cast<jint>(i % 256)) << i;

    const auto calls = doubles::callsOf("readFrame");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].handle, 30);
    EXPECT_FALSE(calls[0].outWasNull) << "the library gets a receive buffer";
}

TEST_F(FileStoreTest, ReadFrameGivesZeroPastTheChannelsWrittenAndPastTheReceiveBuffer) {
    struct Case {
        const char* label;
        std::size_t length;
    };
    const Case cases[] = {{"longer than the frame", 600}, {"longer than the receive buffer", 3000}};
    for (const Case& c : cases) {
        doubles::reset();
        // Three channels written; the array is full of stale values before.
        doubles::push("readFrame", frameReply(DevSuccess, 0, 0, {200, 1, 255}));
        jobject frame = javaFrame(0, 0, std::vector<jint>(c.length, 77));
        ASSERT_EQ(readFrame(frame).value.i, DevSuccess) << c.label;
        std::vector<jint> expected(c.length, 0);
        expected[0] = 200;
        expected[1] = 1;
        expected[2] = 255;
        EXPECT_EQ(frameData(frame), expected) << c.label;
    }

    doubles::reset();
    doubles::push("readFrame", frameReply(DevSuccess, 5, 6, {9, 9}));
    jobject empty = javaFrame(0, 0, {});
    ASSERT_EQ(readFrame(empty).value.i, DevSuccess);
    EXPECT_EQ(jvmtest::getInt(empty, "startCode"), 5);
    EXPECT_EQ(jvmtest::getInt(empty, "timeCode"), 6);
    EXPECT_TRUE(frameData(empty).empty());
}

TEST_F(FileStoreTest, ReadFrameReturnsTwoButRaisesEveryOtherLibraryCodeAndLeavesTheFrameAlone) {
    struct Case {
        DevReturn library;
        std::optional<jint> raised;
        jint returned;
    };
    const Case cases[] = {{DevNoMoreData, std::nullopt, DevNoMoreData}, {5, 5, 0}, {DevError, DevError, 0},
                          {DevOutOfMemory, DevOutOfMemory, 0}};
    for (const Case& c : cases) {
        doubles::reset();
        doubles::push("readFrame", frameReply(c.library, 8, 8, {8, 8, 8}));
        jobject frame = javaFrame(3, 4, {1, 2, 3});
        const auto r = readFrame(frame);
        EXPECT_EQ(r.devCode(), c.raised) << c.library << ": " << r.describe();
        if (!c.raised) {
            EXPECT_EQ(r.value.i, c.returned) << c.library;
        }
        EXPECT_EQ(jvmtest::getInt(frame, "startCode"), 3) << c.library;
        EXPECT_EQ(jvmtest::getInt(frame, "timeCode"), 4) << c.library;
        EXPECT_EQ(frameData(frame), (std::vector<jint>{1, 2, 3})) << c.library;
    }
}

TEST_F(FileStoreTest, ReadFrameWithoutAFrameOrDataRaisesOneBeforeTheLibraryReads) {
    jobject noData = javaFrame(0, 0, {});
    jvmtest::setObject(noData, "dmxData", "[I", nullptr);
    EXPECT_EQ(readFrame(nullptr).devCode(), DevError);
    EXPECT_EQ(readFrame(noData).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty()) << "no frame of the show is consumed";
}

TEST_F(FileStoreTest, OpenFileConvertsTheHeaderBack) {
    ShowtapeHeader h{};
    h.constantFrameRate = 2;
    h.loopShow = 0;
    h.date = INT64_MIN;
    putText(h.commentField, u"");
    h.frameRate = 44.5;
    h.numberChannels = -1;
    h.totalFrames = -1;
    putText(h.effectSignature, jvmtest::alphabet(255));
    doubles::push("openFile", Reply::withRecord(DevSuccess, h));
    h.totalFrames = INT_MIN;
    h.loopShow = 255;
    doubles::push("openFile", Reply::withRecord(DevSuccess, h));
    openAs(44);
    jobject header = jvmtest::newObject(kShowtapeHeader);
    jvmtest::setString(header, "commentField", u"old comment");
    jvmtest::setBool(header, "loopShow", true);

    const std::u16string name = jvmtest::alphabet(333);
    auto r = jvmtest::call(device_, "openFile", kOpenSig, jvmtest::newString(name), header);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_TRUE(jvmtest::getBool(header, "constantFrameRate")) << "a byte of 2 is true";
    EXPECT_FALSE(jvmtest::getBool(header, "loopShow"));
    EXPECT_EQ(jvmtest::getLong(header, "date"), INT64_MIN);
    EXPECT_EQ(jvmtest::getString(header, "commentField"), u"") << "a first unit of zero is the empty string";
    EXPECT_EQ(jvmtest::getDouble(header, "frameRate"), 44.5);
    EXPECT_EQ(jvmtest::getInt(header, "numberChannels"), -1);
    EXPECT_EQ(jvmtest::getLong(header, "totalFrames"), -1) << "sign-extended, not 2^32-1";
    EXPECT_EQ(jvmtest::getString(header, "effectSignature"), jvmtest::alphabet(255));

    r = jvmtest::call(device_, "openFile", kOpenSig, jvmtest::newString(u"x"), header);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::getLong(header, "totalFrames"), jlong{INT_MIN});
    EXPECT_TRUE(jvmtest::getBool(header, "loopShow"));

    const auto calls = doubles::callsOf("openFile");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].handle, 44);
    EXPECT_EQ(calls[0].text, name) << "the name goes whole";
}

TEST_F(FileStoreTest, OpenFileFailuresLeaveTheHeaderAlone) {
    ShowtapeHeader h{};
    h.totalFrames = 99;
    putText(h.commentField, u"never seen");
    doubles::push("openFile", Reply::withRecord(DevReturn{7}, h));
    jobject header = jvmtest::newObject(kShowtapeHeader);
    jvmtest::setString(header, "commentField", u"mine");
    jvmtest::setLong(header, "totalFrames", -5);
    EXPECT_EQ(jvmtest::call(device_, "openFile", kOpenSig, jvmtest::newString(u"a"), header).devCode(), 7);
    EXPECT_EQ(jvmtest::getString(header, "commentField"), u"mine");
    EXPECT_EQ(jvmtest::getLong(header, "totalFrames"), -5);

    doubles::reset();
    EXPECT_EQ(jvmtest::call(device_, "openFile", kOpenSig, nullptr, header).devCode(), DevError);
    EXPECT_EQ(jvmtest::call(device_, "openFile", kOpenSig, jvmtest::newString(u"a"), nullptr).devCode(), DevError);
    EXPECT_TRUE(doubles::ops().empty()) << "a show is not opened for a header that cannot receive it";
}

TEST_F(FileStoreTest, DeleteReportsEveryProgressToTheListenerInOrder) {
    Reply reply;
    reply.progress = {{0, 3}, {1, 3}, {-1, INT_MAX}, {3, 3}};
    doubles::push("deleteFile", reply);
    openAs(5);
    jobject l = listener();
    const std::u16string name = jvmtest::alphabet(500);
    const auto r = deleteFile(name, l);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(reports(l), (std::vector<jint>{0, 3, 1, 3, -1, INT_MAX, 3, 3}));
    EXPECT_TRUE(jvmtest::call(l, "allOn", "(Ljava/lang/Thread;)Z",
                              jvmtest::callStatic(jvmtest::findClass("java/lang/Thread"), "currentThread",
                                                  "()Ljava/lang/Thread;")
                                  .value.l)
                    .value.z);
    const auto calls = doubles::callsOf("deleteFile");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].handle, 5);
    EXPECT_EQ(calls[0].text, name);
    EXPECT_FALSE(calls[0].progressWasNull);
}

TEST_F(FileStoreTest, DeleteWithoutAListenerCompletesAndALaterDeleteNeverReachesAnEarlierListener) {
    Reply reply;
    reply.progress = {{0, 1}, {1, 1}};
    jobject earlier = listener();
    doubles::push("deleteFile", reply);
    ASSERT_FALSE(deleteFile(u"a", earlier).threw());
    doubles::push("deleteFile", reply);
    const auto r = deleteFile(u"b", nullptr);
    EXPECT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(reports(earlier).size(), 4u) << "the second delete reported to nobody";
    EXPECT_EQ(doubles::callsOf("deleteFile").size(), 2u);
}

TEST_F(FileStoreTest, DeleteRaisesTheLibraryCodeAndOneForANullName) {
    doubles::push("deleteFile", 7);
    EXPECT_EQ(deleteFile(u"gone", listener()).devCode(), 7);
    EXPECT_EQ(deleteFile(std::nullopt, listener()).devCode(), DevError);
    EXPECT_EQ(doubles::callsOf("deleteFile").size(), 1u) << "a null name never reaches the library";
}

TEST_F(FileStoreTest, AThrowingListenerHearsNothingMoreAndItsExceptionReachesTheCaller) {
    struct Case {
        const char* label;
        DevReturn library;
    };
    const Case cases[] = {{"the library succeeds", DevSuccess}, {"the library fails too", 7}};
    for (const Case& c : cases) {
        doubles::reset();
        Reply reply = Reply::code_(c.library);
        reply.progress = {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}};
        doubles::push("deleteFile", reply);
        jobject l = listener(1);  // throws from its second report on
        const auto r = deleteFile(u"show", l);
        ASSERT_TRUE(r.threw()) << c.label;
        EXPECT_EQ(r.thrownClass(), "com.lumivex.testsupport.RecordingDeleteListener$ListenerFailure")
            << c.label << ": " << r.describe();
        EXPECT_EQ(reports(l), (std::vector<jint>{0, 4, 1, 4})) << c.label << ": no report after the throw";
        const auto suppressed = static_cast<jobjectArray>(
            jvmtest::call(r.thrown, "getSuppressed", "()[Ljava/lang/Throwable;").value.l);
        ASSERT_NE(suppressed, nullptr);
        if (c.library == DevSuccess) {
            EXPECT_EQ(env_->GetArrayLength(suppressed), 0) << c.label;
        } else {
            ASSERT_EQ(env_->GetArrayLength(suppressed), 1) << c.label;
            EXPECT_EQ(jvmtest::devCode(static_cast<jthrowable>(env_->GetObjectArrayElement(suppressed, 0))),
                      c.library)
                << "the library's failure is kept, attached to the listener's exception";
        }
    }
}

TEST_F(FileStoreTest, ConcurrentDeletesReachOnlyTheirOwnListeners) {
    // Every delete reports the same progress, on the thread that called it;
    // the double makes the reports outside its lock, so deletes on several
    // threads report at the same time. A listener shared between threads
    // would hear reports of other deletes, or on other threads.
    Reply reply;
    for (int32_t i = 0; i <= 20; ++i) reply.progress.emplace_back(i, 20);
    doubles::setDefault("deleteFile", reply);
    std::vector<jint> expected;
    for (const auto& [done, total] : reply.progress) {
        expected.push_back(done);
        expected.push_back(total);
    }
    constexpr jint kThreads = 8;
    constexpr jint kRounds = 60;
    openAs(2);
    const auto r = jvmtest::callStatic(jvmtest::findClass("com/lumivex/testsupport/BridgeStress"),
                                       "concurrentDeletes", "(Lcom/lumivex/controller/Lumidrive;II[I)Ljava/lang/String;",
                                       device_, kThreads, kRounds, jvmtest::newIntArray(expected));
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(jvmtest::describe(r.value.l), "");
    EXPECT_EQ(doubles::callsOf("deleteFile").size(), static_cast<std::size_t>(kThreads * kRounds));
}

TEST_F(FileStoreTest, FreeSpaceIsTheLibraryValueOrItsCodeRaised) {
    Reply big = Reply::code_(DevSuccess);
    big.number = (int64_t{1} << 40) + 17;
    doubles::push("getFreeSpace", big);
    openAs(9);
    auto r = jvmtest::call(device_, "getFreeSpace", "()J");
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(r.value.j, (jlong{1} << 40) + 17);
    doubles::push("getFreeSpace", 3);
    EXPECT_EQ(jvmtest::call(device_, "getFreeSpace", "()J").devCode(), 3);
    for (const auto& call : doubles::callsOf("getFreeSpace")) EXPECT_EQ(call.handle, 9);
}

TEST_F(FileStoreTest, PlaybackPassesTheNameWholeAndRaisesTheLibraryCode) {
    openAs(14);
    const std::u16string name = jvmtest::alphabet(260);
    EXPECT_FALSE(jvmtest::call(device_, "startPlayback", "(Ljava/lang/String;)V", jvmtest::newString(name)).threw());
    doubles::push("startPlayback", 19);
    EXPECT_EQ(jvmtest::call(device_, "startPlayback", "(Ljava/lang/String;)V", jvmtest::newString(u"")).devCode(),
              19);
    EXPECT_EQ(jvmtest::call(device_, "startPlayback", "(Ljava/lang/String;)V", nullptr).devCode(), DevError);
    EXPECT_FALSE(jvmtest::call(device_, "stopPlayback", "()V").threw());
    doubles::push("stopPlayback", 14);
    EXPECT_EQ(jvmtest::call(device_, "stopPlayback", "()V").devCode(), 14);

    const auto starts = doubles::callsOf("startPlayback");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].text, name);
    EXPECT_EQ(starts[1].text, u"");
    for (const auto& call : doubles::calls()) EXPECT_EQ(call.handle, 14) << call.op;
}

}  // namespace
