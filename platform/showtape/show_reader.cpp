#include "show_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format.h"

namespace showtape {

ShowReader::ShowReader(UniqueFd file) : file_(std::move(file)), buffer_(kBufferSize) {
    rewind();
}

DevReturn ShowReader::open(const char* path, DevChar (&name)[DEV_TEXT_UNITS],
                           ShowtapeHeader& header, std::unique_ptr<ShowReader>& out) {
    if (path[0] == '\0') return DevInvalidName;
    UniqueFd file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return fromErrno(errno);
    struct stat info{};
    if (::fstat(file.get(), &info) != 0) return DevIOError;
    if (!S_ISREG(info.st_mode)) return DevBadFormat;  // folders, pipes, devices

    std::uint8_t head[kHeadSize];
    std::size_t got = 0;
    const DevReturn rc = readUpTo(file.get(), head, kHeadSize, 0, got);
    if (rc != DevSuccess) return rc;
    switch (checkPreamble(head, got)) {
    case PreambleCheck::NotOurs:
    case PreambleCheck::WrongVersion:
        return DevBadFormat;
    case PreambleCheck::TooShort:
        return DevTruncated;
    case PreambleCheck::Ok:
        break;
    }
    if (got < kHeadSize) return DevTruncated;
    const DevReturn decoded = decodeHead(head, name, header);
    if (decoded != DevSuccess) return decoded;

    out.reset(new ShowReader(std::move(file)));
    return DevSuccess;
}

void ShowReader::rewind() noexcept {
    pos_ = 0;
    end_ = 0;
    nextRead_ = static_cast<off_t>(kHeadSize);
    atEof_ = false;
    frames_ = 0;
    runningCrc_.reset();
    outcome_ = DevSuccess;
}

DevReturn ShowReader::fill(std::size_t bytes, std::size_t& available) {
    available = end_ - pos_;
    if (available >= bytes || atEof_) return DevSuccess;
    // Move the unconsumed tail to the front; a record never exceeds the
    // buffer, so after this the whole record fits.
    std::memmove(buffer_.data(), buffer_.data() + pos_, available);
    pos_ = 0;
    end_ = available;
    while (end_ < bytes && !atEof_) {
        std::size_t got = 0;
        const DevReturn rc =
            readUpTo(file_.get(), buffer_.data() + end_, buffer_.size() - end_, nextRead_, got);
        if (rc != DevSuccess) return rc;
        if (got < buffer_.size() - end_) atEof_ = true;
        end_ += got;
        nextRead_ += static_cast<off_t>(got);
    }
    available = end_ - pos_;
    return DevSuccess;
}

DevReturn ShowReader::next(DMXFrame& frame) {
    if (outcome_ != DevSuccess) return outcome_;
    std::size_t available = 0;
    const DevReturn rc = fill(1, available);
    if (rc != DevSuccess) return rc;
    DevReturn result;
    if (available == 0) {
        result = DevTruncated;  // the end record is missing
    } else if (buffer_[pos_] == kFrameRecordType) {
        result = readFrameRecord(frame);
    } else if (buffer_[pos_] == kEndRecordType) {
        result = readEndRecord();
    } else {
        result = DevCorrupt;
    }
    if (result != DevSuccess && result != DevIOError) outcome_ = result;
    return result;
}

DevReturn ShowReader::readFrameRecord(DMXFrame& frame) {
    std::size_t available = 0;
    DevReturn rc = fill(kFrameHeaderSize, available);
    if (rc != DevSuccess) return rc;
    if (available < kFrameHeaderSize) return DevTruncated;
    const std::uint8_t* record = buffer_.data() + pos_;
    if (crc32Of(record, 13) != getU32(record + 13)) return DevCorrupt;
    // The count is trusted only now that its CRC matched, and only after it
    // is bounded: it must fit every reader's receive buffer.
    const auto channelCount = static_cast<std::int32_t>(getU32(record + 9));
    if (channelCount < 0 || channelCount > SHOWTAPE_MAX_CHANNELS) return DevCorrupt;
    const auto count = static_cast<std::size_t>(channelCount);
    const std::size_t size = kFrameOverhead + count;

    rc = fill(size, available);
    if (rc != DevSuccess) return rc;
    if (available < size) return DevTruncated;
    record = buffer_.data() + pos_;  // fill() may have moved the bytes
    if (crc32Of(record, kFrameHeaderSize + count) != getU32(record + kFrameHeaderSize + count)) {
        return DevCorrupt;
    }

    frame.startCode = static_cast<std::int32_t>(getU32(record + 1));
    frame.timeCode = static_cast<std::int32_t>(getU32(record + 5));
    frame.channelCount = channelCount;
    if (count > 0) std::memcpy(frame.dmxData, record + kFrameHeaderSize, count);
    runningCrc_.add(record, size);
    ++frames_;
    pos_ += size;
    return DevSuccess;
}

DevReturn ShowReader::readEndRecord() {
    // Ask for one byte more than the record: nothing may follow it.
    std::size_t available = 0;
    const DevReturn rc = fill(kEndRecordSize + 1, available);
    if (rc != DevSuccess) return rc;
    if (available < kEndRecordSize) return DevTruncated;
    const std::uint8_t* record = buffer_.data() + pos_;
    if (crc32Of(record, 13) != getU32(record + 13)) return DevCorrupt;
    // Frames lost, repeated or reordered as whole records pass their own
    // CRCs; the count and the running CRC catch them.
    if (getU64(record + 1) != frames_ || getU32(record + 9) != runningCrc_.value()) return DevCorrupt;
    if (available > kEndRecordSize) return DevCorrupt;
    pos_ += kEndRecordSize;
    return DevNoMoreData;
}

}  // namespace showtape
