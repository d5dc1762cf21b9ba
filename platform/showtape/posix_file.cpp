#include "posix_file.h"

#include <unistd.h>

#include <cerrno>

namespace showtape {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset() noexcept {
    if (fd_ >= 0) {
        // Linux releases the descriptor even when close() reports EINTR, so
        // it is never retried.
        ::close(fd_);
        fd_ = -1;
    }
}

DevReturn fromErrno(int error) noexcept {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return DevFileNotFound;
    case ENAMETOOLONG:
        return DevInvalidName;
    case EEXIST:
        return DevFileExists;
    case ENOMEM:
        return DevOutOfMemory;
    default:
        return DevIOError;
    }
}

DevReturn writeAllAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset) noexcept {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return DevIOError;
        }
        if (n == 0) return DevIOError;  // no progress and no error: give up rather than spin
        const auto done = static_cast<std::size_t>(n);
        data += done;
        size -= done;
        offset += static_cast<off_t>(done);
    }
    return DevSuccess;
}

DevReturn readUpTo(int fd, std::uint8_t* data, std::size_t size, off_t offset,
                   std::size_t& got) noexcept {
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, data + got, size - got, offset + static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return DevIOError;
        }
        if (n == 0) break;  // end of file
        got += static_cast<std::size_t>(n);
    }
    return DevSuccess;
}

}  // namespace showtape
