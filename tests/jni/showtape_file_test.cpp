// Show-file bridge, the show-file object: version queries, open, create,
// close and rewind, against the scripted show-file-library double.
#include <climits>
#include <cmath>
#include <cstdint>

#include "double_control.h"
#include "showtape_fixture.h"

using doubles::Reply;
using namespace showtape_test;

namespace {

class ShowFileTest : public ShowtapeTest {
protected:
    void SetUp() override {
        doubles::reset();
        ShowtapeTest::SetUp();
    }

    static Reply handing(DevReturn code, int32_t versionNumber, int32_t fileHandle) {
        Reply r;
        r.code = code;
        r.tape = ShowtapeHandle{versionNumber, fileHandle};
        return r;
    }

    // An open reply writing a handle, a name and a header, whatever its code.
    static Reply openReply(DevReturn code, const ShowtapeHeader& header, const std::u16string& name,
                           ShowtapeHandle handle = {3, 12}) {
        Reply r = Reply::withRecord(code, header);
        r.tape = handle;
        r.name = name;
        return r;
    }

    jvmtest::CallResult createPlain(const ShowtapeObject& tape) const {
        return tape.create(u"/shows/a.dmx", u"a", javaHeader({}));
    }
};

ShowtapeHeader headerRecord() {
    ShowtapeHeader h{};
    h.constantFrameRate = 2;  // any nonzero byte is true
    h.loopShow = 0;
    h.date = INT64_MIN;
    doubles::setText(h.commentField, u"comment \u00e9\U0001F3AD");
    h.frameRate = 29.97;
    h.numberChannels = 2048;
    h.totalFrames = -1;  // sign-extended into Java
    doubles::setText(h.effectSignature, jvmtest::alphabet(255));
    return h;
}

TEST_F(ShowFileTest, VersionQueriesReturnTheirComponentOrMinusOneWhenTheLibraryFails) {
    Reply ok;
    ok.major = 4;
    ok.minor = -2;
    ok.build = INT_MAX;
    const std::pair<const char*, jint> queries[] = {
        {"getLibraryMajorRevision", 4}, {"getLibraryMinorRevision", -2}, {"getLibraryBuildRevision", INT_MAX}};
    for (auto [method, expected] : queries) {
        doubles::push("getLibraryVersion", ok);
        const auto r = jvmtest::callStatic(showtapeClass_, method, "()I");
        EXPECT_FALSE(r.threw()) << method << ": " << r.describe();
        EXPECT_EQ(r.value.i, expected) << method;
    }
    for (DevReturn code : {DevReturn{DevError}, DevReturn{DevInvalidArgument}, DevReturn{-9}}) {
        for (auto [method, ignored] : queries) {
            Reply failed = ok;  // the double writes the outputs even so
            failed.code = code;
            doubles::push("getLibraryVersion", failed);
            const auto r = jvmtest::callStatic(showtapeClass_, method, "()I");
            EXPECT_FALSE(r.threw()) << method << ": " << r.describe();
            EXPECT_EQ(r.value.i, -1) << method << " with code " << code;
        }
    }
    for (const auto& call : doubles::calls()) EXPECT_FALSE(call.outWasNull);
}

TEST_F(ShowFileTest, OpenFillsTheHeaderAndTheObjectAndReturnsTheName) {
    struct Case {
        const char* label;
        std::u16string name;
        ShowtapeHandle handle;
        jlong fileHandle;  // as Java sees it: sign-extended
    };
    const Case cases[] = {
        {"plain", u"Opening night \u00e9", {7, 12}, 12},
        {"empty name", u"", {0, 0}, 0},
        {"handle with the top bit set", jvmtest::alphabet(255), {-5, INT32_MIN + 1}, INT32_MIN + 1},
    };
    for (const Case& c : cases) {
        doubles::reset();
        const ShowtapeObject tape = newTape();
        doubles::push("openShowtape", openReply(DevSuccess, headerRecord(), c.name, c.handle));
        jobject header = javaHeader(sentinelHeader());
        const std::u16string path = u"/shows/caf\u00e9.dmx";
        const auto r = tape.open(path, header);
        ASSERT_FALSE(r.threw()) << c.label << ": " << r.describe();
        EXPECT_EQ(jvmtest::units(static_cast<jstring>(r.value.l)), c.name) << c.label;
        EXPECT_EQ(tape.fileHandle(), c.fileHandle) << c.label;
        EXPECT_EQ(tape.versionNumber(), c.handle.versionNumber) << c.label;
        const HeaderValues expected{true, false, INT64_MIN, u"comment \u00e9\U0001F3AD", 29.97, 2048, -1,
                                    jvmtest::alphabet(255)};
        EXPECT_EQ(headerValues(header), expected) << c.label;

        const auto calls = doubles::callsOf("openShowtape");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].tape.fileHandle, -1) << "open starts from a handle naming no file";
        EXPECT_EQ(calls[0].path, "/shows/caf\xC3\xA9.dmx") << "the path goes as the VM's modified UTF-8";
        EXPECT_FALSE(calls[0].outWasNull);
    }
}

