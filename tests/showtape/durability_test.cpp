// The crash-safety promise: a show appears under its name only when close
// succeeds, whole; until then an older file of that name is untouched, and a
// process that dies half way leaves the older file and no half show.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "support.h"

namespace st_test {
namespace {

const std::vector<std::uint8_t> kOldContent = {'o', 'l', 'd', ' ', 's', 'h', 'o', 'w'};

// Entries of `dir` that look like the library's temporary files for `name`.
std::vector<std::string> tempFilesFor(const TempDir& dir, const std::string& name) {
    const std::regex pattern("\\." + name + "\\.tmp-[A-Za-z0-9]{6}");
    std::vector<std::string> temps;
    for (const std::string& entry : dir.entries()) {
        if (std::regex_match(entry, pattern)) temps.push_back(entry);
    }
    return temps;
}

// Runs `child` in a forked process and returns its wait status.
template <class Child>
int runInChild(Child child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        child();
        ::_exit(100);  // the child is expected to end itself
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// Creates `path` and writes `frames` frames of 2048 channels, enough that
// most of them have already reached the temporary file.
ShowtapeHandle createAndWrite(const std::string& path, int frames) {
    const std::u16string name = u"durable";
    const ShowtapeHeader header = sampleHeader();
    ShowtapeHandle handle{};
    if (createShowtape(&handle, path.c_str(), name.c_str(), &header, 1, 1) != DevSuccess) ::_exit(1);
    std::vector<std::uint8_t> data(SHOWTAPE_MAX_CHANNELS, 0x42);
    for (int i = 0; i < frames; ++i) {
        DMXFrame frame{SHOWTAPE_MAX_CHANNELS, 0, i, data.data()};
        if (writeDMXFrame(&handle, &frame) != DevSuccess) ::_exit(2);
    }
    return handle;
}

TEST(ShowtapeDurability, ReplacedFileStaysIntactUntilCloseThenIsReplacedWhole) {
    TempDir dir;
    const std::string path = dir.file("show.dmx");
    writeBytes(path, kOldContent);

    const Show show{u"new", sampleHeader(), sampleFrames(200)};
    ShowtapeHandle handle{};
    ASSERT_EQ(createShowtape(&handle, path.c_str(), show.name.c_str(), &show.header, 1, 1), DevSuccess);
    for (Frame f : show.frames) {
        DMXFrame frame{static_cast<std::int32_t>(f.data.size()), f.startCode, f.timeCode, f.data.data()};
        ASSERT_EQ(writeDMXFrame(&handle, &frame), DevSuccess);
        ASSERT_EQ(readBytes(path), kOldContent);
    }
    EXPECT_EQ(tempFilesFor(dir, "show.dmx").size(), 1u);

    ASSERT_EQ(closeShowtape(&handle), DevSuccess);
    EXPECT_EQ(readBytes(path), doc::encode(show));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"show.dmx"});  // temporary file gone
}

TEST(ShowtapeDurability, NewFileAppearsOnlyAtClose) {
    TempDir dir;
    const std::string path = dir.file("fresh.dmx");
    const ShowtapeHandle handle = createAndWrite(path, 100);
    EXPECT_FALSE(exists(path));
    ASSERT_EQ(closeShowtape(&handle), DevSuccess);
    const ReadResult got = readShow(path);
    EXPECT_EQ(got.frames.size(), 100u);
    EXPECT_EQ(got.endCode, DevNoMoreData);
}

TEST(ShowtapeDurability, ProcessDyingBeforeCloseLeavesOldFileAndNoHalfShow) {
    for (const bool oldFile : {true, false}) {
        SCOPED_TRACE(oldFile ? "with an older file" : "without an older file");
        TempDir dir;
        const std::string path = dir.file("show.dmx");
        if (oldFile) writeBytes(path, kOldContent);

        const int status = runInChild([&] {
            createAndWrite(path, 300);  // about 600 KiB, most of it on disk
            ::_exit(0);                 // dies without close and without exit handlers
        });
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);

        if (oldFile) {
            EXPECT_EQ(readBytes(path), kOldContent);
        } else {
            EXPECT_FALSE(exists(path));
        }
        // What a crash leaves is the documented temporary file, nothing else.
        const auto temps = tempFilesFor(dir, "show.dmx");
        ASSERT_EQ(temps.size(), 1u);
        EXPECT_EQ(dir.entries().size(), oldFile ? 2u : 1u);
        EXPECT_EQ(readShow(dir.file(temps[0])).endCode, DevTruncated);
    }
}

TEST(ShowtapeDurability, NormalExitWithAShowStillOpenRemovesItsTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("show.dmx");
    writeBytes(path, kOldContent);
    const int status = runInChild([&] {
        createAndWrite(path, 50);
        std::exit(0);  // runs the library's exit handler
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(path), kOldContent);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"show.dmx"});
}

TEST(ShowtapeDurability, ForkedChildExitingDoesNotRemoveTheParentsTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("parent.dmx");
    const ShowtapeHandle handle = createAndWrite(path, 10);
    const int status = runInChild([] { std::exit(0); });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(closeShowtape(&handle), DevSuccess);
    EXPECT_EQ(readShow(path).frames.size(), 10u);
}

