// Small POSIX helpers: an owning file descriptor and I/O loops that survive
// EINTR and short transfers, reporting errno-style failures as DevReturn.
#ifndef SHOWTAPE_POSIX_FILE_H
#define SHOWTAPE_POSIX_FILE_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "devtypes.h"

namespace showtape {

// Owns one file descriptor and closes it on destruction. Move-only.
class UniqueFd {
public:
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    // Closes the descriptor now. The result of close() is not reported: by
    // the time we close, everything we care about has been fsync'ed.
    void reset() noexcept;

private:
    int fd_;
};

// The DevReturn for a failed system call's errno: a missing file or folder is
// DevFileNotFound, a name too long DevInvalidName, an existing one
// DevFileExists, no memory DevOutOfMemory, anything else DevIOError.
DevReturn fromErrno(int error) noexcept;

// Writes all `size` bytes at `offset`; DevSuccess or DevIOError.
DevReturn writeAllAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset) noexcept;

// Reads up to `size` bytes at `offset`, stopping early only at end of file;
// `got` receives the count. DevSuccess or DevIOError.
DevReturn readUpTo(int fd, std::uint8_t* data, std::size_t size, off_t offset,
                   std::size_t& got) noexcept;

}  // namespace showtape

#endif  // SHOWTAPE_POSIX_FILE_H