TEST_F(ShowFileTest, OpenTextsEndAtTheFirstZeroUnitAndNeverLeaveTheField) {
    ShowtapeHeader record = headerRecord();
    std::fill(std::begin(record.commentField), std::end(record.commentField), u'c');  // no zero unit at all
    doubles::setText(record.effectSignature, u"");
    record.effectSignature[3] = u'x';  // after the zero unit: not part of the text
    doubles::push("openShowtape", openReply(DevSuccess, record, u"n"));
    jobject header = javaHeader(sentinelHeader());
    ASSERT_FALSE(tape_.open(u"p", header).threw());
    EXPECT_EQ(jvmtest::getString(header, "commentField"), jvmtest::repeat(u'c', DEV_TEXT_UNITS));
    EXPECT_EQ(jvmtest::getString(header, "effectSignature"), u"");
}

TEST_F(ShowFileTest, AFailedOpenLeavesTheObjectAndTheHeaderUntouched) {
    for (DevReturn code : {DevReturn{DevFileNotFound}, DevReturn{DevCorrupt}, DevReturn{DevError}, DevReturn{-3}}) {
        doubles::reset();
        // The double writes handle, name and header whatever the code: none may reach Java.
        doubles::push("openShowtape", openReply(code, headerRecord(), u"new name", {9, 4}));
        tape_.setFields(55, -1);
        jobject header = javaHeader(sentinelHeader());
        const auto r = tape_.open(u"/shows/a.dmx", header);
        EXPECT_EQ(r.devCode(), code) << r.describe();
        EXPECT_EQ(tape_.fileHandle(), -1);
        EXPECT_EQ(tape_.versionNumber(), 55);
        EXPECT_EQ(headerValues(header), sentinelHeader()) << "code " << code;
    }
}

TEST_F(ShowFileTest, CreatePassesTheHeaderFieldByFieldAndStoresTheHandle) {
    const HeaderValues values{true, false, INT64_MIN + 5, u"c\u00e9", -0.0, -1, (jlong{1} << 32) + 1, u"sig"};
    doubles::push("createShowtape", handing(DevSuccess, 21, 0x7FFFFFFF));
    const auto r = tape_.create(u"/shows/new.dmx", u"Show", javaHeader(values), -7, true);
    ASSERT_FALSE(r.threw()) << r.describe();
    EXPECT_EQ(tape_.fileHandle(), 0x7FFFFFFF);
    EXPECT_EQ(tape_.versionNumber(), 21);

    const auto calls = doubles::callsOf("createShowtape");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].tape.fileHandle, -1);
    EXPECT_EQ(calls[0].path, "/shows/new.dmx");
    EXPECT_EQ(calls[0].text, u"Show");
    EXPECT_EQ(calls[0].number, -7) << "the int goes unchanged";
    EXPECT_EQ(calls[0].flag, 1) << "true goes as 1";
    const auto h = calls[0].recordAs<ShowtapeHeader>();
    EXPECT_EQ(h.constantFrameRate, 1);
    EXPECT_EQ(h.loopShow, 0);
    EXPECT_EQ(h.date, INT64_MIN + 5);
    EXPECT_TRUE(h.frameRate == 0.0 && std::signbit(h.frameRate)) << h.frameRate;
    EXPECT_EQ(h.numberChannels, -1);
    EXPECT_EQ(h.totalFrames, 1) << "2^32 + 1 keeps its low 32 bits";
    EXPECT_EQ(wholeField(h.commentField), fieldOf(u"c\u00e9"));
    EXPECT_EQ(wholeField(h.effectSignature), fieldOf(u"sig"));
}