TEST(ShowtapeDurability, NoReplacingIsCheckedAtCreateAndAgainAtClose) {
    TempDir dir;
    const std::string path = dir.file("show.dmx");
    const std::u16string name = u"keep";
    const ShowtapeHeader header = sampleHeader();

    writeBytes(path, kOldContent);
    ShowtapeHandle handle{};
    EXPECT_EQ(createShowtape(&handle, path.c_str(), name.c_str(), &header, 1, 0), DevFileExists);
    EXPECT_EQ(readBytes(path), kOldContent);

    // The name is free at create, but someone takes it before close.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(createShowtape(&handle, path.c_str(), name.c_str(), &header, 1, 0), DevSuccess);
    std::uint8_t data[3] = {1, 2, 3};
    DMXFrame frame{3, 0, 0, data};
    ASSERT_EQ(writeDMXFrame(&handle, &frame), DevSuccess);
    writeBytes(path, kOldContent);
    EXPECT_EQ(closeShowtape(&handle), DevFileExists);
    EXPECT_EQ(readBytes(path), kOldContent);
    // Still open: no more frames once close has begun, but close may be retried.
    EXPECT_EQ(writeDMXFrame(&handle, &frame), DevWrongState);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    ASSERT_EQ(closeShowtape(&handle), DevSuccess);
    const ReadResult got = readShow(path);
    EXPECT_EQ(got.name, name);
    EXPECT_EQ(got.frames, (std::vector<Frame>{Frame{0, 0, {1, 2, 3}}}));
    EXPECT_EQ(got.endCode, DevNoMoreData);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"show.dmx"});
}

// Exit codes of the child in the next test, so a failure names its step.
enum ChildStep : int {
    kCreateFailed = 10,
    kNoWriteFailed,
    kWrongWriteError,
    kCloseDidNotFail,
    kWriteAfterFailedCloseAccepted,
    kLimitNotRaised,
    kCloseFailedAgain,
    kPipeFailed
};

TEST(ShowtapeDurability, FailedWritesKeepTheEarlierFramesAndTheFileCanStillBeClosed) {
    TempDir dir;
    const std::string path = dir.file("full.dmx");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);

    const int status = runInChild([&] {
        // A file size limit stands in for a full disk: writes past it fail
        // with EFBIG (the signal that would kill us is ignored).
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t original = limit.rlim_cur;
        limit.rlim_cur = 200 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);

        const std::u16string name = u"full";
        const ShowtapeHeader header = sampleHeader();
        ShowtapeHandle handle{};
        if (createShowtape(&handle, path.c_str(), name.c_str(), &header, 1, 1) != DevSuccess) {
            ::_exit(kCreateFailed);
        }
        std::vector<std::uint8_t> data(SHOWTAPE_MAX_CHANNELS);
        std::int32_t accepted = 0;
        DevReturn rc = DevSuccess;
        for (; accepted < 1000; ++accepted) {
            for (std::size_t b = 0; b < data.size(); ++b) {
                data[b] = static_cast<std::uint8_t>(b + static_cast<std::size_t>(accepted));
            }
            DMXFrame frame{SHOWTAPE_MAX_CHANNELS, 1, accepted, data.data()};
            rc = writeDMXFrame(&handle, &frame);
            if (rc != DevSuccess) break;
        }
        if (rc == DevSuccess) ::_exit(kNoWriteFailed);
        if (rc != DevIOError) ::_exit(kWrongWriteError);
        // The frames in the buffer cannot reach the file either: close fails...
        if (closeShowtape(&handle) != DevIOError) ::_exit(kCloseDidNotFail);
        DMXFrame late{0, 0, 0, data.data()};
        if (writeDMXFrame(&handle, &late) != DevWrongState) ::_exit(kWriteAfterFailedCloseAccepted);
        // ...until there is room again.
        limit.rlim_cur = original;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(kLimitNotRaised);
        if (closeShowtape(&handle) != DevSuccess) ::_exit(kCloseFailedAgain);
        if (::write(pipeFds[1], &accepted, sizeof accepted) != sizeof accepted) ::_exit(kPipeFailed);
        ::_exit(0);
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    std::int32_t accepted = -1;
    ASSERT_EQ(::read(pipeFds[0], &accepted, sizeof accepted), static_cast<ssize_t>(sizeof accepted));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    ASSERT_GT(accepted, 0);
    const ReadResult got = readShow(path);
    ASSERT_EQ(got.openCode, DevSuccess);
    ASSERT_EQ(got.frames.size(), static_cast<std::size_t>(accepted));
    for (std::int32_t i = 0; i < accepted; ++i) {
        const Frame& f = got.frames[static_cast<std::size_t>(i)];
        ASSERT_EQ(f.timeCode, i);
        for (std::size_t b = 0; b < f.data.size(); ++b) {
            ASSERT_EQ(f.data[b], static_cast<std::uint8_t>(b + static_cast<std::size_t>(i)));
        }
    }
    EXPECT_EQ(got.endCode, DevNoMoreData);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"full.dmx"});
}

TEST(ShowtapeDurability, NewFilePermissionsFollowTheUmask) {
    TempDir dir;
    const std::string path = dir.file("mode.dmx");
    const mode_t previous = ::umask(022);
    const DevReturn rc = writeShow(path, Show{u"m", sampleHeader(), {}});
    ::umask(previous);
    ASSERT_EQ(rc, DevSuccess);
    struct stat info{};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace st_test
