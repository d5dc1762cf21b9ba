// Names given by callers stay inside the controller's store: bad names are
// refused with DevInvalidName and nothing outside the store changes.
#include <cstring>

#include "sim_support.h"

using namespace simtest;

namespace {

class NamesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = sim_.addController("c", descriptor(1, 1));
        sim_.addController("neighbour", descriptor(1, 2));
        sim_.use();
        h_ = openOrFail(1, 1);
        FrameSet fs(2, {4}, 1);
        ASSERT_EQ(upload(h_, u"Inside", makeHeader(4, 2), fs.frames), DevSuccess);
        // Things a stray name might reach: a file beside the simulator
        // folder, the controller's own files, a neighbour's show.
        writeFile(sim_.outside() / "victim.dmx", "precious");
        writeFile(sim_.outside() / "Inside", "precious too");
        const int32_t n = openOrFail(1, 2);
        ASSERT_EQ(upload(n, u"Theirs", makeHeader(4, 2), fs.frames), DevSuccess);
        ASSERT_EQ(closeDevice(n), DevSuccess);
    }
    void TearDown() override { closeDevice(h_); }

    SimDir sim_;
    fs::path dir_;
    int32_t h_ = -1;
};

std::u16string repeat(char16_t c, std::size_t n) { return std::u16string(n, c); }

TEST_F(NamesTest, NamesThatLeaveTheStoreOrCannotBeStoredAreRefused) {
    const std::u16string bad[] = {
        u"",
        u".",
        u"..",
        u"../victim.dmx",
        u"../../victim.dmx",
        u"../controller.ini",
        u"..\\controller.ini",
        u"../../neighbour/shows/Theirs",
        u"Inside/../../controller.ini",
        u"/etc/passwd",
        u"\\etc\\passwd",
        u"/",
        u"Inside/",
        u"a//b",
        u"./Inside",
        u".hidden",
        u"sub/.hidden",
        u"tab\there",
        u"new\nline",
        u"del\x7f",
        repeat(u'a', 256),
        repeat(u'\u00e9', 200),  // 200 units but 400 UTF-8 bytes: too long for a file name
        std::u16string(u"lone ") + char16_t(0xD800) + u" high",
        std::u16string(u"lone ") + char16_t(0xDC00) + u" low",
        std::u16string(u"swapped ") + char16_t(0xDC00) + char16_t(0xD800),
        std::u16string(u"ends high ") + char16_t(0xD83D),
    };
    const auto before = snapshot(sim_.outside());
    const auto listed = listAll(h_);
    for (const auto& name : bad) {
        SCOPED_TRACE(testing::PrintToString(std::vector<int>(name.begin(), name.end())));
        ShowtapeHeader header = makeHeader(4, 1);
        DevFileEntry e;
        EXPECT_EQ(createFile(h_, name.c_str(), &header, 1), DevInvalidName);
        EXPECT_EQ(createTestFile(h_, name.c_str(), &header, 1), DevInvalidName);
        EXPECT_EQ(openFile(h_, name.c_str(), &header), DevInvalidName);
        EXPECT_EQ(deleteFile(h_, name.c_str(), nullptr), DevInvalidName);
        EXPECT_EQ(startPlayback(h_, name.c_str()), DevInvalidName);
        if (name != u".") {
            EXPECT_EQ(getFirstFile(h_, name.c_str(), &e), DevInvalidName);
        }
        DevState s = -1;
        ASSERT_EQ(getDeviceState(h_, &s), DevSuccess);
        ASSERT_EQ(s, DevStateIdle);
    }
    EXPECT_EQ(snapshot(sim_.outside()), before);
    EXPECT_EQ(listAll(h_), listed);
    EXPECT_EQ(openFile(h_, nullptr, nullptr), DevInvalidArgument);
}

TEST_F(NamesTest, TheLongestNameFitsAndTheUnitAfterItsTerminatorIsNeverRead) {
    // 255 units, then the terminator, then nothing readable: the name sits
    // at the very end of its allocation, so reading past it trips ASan.
    const std::u16string longest = repeat(u'n', 255);
    auto exact = std::make_unique<DevChar[]>(256);
    std::memcpy(exact.get(), longest.c_str(), 256 * sizeof(DevChar));
    FrameSet fs(1, {1}, 1);
    ShowtapeHeader header = makeHeader(1, 1);
    ASSERT_EQ(createFile(h_, exact.get(), &header, 0), DevSuccess);
    ASSERT_EQ(writeFrames(h_, 1, fs.frames.data()), DevSuccess);
    ASSERT_EQ(closeFile(h_), DevSuccess);
    EXPECT_EQ(listAll(h_).count(longest), 1u);
    EXPECT_TRUE(fs::exists(sim_.shows("c") / std::string(255, 'n')));
}

TEST_F(NamesTest, UnicodeNamesRoundTripAndAreStoredAsUtf8) {
    const std::u16string name = u16("Lichtshow Ä ☀ 🎆 finale");
    FrameSet fs(2, {4}, 1);
    ASSERT_EQ(upload(h_, name, makeHeader(4, 2), fs.frames), DevSuccess);
    EXPECT_EQ(listAll(h_).count(name), 1u);
    EXPECT_TRUE(fs::exists(sim_.shows("c") / "Lichtshow Ä ☀ 🎆 finale"));
    ReadShow back;
    EXPECT_EQ(readBack(h_, name, back), DevSuccess);
    EXPECT_EQ(deleteFile(h_, name.c_str(), nullptr), DevSuccess);
    EXPECT_FALSE(fs::exists(sim_.shows("c") / "Lichtshow Ä ☀ 🎆 finale"));
}

TEST_F(NamesTest, SymbolicLinksInTheStoreAreNotFollowed) {
    fs::create_symlink(sim_.outside() / "victim.dmx", sim_.shows("c") / "link");
    fs::create_symlink(sim_.outside(), sim_.shows("c") / "outside");
    const auto before = snapshot(sim_.outside() / "controllers" / "neighbour");
    const std::string victim = readFile(sim_.outside() / "victim.dmx");

    EXPECT_EQ(listAll(h_).size(), 1u);  // only "Inside"
    ShowtapeHeader header = makeHeader(4, 1);
    DevFileEntry e;
    EXPECT_EQ(openFile(h_, u"link", &header), DevFileNotFound);
    EXPECT_EQ(deleteFile(h_, u"link", nullptr), DevFileNotFound);
    EXPECT_EQ(getFirstFile(h_, u"outside", &e), DevFileNotFound);
    EXPECT_EQ(openFile(h_, u"outside/victim.dmx", &header), DevFileNotFound);
    EXPECT_EQ(deleteFile(h_, u"outside/victim.dmx", nullptr), DevFileNotFound);
    EXPECT_EQ(createFile(h_, u"outside/new", &header, 1), DevFileNotFound);
    FrameSet fs(1, {4}, 1);
    EXPECT_EQ(upload(h_, u"link", makeHeader(4, 1), fs.frames, true), DevFileExists);

    EXPECT_EQ(readFile(sim_.outside() / "victim.dmx"), victim);
    EXPECT_TRUE(fs::is_symlink(sim_.shows("c") / "link"));
    EXPECT_FALSE(fs::exists(sim_.outside() / "new"));
    EXPECT_EQ(snapshot(sim_.outside() / "controllers" / "neighbour"), before);
}

}  // namespace