TEST_F(ShowFileTest, CreateKeepsTheLowThirtyTwoBitsOfTotalFrames) {
    const std::pair<jlong, int32_t> cases[] = {
        {0, 0}, {-1, -1}, {(jlong{1} << 32) + 1, 1}, {0x80000000LL, INT32_MIN}, {INT64_MIN, 0}, {0x1234567890LL, 0x34567890}};
    for (auto [java, stored] : cases) {
        doubles::reset();
        HeaderValues values;
        values.totalFrames = java;
        ASSERT_FALSE(newTape().create(u"p", u"n", javaHeader(values)).threw());
        ASSERT_EQ(doubles::callsOf("createShowtape").size(), 1u);
        EXPECT_EQ(doubles::callsOf("createShowtape")[0].recordAs<ShowtapeHeader>().totalFrames, stored) << java;
    }
}

TEST_F(ShowFileTest, CreatePassesTheWholeNameFollowedByTwoZeroUnits) {
    const std::u16string names[] = {u"", u"Show", u"caf\u00e9 \U0001F3AD", jvmtest::alphabet(4000)};
    for (const std::u16string& name : names) {
        for (bool replace : {false, true}) {
            doubles::reset();
            doubles::probeUnitAfterText(true);
            ASSERT_FALSE(newTape().create(u"p", name, javaHeader({}), 1, replace).threw());
            const auto calls = doubles::callsOf("createShowtape");
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].text, name) << name.size() << " units";
            EXPECT_EQ(calls[0].unitAfterText, u'\0') << "a second zero unit follows the name";
            EXPECT_EQ(calls[0].flag, replace ? 1 : 0);
        }
    }
}

TEST_F(ShowFileTest, CreateCutsLongHeaderTextsSoTheFieldKeepsItsZeroUnit) {
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
        HeaderValues values;
        values.commentField = c.text;
        values.effectSignature = u"s" + c.text;
        const auto r = newTape().create(u"p", u"n", javaHeader(values));
        ASSERT_FALSE(r.threw()) << c.text.size() << " units: " << r.describe();
        const auto calls = doubles::callsOf("createShowtape");
        ASSERT_EQ(calls.size(), 1u);
        const auto h = calls[0].recordAs<ShowtapeHeader>();
        EXPECT_EQ(wholeField(h.commentField), fieldOf(c.stored)) << c.text.size() << " units";
        EXPECT_EQ(wholeField(h.effectSignature), fieldOf(u"s" + c.stored)) << c.text.size() << " units";
    }
}

TEST_F(ShowFileTest, AFailedCreateLeavesTheObjectClosed) {
    for (DevReturn code : {DevReturn{DevFileExists}, DevReturn{DevInvalidName}, DevReturn{DevError}, DevReturn{1000}}) {
        doubles::reset();
        doubles::push("createShowtape", handing(code, 8, 8));  // the double writes the handle even so
        tape_.setFields(55, -1);
        EXPECT_EQ(createPlain(tape_).devCode(), code);
        EXPECT_EQ(tape_.fileHandle(), -1);
        EXPECT_EQ(tape_.versionNumber(), 55);
    }
}

