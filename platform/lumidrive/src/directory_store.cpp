#include "directory_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "showtape.h"

namespace lumidrive {

namespace {

constexpr const char* kTempPrefix = ".upload-";

// Frames are read into a buffer of kMaxFileChannels bytes; the show-file
// library may write that many.
static_assert(kMaxFileChannels >= SHOWTAPE_MAX_CHANNELS);

DevReturn fromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return DevFileNotFound;
    case ENAMETOOLONG:
        return DevInvalidName;
    case EEXIST:
    case ENOTEMPTY:
        return DevFileExists;
    case ENOMEM:
        return DevOutOfMemory;
    case ENOSPC:
    case EDQUOT:
        return DevStoreFull;
    default:
        return DevIOError;
    }
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirHolder = std::unique_ptr<DIR, DirCloser>;

class FdHolder {
public:
    explicit FdHolder(int fd) : fd_(fd) {}
    FdHolder(const FdHolder&) = delete;
    FdHolder& operator=(const FdHolder&) = delete;
    ~FdHolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Makes a rename or unlink in `folder` durable.
void syncFolder(const std::string& folder) {
    FdHolder fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

StoreEntry entryFromStat(const std::string& name, const struct stat& st) {
    StoreEntry e;
    e.name = name;
    e.isDirectory = S_ISDIR(st.st_mode);
    e.size = e.isDirectory ? 0 : static_cast<int64_t>(st.st_size);
    e.lastModified = static_cast<int64_t>(st.st_mtim.tv_sec);
    return e;
}

// Reads a folder's listable entries: real files and folders with names a
// caller could give; symbolic links, dot-names and anything else are skipped.
DevReturn readFolder(const std::string& path, std::vector<StoreEntry>& out) {
    out.clear();
    DirHolder dir(::opendir(path.c_str()));
    if (!dir) return fromErrno(errno);
    const int dfd = ::dirfd(dir.get());
    errno = 0;
    while (const dirent* d = ::readdir(dir.get())) {
        const std::string name = d->d_name;
        if (!isListableComponent(name)) continue;
        struct stat st {};
        if (::fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
        out.push_back(entryFromStat(name, st));
        errno = 0;
    }
    if (errno != 0) return DevIOError;
    std::sort(out.begin(), out.end(),
              [](const StoreEntry& a, const StoreEntry& b) { return a.name < b.name; });
    return DevSuccess;
}

DevReturn addUsage(const std::string& path, StoreUsage& u, int depth) {
    if (depth > 32) return DevSuccess;  // deeper folders are not counted
    std::vector<StoreEntry> entries;
    const DevReturn r = readFolder(path, entries);
    if (r != DevSuccess) return r;
    for (const auto& e : entries) {
        if (e.isDirectory) {
            const DevReturn sub = addUsage(path + "/" + e.name, u, depth + 1);
            if (sub != DevSuccess && sub != DevFileNotFound) return sub;
        } else {
            u.bytes += e.size;
            ++u.shows;
        }
    }
    return DevSuccess;
}

class FileReader final : public ShowReader {
public:
    explicit FileReader(ShowtapeHandle h) : handle_(h) {}
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader() override { closeShowtape(&handle_); }
    DevReturn next(DMXFrame& frame) override { return readDMXFrame(&handle_, &frame); }

private:
    ShowtapeHandle handle_;
};

// Writes into a hidden temporary in the store's root and moves it under the
// show's name on commit; an uncommitted writer removes its temporary.
class FileWriter final : public ShowWriter {
public:
    FileWriter(ShowtapeHandle h, std::string tempPath, std::string finalPath, std::string finalFolder)
        : handle_(h), temp_(std::move(tempPath)), final_(std::move(finalPath)),
          finalFolder_(std::move(finalFolder)) {}
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    ~FileWriter() override {
        if (open_) closeShowtape(&handle_);
        if (!committed_) ::unlink(temp_.c_str());
    }

    DevReturn append(const DMXFrame& frame) override { return writeDMXFrame(&handle_, &frame); }

    DevReturn commit(bool replace) override {
        if (open_) {
            const DevReturn r = closeShowtape(&handle_);
            if (r != DevSuccess) return r;
            open_ = false;
        }
        if (replace) {
            struct stat st {};
            // Never replace a folder or a symbolic link (which might lead
            // out of the store): only a show file.
            if (::lstat(final_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return DevFileExists;
            if (::rename(temp_.c_str(), final_.c_str()) != 0) return fromErrno(errno);
        } else if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE) != 0) {
            const int e = errno;
            if (e != EINVAL && e != ENOSYS) return fromErrno(e);
            // The file system cannot rename without replacing: link, then unlink.
            if (::link(temp_.c_str(), final_.c_str()) != 0) return fromErrno(errno);
            ::unlink(temp_.c_str());
        }
        committed_ = true;
        syncFolder(finalFolder_);
        return DevSuccess;
    }

private:
    ShowtapeHandle handle_;
    std::string temp_;
    std::string final_;
    std::string finalFolder_;
    bool open_ = true;
    bool committed_ = false;
};

std::string tempName() {
    static std::atomic<unsigned> counter{0};
    return std::string(kTempPrefix) + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".dmx";
}

}  // namespace

DirectoryStore::DirectoryStore(std::filesystem::path root) : root_(root.string()) {}

void DirectoryStore::prepare() {
    ::mkdir(root_.c_str(), 0777);  // failing here shows later, as the store's errors
    DirHolder dir(::opendir(root_.c_str()));
    if (!dir) return;
    const int dfd = ::dirfd(dir.get());
    std::vector<std::string> stale;
    while (const dirent* d = ::readdir(dir.get())) {
        // Ours, and the show-file library's own temporary for one of ours
        // ("." + our name + a suffix of its own).
        const std::string_view name = d->d_name;
        if (name.starts_with(kTempPrefix) || name.starts_with(std::string(".") + kTempPrefix))
            stale.emplace_back(name);
    }
    for (const auto& name : stale) ::unlinkat(dfd, name.c_str(), 0);
}

DevReturn DirectoryStore::resolveFolder(const StorePath& folder, std::string& out) const {
    std::string path = root_;
    for (const auto& part : folder.parts) {
        path += "/" + part;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return fromErrno(errno);
        if (!S_ISDIR(st.st_mode)) return DevFileNotFound;  // a file, or a link we do not follow
    }
    out = std::move(path);
    return DevSuccess;
}

DevReturn DirectoryStore::list(const StorePath& folder, std::vector<StoreEntry>& out) {
    std::string path;
    DevReturn r = resolveFolder(folder, path);
    if (r != DevSuccess) return r;
    r = readFolder(path, out);
    if (r == DevFileNotFound && folder.isRoot()) {  // no show stored yet
        out.clear();
        return DevSuccess;
    }
    return r;
}

DevReturn DirectoryStore::usage(StoreUsage& out) {
    StoreUsage u;
    const DevReturn r = addUsage(root_, u, 0);
    if (r != DevSuccess && r != DevFileNotFound) return r;
    out = u;
    return DevSuccess;
}

DevReturn DirectoryStore::find(const StorePath& path, StoreEntry& out) {
    std::string folder;
    DevReturn r = resolveFolder(path.parent(), folder);
    if (r != DevSuccess) return r;
    struct stat st {};
    if (::lstat((folder + "/" + path.leaf()).c_str(), &st) != 0) return fromErrno(errno);
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return DevFileNotFound;
    out = entryFromStat(path.leaf(), st);
    return DevSuccess;
}

DevReturn DirectoryStore::openShow(const StorePath& path, ShowtapeHeader& header,
                                   std::unique_ptr<ShowReader>& out) {
    StoreEntry e;
    DevReturn r = find(path, e);
    if (r != DevSuccess) return r;
    if (e.isDirectory) return DevFileNotFound;
    ShowtapeHandle h{0, -1};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader got;
    r = openShowtape(&h, (root_ + "/" + path.joined()).c_str(), name, &got);
    if (r != DevSuccess) return r;
    out = std::make_unique<FileReader>(h);
    header = got;
    return DevSuccess;
}

DevReturn DirectoryStore::createShow(const StorePath& path, const std::u16string& showName,
                                     const ShowtapeHeader& header, std::unique_ptr<ShowWriter>& out) {
    if (::mkdir(root_.c_str(), 0777) != 0 && errno != EEXIST) return fromErrno(errno);
    std::string folder;
    const DevReturn r0 = resolveFolder(path.parent(), folder);
    if (r0 != DevSuccess) return r0;

    std::u16string name(showName);
    name.push_back(0);
    const std::string temp = root_ + "/" + tempName();
    ShowtapeHandle h{0, -1};
    const DevReturn r = createShowtape(&h, temp.c_str(), name.c_str(), &header, 1, 1);
    if (r != DevSuccess) return r;
    out = std::make_unique<FileWriter>(h, temp, folder + "/" + path.leaf(), folder);
    return DevSuccess;
}

DevReturn DirectoryStore::remove(const StorePath& path) {
    std::string folder;
    DevReturn r = resolveFolder(path.parent(), folder);
    if (r != DevSuccess) return r;
    const std::string file = folder + "/" + path.leaf();
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return fromErrno(errno);
    if (!S_ISREG(st.st_mode)) return DevFileNotFound;
    if (::unlink(file.c_str()) != 0) return fromErrno(errno);
    syncFolder(folder);
    return DevSuccess;
}

}  // namespace lumidrive
