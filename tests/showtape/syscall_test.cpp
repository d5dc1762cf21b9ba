// The order of the durable steps of close, and what happens when one fails.
// This program defines fsync, renameat and renameat2 itself; the library's
// calls bind to these definitions, which log the call, can fail on request,
// and otherwise hand over to the C library's functions.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <string>
#include <vector>

#include "support.h"

namespace {

enum class Kind { FileSync, FolderSync, Rename };

struct Event {
    Kind kind;
    std::string what;  // the file synced, or the new name of a rename
};

std::mutex gMutex;
std::vector<Event> gEvents;
int gFailFileSyncs = 0;    // that many fsyncs of regular files fail with EIO
int gFailFolderSyncs = 0;  // that many fsyncs of folders fail with EIO

std::string pathOfFd(int fd) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

std::string nameIn(int dirFd, const char* name) {
    return name[0] == '/' ? std::string(name) : pathOfFd(dirFd) + "/" + name;
}

template <class Function>
Function realFunction(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void clearLog() {
    std::lock_guard lock(gMutex);
    gEvents.clear();
    gFailFileSyncs = 0;
    gFailFolderSyncs = 0;
}

}  // namespace

extern "C" int fsync(int fd) {
    static const auto real = realFunction<int (*)(int)>("fsync");
    struct stat info{};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    {
        std::lock_guard lock(gMutex);
        gEvents.push_back({folder ? Kind::FolderSync : Kind::FileSync, pathOfFd(fd)});
        int& failures = folder ? gFailFolderSyncs : gFailFileSyncs;
        if (failures > 0) {
            --failures;
            errno = EIO;
            return -1;
        }
    }
    return real(fd);
}

extern "C" int renameat(int oldDir, const char* oldName, int newDir, const char* newName) {
    static const auto real = realFunction<int (*)(int, const char*, int, const char*)>("renameat");
    const int rc = real(oldDir, oldName, newDir, newName);
    if (rc == 0) {
        std::lock_guard lock(gMutex);
        gEvents.push_back({Kind::Rename, nameIn(newDir, newName)});
    }
    return rc;
}

extern "C" int renameat2(int oldDir, const char* oldName, int newDir, const char* newName,
                         unsigned int flags) {
    static const auto real =
        realFunction<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    const int rc = real(oldDir, oldName, newDir, newName, flags);
    if (rc == 0) {
        std::lock_guard lock(gMutex);
        gEvents.push_back({Kind::Rename, nameIn(newDir, newName)});
    }
    return rc;
}

namespace st_test {
namespace {

class ShowtapeCloseSteps : public ::testing::Test {
protected:
    void SetUp() override { clearLog(); }
    void TearDown() override { clearLog(); }

    ShowtapeHandle create(bool replaceExisting) {
        const std::u16string name = u"steps";
        const ShowtapeHeader header = sampleHeader();
        ShowtapeHandle handle{};
        EXPECT_EQ(createShowtape(&handle, path_.c_str(), name.c_str(), &header, 1,
                                 replaceExisting ? 1 : 0),
                  DevSuccess);
        std::uint8_t data[4] = {1, 2, 3, 4};
        DMXFrame frame{4, 0, 0, data};
        EXPECT_EQ(writeDMXFrame(&handle, &frame), DevSuccess);
        return handle;
    }

    std::vector<Event> events() {
        std::lock_guard lock(gMutex);
        return gEvents;
    }

    TempDir dir_;
    std::string path_ = dir_.file("steps.dmx");
};

TEST_F(ShowtapeCloseSteps, FileIsSyncedBeforeItGetsItsNameAndTheFolderAfter) {
    for (bool replace : {true, false}) {
        SCOPED_TRACE(replace ? "replacing allowed" : "no replacing");
        ::unlink(path_.c_str());
        const ShowtapeHandle handle = create(replace);
        clearLog();
        ASSERT_EQ(closeShowtape(&handle), DevSuccess);
        const std::vector<Event> log = events();
        ASSERT_EQ(log.size(), 3u);
        EXPECT_EQ(log[0].kind, Kind::FileSync);
        EXPECT_NE(log[0].what.find("/.steps.dmx.tmp-"), std::string::npos) << log[0].what;
        EXPECT_EQ(log[1].kind, Kind::Rename);
        EXPECT_EQ(log[1].what, path_);
        EXPECT_EQ(log[2].kind, Kind::FolderSync);
        EXPECT_EQ(log[2].what, dir_.path());
    }
}

TEST_F(ShowtapeCloseSteps, FailedFileSyncIsFinalAndNothingIsMovedIntoPlace) {
    const ShowtapeHandle handle = create(true);
    {
        std::lock_guard lock(gMutex);
        gFailFileSyncs = 1;
    }
    EXPECT_EQ(closeShowtape(&handle), DevIOError);
    EXPECT_FALSE(exists(path_));
    // A second fsync might succeed without the lost pages being on disk, so
    // the library does not try again and the file never takes the name.
    EXPECT_EQ(closeShowtape(&handle), DevIOError);
    EXPECT_FALSE(exists(path_));
    for (const Event& e : events()) EXPECT_NE(e.kind, Kind::Rename);
}

TEST_F(ShowtapeCloseSteps, FailedFolderSyncIsReportedAndRetried) {
    const ShowtapeHandle handle = create(false);
    {
        std::lock_guard lock(gMutex);
        gFailFolderSyncs = 1;
    }
    EXPECT_EQ(closeShowtape(&handle), DevIOError);
    EXPECT_TRUE(exists(path_));  // the rename happened; its durability failed
    clearLog();
    ASSERT_EQ(closeShowtape(&handle), DevSuccess);
    const std::vector<Event> log = events();
    ASSERT_EQ(log.size(), 1u);  // only the step that failed is repeated
    EXPECT_EQ(log[0].kind, Kind::FolderSync);
    EXPECT_EQ(closeShowtape(&handle), DevInvalidHandle);
    EXPECT_EQ(readShow(path_).endCode, DevNoMoreData);
}

}  // namespace
}  // namespace st_test