TEST_F(ShowFileTest, NullInputsRaiseOneBeforeTheLibraryIsCalled) {
    HeaderValues noComment;
    noComment.commentField = std::nullopt;
    HeaderValues noSignature;
    noSignature.effectSignature = std::nullopt;
    struct Case {
        const char* label;
        jvmtest::CallResult result;
    };
    const Case cases[] = {
        {"open, null path", tape_.open(std::nullopt, javaHeader({}))},
        {"open, null header", tape_.open(u"p", nullptr)},
        {"create, null path", tape_.create(std::nullopt, u"n", javaHeader({}))},
        {"create, null name", tape_.create(u"p", std::nullopt, javaHeader({}))},
        {"create, null header", tape_.create(u"p", u"n", nullptr)},
        {"create, null comment", tape_.create(u"p", u"n", javaHeader(noComment))},
        {"create, null signature", tape_.create(u"p", u"n", javaHeader(noSignature))},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result.devCode(), DevError) << c.label << ": " << c.result.describe();
    EXPECT_TRUE(doubles::ops().empty());
    EXPECT_EQ(tape_.fileHandle(), -1);
}

// Which fileHandle values count as an open file: only the low 32 bits count.
TEST_F(ShowFileTest, StateRulesFollowTheLowThirtyTwoBitsOfFileHandle) {
    struct Case {
        jlong fileHandle;
        bool open;
        int32_t passed;  // the fileHandle the library receives when open
    };
    const Case cases[] = {
        {-1, false, -1},
        {4294967295LL, false, -1},
        {0x7FFFFFFFFFFFFFFFLL, false, -1},
        {0, true, 0},
        {5, true, 5},
        {(jlong{3} << 32) | 9, true, 9},
        {INT64_MIN, true, 0},
        {-2, true, -2},
    };
    for (const Case& c : cases) {
        doubles::reset();
        const ShowtapeObject tape = newTape();
        tape.setFields(77, c.fileHandle);
        jobject frame = javaFrame(0, 0, {1, 2});
        const auto opened = tape.open(u"p", javaHeader({}));
        const auto created = tape.create(u"p", u"n", javaHeader({}));
        const auto read = tape.read(frame);
        const auto written = tape.write(frame);
        const auto rewound = tape.rewind();
        const auto closed = tape.close();
        if (c.open) {
            EXPECT_EQ(opened.devCode(), DevFileAlreadyOpen) << c.fileHandle;
            EXPECT_EQ(created.devCode(), DevFileAlreadyOpen) << c.fileHandle;
            EXPECT_FALSE(read.threw()) << c.fileHandle << ": " << read.describe();
            EXPECT_FALSE(written.threw()) << c.fileHandle << ": " << written.describe();
            EXPECT_FALSE(rewound.threw()) << c.fileHandle << ": " << rewound.describe();
            EXPECT_FALSE(closed.threw()) << c.fileHandle << ": " << closed.describe();
            EXPECT_EQ(doubles::ops(), (std::vector<std::string>{"readDMXFrame", "writeDMXFrame", "rewindShowtape",
                                                                "closeShowtape"}));
            for (const auto& call : doubles::calls()) {
                EXPECT_EQ(call.tape.fileHandle, c.passed) << call.op << " " << c.fileHandle;
                EXPECT_EQ(call.tape.versionNumber, 77) << call.op;
            }
            EXPECT_EQ(tape.fileHandle(), -1) << "closed";
            EXPECT_EQ(tape.versionNumber(), 77) << "versionNumber keeps the closed file's value";
        } else {
            EXPECT_FALSE(opened.threw()) << c.fileHandle << ": " << opened.describe();
            // The double's default open gives no handle: the object is still closed for create.
            EXPECT_FALSE(created.threw()) << c.fileHandle << ": " << created.describe();
            EXPECT_EQ(read.devCode(), DevError) << c.fileHandle;
            EXPECT_EQ(written.devCode(), DevError) << c.fileHandle;
            EXPECT_EQ(rewound.devCode(), DevFileNotOpen) << c.fileHandle;
            EXPECT_EQ(closed.devCode(), DevFileNotOpen) << c.fileHandle;
            EXPECT_EQ(doubles::ops(), (std::vector<std::string>{"openShowtape", "createShowtape"}));
            EXPECT_EQ(frameData(frame), (std::vector<jint>{1, 2})) << "the frame is not touched";
        }
    }
}

