#include "show_writer.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "format.h"

namespace showtape {

namespace {

// Longest file name most Linux file systems accept.
constexpr std::size_t kMaxNameBytes = 255;
constexpr char kTempInfix[] = ".tmp-";
constexpr std::size_t kTempSuffixChars = 6;
constexpr int kTempAttempts = 100;

struct SplitPath {
    std::string folder;  // "." for a bare file name
    std::string name;
};

// Splits path into folder and last component. False when there is no usable
// last component ("", "dir/", ".", "..").
bool splitPath(const char* path, SplitPath& out) {
    const std::string_view whole(path);
    const std::size_t slash = whole.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view(".")
                                    : slash == 0                    ? std::string_view("/")
                                                                    : whole.substr(0, slash);
    const std::string_view name =
        slash == std::string_view::npos ? whole : whole.substr(slash + 1);
    out.folder = std::string(folder);
    out.name = std::string(name);
    return !name.empty() && name != "." && name != "..";
}

std::uint64_t randomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) {
        return bits;
    }
    // No entropy at hand: mix the clock, the process and a counter. The name
    // only has to be unlikely to exist; O_EXCL settles any collision.
    static std::atomic<std::uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::uint64_t z = static_cast<std::uint64_t>(now.tv_nsec) ^
                      (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                      (static_cast<std::uint64_t>(::getpid()) << 48) ^
                      (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// ".<name>.tmp-XXXXXX", with <name> shortened when the whole would be longer
// than a file name may be.
std::string tempNameFor(const std::string& name) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t room = kMaxNameBytes - 1 - (sizeof kTempInfix - 1) - kTempSuffixChars;
    std::string temp = ".";
    temp += name.substr(0, room);
    temp += kTempInfix;
    std::uint64_t bits = randomBits();
    for (std::size_t i = 0; i < kTempSuffixChars; ++i) {
        temp += kAlphabet[bits % (sizeof kAlphabet - 1)];
        bits /= sizeof kAlphabet - 1;
    }
    return temp;
}

bool headerTextTerminated(const ShowtapeHeader& header) {
    return textLength(header.commentField, DEV_TEXT_UNITS) >= 0 &&
           textLength(header.effectSignature, DEV_TEXT_UNITS) >= 0;
}

}  // namespace

ShowWriter::ShowWriter(UniqueFd dir, UniqueFd file, std::string targetName, std::string tempName,
                       bool replaceExisting)
    : dir_(std::move(dir)),
      file_(std::move(file)),
      targetName_(std::move(targetName)),
      tempName_(std::move(tempName)),
      replaceExisting_(replaceExisting),
      creator_(::getpid()),
      buffer_(kBufferSize) {}

ShowWriter::~ShowWriter() {
    if (stage_ != Stage::InPlace && stage_ != Stage::Done && dir_.valid() &&
        creator_ == ::getpid()) {
        ::unlinkat(dir_.get(), tempName_.c_str(), 0);
    }
}

DevReturn ShowWriter::create(const char* path, const DevChar* name, const ShowtapeHeader& header,
                             bool replaceExisting, std::unique_ptr<ShowWriter>& out) {
    SplitPath split;
    if (!splitPath(path, split)) return DevInvalidName;
    if (split.name.size() > kMaxNameBytes) return DevInvalidName;
    const int nameUnits = textLength(name, DEV_TEXT_UNITS);
    if (nameUnits < 0) return DevInvalidName;  // longer than 255 units: refused, never cut
    if (!headerTextTerminated(header)) return DevInvalidArgument;

    UniqueFd dir(::open(split.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return fromErrno(errno);

    // Tell the caller now, not after the whole show is written, that the
    // target cannot be replaced. finish() checks again, atomically.
    struct stat existing{};
    if (::fstatat(dir.get(), split.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!replaceExisting || S_ISDIR(existing.st_mode)) return DevFileExists;
    } else if (errno != ENOENT) {
        return fromErrno(errno);
    }

    std::string tempName;
    UniqueFd file(-1);
    for (int attempt = 0; attempt < kTempAttempts && !file.valid(); ++attempt) {
        tempName = tempNameFor(split.name);
        // Mode 0666 lets the umask decide, as for any newly created file.
        file = UniqueFd(::openat(dir.get(), tempName.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!file.valid() && errno != EEXIST) return fromErrno(errno);
    }
    if (!file.valid()) return DevIOError;

    // From here the writer owns the temporary file and removes it on failure.
    std::unique_ptr<ShowWriter> writer(new ShowWriter(std::move(dir), std::move(file),
                                                      split.name, tempName, replaceExisting));
    std::uint8_t head[kHeadSize];
    encodeHead(head, name, header);
    std::memcpy(writer->buffer_.data(), head, kHeadSize);
    writer->buffered_ = kHeadSize;
    out = std::move(writer);
    return DevSuccess;
}

DevReturn ShowWriter::append(const DMXFrame& frame) {
    if (closing_) return DevWrongState;
    if (frame.channelCount < 0 || frame.channelCount > SHOWTAPE_MAX_CHANNELS) {
        return DevFrameTooLarge;
    }
    if (frame.channelCount > 0 && frame.dmxData == nullptr) return DevInvalidArgument;

    const DevReturn room = reserve(kMaxFrameRecord);
    if (room != DevSuccess) return room;
    std::uint8_t* record = buffer_.data() + buffered_;
    const std::size_t size = encodeFrameRecord(record, frame);
    runningCrc_.add(record, size);
    buffered_ += size;
    ++frames_;
    return DevSuccess;
}

DevReturn ShowWriter::reserve(std::size_t bytes) {
    if (buffer_.size() - buffered_ >= bytes) return DevSuccess;
    return flush();
}

DevReturn ShowWriter::flush() {
    // Always rewrites the whole buffer at the end of what is known to be in
    // the file, so a write that failed half way is simply overwritten by the
    // next attempt and the buffered frames are never lost.
    if (buffered_ == 0) return DevSuccess;
    const DevReturn rc = writeAllAt(file_.get(), buffer_.data(), buffered_, written_);
    if (rc != DevSuccess) return rc;
    written_ += static_cast<off_t>(buffered_);
    buffered_ = 0;
    return DevSuccess;
}

DevReturn ShowWriter::finish() {
    closing_ = true;
    if (stage_ == Stage::SyncFailed) return DevIOError;
    if (stage_ == Stage::Writing) {
        const DevReturn room = reserve(kEndRecordSize);
        if (room != DevSuccess) return room;
        encodeEndRecord(buffer_.data() + buffered_, frames_, runningCrc_.value());
        buffered_ += kEndRecordSize;
        stage_ = Stage::EndBuffered;
    }
    if (stage_ == Stage::EndBuffered) {
        const DevReturn flushed = flush();
        if (flushed != DevSuccess) return flushed;
        // Drop anything beyond the show that a failed write may have left.
        if (::ftruncate(file_.get(), written_) != 0) return DevIOError;
        if (::fsync(file_.get()) != 0) {
            // After a failed fsync the system may have dropped the pages it
            // could not write while marking them clean, so a later fsync
            // could succeed without the data being on disk. Never move such
            // a file into place.
            stage_ = Stage::SyncFailed;
            return DevIOError;
        }
        file_.reset();
        stage_ = Stage::Durable;
    }
    if (stage_ == Stage::Durable) {
        const DevReturn moved = moveIntoPlace();
        if (moved != DevSuccess) return moved;
        stage_ = Stage::InPlace;
    }
    if (stage_ == Stage::InPlace) {
        // Makes the rename itself durable. Some file systems cannot fsync a
        // folder; there the rename is as durable as they make it.
        if (::fsync(dir_.get()) != 0 && errno != EINVAL && errno != ENOTSUP) return DevIOError;
        dir_.reset();
        stage_ = Stage::Done;
    }
    return DevSuccess;
}

DevReturn ShowWriter::moveIntoPlace() {
    const int dir = dir_.get();
    if (replaceExisting_) {
        if (::renameat(dir, tempName_.c_str(), dir, targetName_.c_str()) != 0) {
            return errno == EISDIR ? DevFileExists : fromErrno(errno);
        }
        return DevSuccess;
    }
    // Never replace: the rename must fail if the target appeared meanwhile.
    if (::renameat2(dir, tempName_.c_str(), dir, targetName_.c_str(), RENAME_NOREPLACE) == 0) {
        return DevSuccess;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return fromErrno(errno);
    // The file system cannot rename without replacing; a hard link fails on
    // an existing target just as atomically.
    if (::linkat(dir, tempName_.c_str(), dir, targetName_.c_str(), 0) != 0) return fromErrno(errno);
    ::unlinkat(dir, tempName_.c_str(), 0);  // a leftover second name is harmless
    return DevSuccess;
}

void ShowWriter::abandonAtExit() noexcept {
    if (creator_ != ::getpid()) return;  // a forked child must not remove its parent's file
    if (stage_ == Stage::InPlace || stage_ == Stage::Done || !dir_.valid()) return;
    ::unlinkat(dir_.get(), tempName_.c_str(), 0);
    stage_ = Stage::Done;
}

}  // namespace showtape
