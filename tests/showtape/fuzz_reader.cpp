// libFuzzer target for the show-file reader. Each input is written to a file
// and read through the public API: open, every frame, rewind, every frame
// again, close. It is tried twice: as it is, and with its checksums
// recomputed where the bytes allow (so the fuzzer also reaches the checks
// behind the CRCs). Any crash, sanitizer report or broken promise of the
// API (see check()) ends the run.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "showtape.h"

namespace {

void check(bool promise) {
    if (!promise) __builtin_trap();
}

std::uint32_t crc(const std::uint8_t* data, std::size_t size, std::uint32_t seed = 0) {
    return static_cast<std::uint32_t>(crc32(seed, data, static_cast<uInt>(size)));
}

std::uint32_t getU32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

void putU32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Recomputes the CRCs of the head and of every record it can delimit. For the
// end record, the lowest bit of its stored CRC decides whether the frame
// count and running CRC are set right too, so both outcomes stay reachable.
bool reseal(std::vector<std::uint8_t>& b) {
    constexpr std::size_t kHead = 1578;
    if (b.size() < kHead || std::memcmp(b.data(), "SHOWTAPE", 8) != 0) return false;
    putU32(&b[1574], crc(b.data(), 1574));
    std::size_t at = kHead;
    std::uint64_t frames = 0;
    std::uint32_t running = 0;
    while (at < b.size()) {
        if (b[at] == 'F') {
            if (b.size() - at < 17) break;
            putU32(&b[at + 13], crc(&b[at], 13));
            const std::uint32_t count = getU32(&b[at + 9]);
            // Counts above the limit are sealed too: the reader must refuse
            // them by their value, not by their checksum.
            if (b.size() - at < 21 + std::size_t{count}) break;
            putU32(&b[at + 17 + count], crc(&b[at], 17 + std::size_t{count}));
            running = crc(&b[at], 21 + std::size_t{count}, running);
            ++frames;
            at += 21 + count;
        } else if (b[at] == 'E') {
            if (b.size() - at < 17) break;
            if ((b[at + 13] & 1) == 0) {
                for (int i = 0; i < 8; ++i) b[at + 1 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(frames >> (8 * i));
                putU32(&b[at + 9], running);
            }
            putU32(&b[at + 13], crc(&b[at], 13));
            break;
        } else {
            break;
        }
    }
    return true;
}

const std::string& scratchPath() {
    static const std::string path = [] {
        const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/showtape-fuzz-" + std::to_string(::getpid()) + ".dmx";
    }();
    return path;
}

void removeScratch() { ::unlink(scratchPath().c_str()); }

void writeScratch(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(scratchPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) std::abort();
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}

bool terminated(const DevChar* text) {
    for (int i = 0; i < DEV_TEXT_UNITS; ++i) {
        if (text[i] == 0) return true;
    }
    return false;
}

struct Pass {
    std::uint32_t digest = 0;
    std::size_t frames = 0;
    DevReturn end = DevSuccess;
};

Pass readAll(const ShowtapeHandle& handle, std::uint8_t* buffer) {
    Pass pass;
    for (;;) {
        DMXFrame frame{-1, 0, 0, buffer};
        const DevReturn rc = readDMXFrame(&handle, &frame);
        if (rc != DevSuccess) {
            check(rc == DevNoMoreData || rc == DevTruncated || rc == DevCorrupt);
            // The end, or the damage, is reported again.
            DMXFrame again{-1, 0, 0, buffer};
            check(readDMXFrame(&handle, &again) == rc);
            pass.end = rc;
            return pass;
        }
        check(frame.channelCount >= 0 && frame.channelCount <= SHOWTAPE_MAX_CHANNELS);
        const std::int32_t fields[3] = {frame.startCode, frame.timeCode, frame.channelCount};
        pass.digest = crc(reinterpret_cast<const std::uint8_t*>(fields), sizeof fields, pass.digest);
        pass.digest = crc(buffer, static_cast<std::size_t>(frame.channelCount), pass.digest);
        ++pass.frames;
    }
}

void exercise(const std::uint8_t* data, std::size_t size) {
    writeScratch(data, size);
    ShowtapeHandle handle{};
    DevChar name[DEV_TEXT_UNITS];
    ShowtapeHeader header;
    const DevReturn opened = openShowtape(&handle, scratchPath().c_str(), name, &header);
    if (opened != DevSuccess) {
        check(opened == DevBadFormat || opened == DevTruncated || opened == DevCorrupt);
        return;
    }
    check(handle.fileHandle != -1);
    check(terminated(name) && terminated(header.commentField) && terminated(header.effectSignature));
    check(header.constantFrameRate <= 1 && header.loopShow <= 1);

    // Exactly the documented capacity, so ASan sees any write beyond it.
    std::vector<std::uint8_t> buffer(SHOWTAPE_MAX_CHANNELS);
    const Pass first = readAll(handle, buffer.data());
    check(rewindShowtape(&handle) == DevSuccess);
    const Pass second = readAll(handle, buffer.data());
    check(first.digest == second.digest && first.frames == second.frames && first.end == second.end);
    check(closeShowtape(&handle) == DevSuccess);
    check(closeShowtape(&handle) == DevInvalidHandle);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    exercise(data, size);
    std::vector<std::uint8_t> sealed(data, data + size);
    if (reseal(sealed) && std::memcmp(sealed.data(), data, size) != 0) {
        exercise(sealed.data(), sealed.size());
    }
    return 0;
}