TEST_F(ShowFileTest, TheHandleIsRebuiltFromTheFieldsOnEveryCall) {
    doubles::push("createShowtape", handing(DevSuccess, 4, 40));
    ASSERT_FALSE(createPlain(tape_).threw());
    ASSERT_FALSE(tape_.rewind().threw());
    tape_.setFields(5, 50);  // changed behind the bridge's back: the next call uses the new values
    ASSERT_FALSE(tape_.write(javaFrame(0, 0, {})).threw());
    tape_.setFields(-6, (jlong{1} << 32) | 60);
    ASSERT_FALSE(tape_.close().threw());
    const auto calls = doubles::calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].tape.versionNumber, 4);
    EXPECT_EQ(calls[1].tape.fileHandle, 40);
    EXPECT_EQ(calls[2].tape.versionNumber, 5);
    EXPECT_EQ(calls[2].tape.fileHandle, 50);
    EXPECT_EQ(calls[3].tape.versionNumber, -6);
    EXPECT_EQ(calls[3].tape.fileHandle, 60);
    for (const auto& call : calls) EXPECT_FALSE(call.tapeWasNull) << call.op;
}

TEST_F(ShowFileTest, AFailedCloseLeavesTheObjectOpenAndCloseCanBeCalledAgain) {
    doubles::push("createShowtape", handing(DevSuccess, 11, 3));
    ASSERT_FALSE(createPlain(tape_).threw());
    doubles::push("closeShowtape", DevIOError);
    EXPECT_EQ(tape_.close().devCode(), DevIOError);
    EXPECT_EQ(tape_.fileHandle(), 3);
    EXPECT_EQ(tape_.versionNumber(), 11);
    ASSERT_FALSE(tape_.close().threw());
    EXPECT_EQ(tape_.fileHandle(), -1);
    EXPECT_EQ(tape_.versionNumber(), 11);
    EXPECT_EQ(tape_.close().devCode(), DevFileNotOpen) << "closed now";
    EXPECT_EQ(doubles::callsOf("closeShowtape").size(), 2u);
}

TEST_F(ShowFileTest, LibraryCodesAreRaisedUnchangedAndLeaveTheFieldsAlone) {
    for (const char* op : {"rewindShowtape", "closeShowtape", "writeDMXFrame", "readDMXFrame"}) {
        for (DevReturn code : {DevReturn{DevError}, DevReturn{DevInvalidHandle}, DevReturn{DevTruncated},
                               DevReturn{DevFileNotOpen}, DevReturn{-1}, DevReturn{INT_MAX}}) {
            doubles::reset();
            doubles::push(op, code);
            tape_.setFields(8, 9);
            jobject frame = javaFrame(0, 0, {3});
            jvmtest::CallResult r;
            const std::string name = op;
            if (name == "rewindShowtape") r = tape_.rewind();
            else if (name == "closeShowtape") r = tape_.close();
            else if (name == "writeDMXFrame") r = tape_.write(frame);
            else r = tape_.read(frame);
            EXPECT_EQ(r.devCode(), code) << op << ": " << r.describe();
            EXPECT_EQ(tape_.fileHandle(), 9) << op;
            EXPECT_EQ(tape_.versionNumber(), 8) << op;
            EXPECT_EQ(doubles::ops(), std::vector<std::string>{op});
        }
    }
}

}  // namespace
