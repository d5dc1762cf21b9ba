// Reads one show file front to back, one record at a time through a fixed
// buffer, so memory does not depend on the length of the show.
#ifndef SHOWTAPE_SHOW_READER_H
#define SHOWTAPE_SHOW_READER_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "devtypes.h"
#include "format.h"
#include "posix_file.h"

namespace showtape {

// Not thread-safe: the caller serialises all calls on one reader.
class ShowReader {
public:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    // Opens the file at path (non-null) and checks its head. On success fills
    // `name` and `header`; on failure touches neither and keeps nothing open.
    static DevReturn open(const char* path, DevChar (&name)[DEV_TEXT_UNITS],
                          ShowtapeHeader& header, std::unique_ptr<ShowReader>& out);

    ShowReader(const ShowReader&) = delete;
    ShowReader& operator=(const ShowReader&) = delete;
    ~ShowReader() = default;

    // DevSuccess with the next frame (its bytes copied to frame.dmxData, which
    // holds SHOWTAPE_MAX_CHANNELS bytes); DevNoMoreData after the last frame
    // of an intact show; DevTruncated, DevCorrupt or DevIOError otherwise.
    // `frame` is changed only on DevSuccess. Once the end or damage is
    // reached every further call gives the same answer until rewind().
    // DevIOError is not sticky: the next call tries the same record again.
    DevReturn next(DMXFrame& frame);

    void rewind() noexcept;

private:
    explicit ShowReader(UniqueFd file);

    // Makes `bytes` bytes available at buffer_[pos_] if the file has them;
    // `available` receives how many are there (fewer only at end of file).
    DevReturn fill(std::size_t bytes, std::size_t& available);
    DevReturn readFrameRecord(DMXFrame& frame);
    DevReturn readEndRecord();

    UniqueFd file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;   // first unconsumed byte in buffer_
    std::size_t end_ = 0;   // one past the last byte read into buffer_
    off_t nextRead_ = 0;    // file offset of the byte after buffer_[end_ - 1]
    bool atEof_ = false;
    std::uint64_t frames_ = 0;
    RunningCrc runningCrc_;
    DevReturn outcome_ = DevSuccess;  // DevSuccess while frames may follow
};

}  // namespace showtape

#endif  // SHOWTAPE_SHOW_READER_H
