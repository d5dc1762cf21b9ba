// Writes one new show file: into a temporary file beside the target, moved
// into place by finish() once everything is durable.
#ifndef SHOWTAPE_SHOW_WRITER_H
#define SHOWTAPE_SHOW_WRITER_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devtypes.h"
#include "format.h"
#include "posix_file.h"

namespace showtape {

// Not thread-safe: the caller serialises all calls on one writer.
class ShowWriter {
public:
    // Size of the write buffer; frames reach the file in pieces of this size.
    static constexpr std::size_t kBufferSize = 64 * 1024;

    // Checks the arguments, creates the temporary file and buffers the head.
    // Arguments are non-null (the caller checks). On failure nothing is left
    // on disk and `out` is untouched.
    static DevReturn create(const char* path, const DevChar* name, const ShowtapeHeader& header,
                            bool replaceExisting, std::unique_ptr<ShowWriter>& out);

    ShowWriter(const ShowWriter&) = delete;
    ShowWriter& operator=(const ShowWriter&) = delete;
    // Removes the temporary file unless finish() moved it into place.
    ~ShowWriter();

    // Appends one frame. A failure changes nothing: the frames accepted
    // before it stay, and more frames or finish() may follow.
    DevReturn append(const DMXFrame& frame);

    // Writes the end record, flushes, fsyncs, renames into place and fsyncs
    // the folder. Resumable: after a failure a second call goes on from the
    // step that failed (except after a failed fsync, which stays failed).
    // Once it has started, append() answers DevWrongState.
    DevReturn finish();

    // Removes the temporary file if this process created it and it has not
    // been moved into place. For the end of the process; the writer is not
    // usable afterwards.
    void abandonAtExit() noexcept;

private:
    enum class Stage {
        Writing,      // frames may be appended
        EndBuffered,  // the end record is in the buffer
        Durable,      // file fsync'ed and closed; not yet renamed
        InPlace,      // renamed under the target name; folder not yet fsync'ed
        Done,         // finished
        SyncFailed    // fsync failed: the data may be lost, nothing is moved
    };

    ShowWriter(UniqueFd dir, UniqueFd file, std::string targetName, std::string tempName,
               bool replaceExisting);

    DevReturn reserve(std::size_t bytes);  // flushes when fewer than `bytes` are free
    DevReturn flush();
    DevReturn moveIntoPlace();

    UniqueFd dir_;
    UniqueFd file_;
    std::string targetName_;  // names relative to dir_
    std::string tempName_;
    bool replaceExisting_;
    pid_t creator_;

    std::vector<std::uint8_t> buffer_;
    std::size_t buffered_ = 0;  // bytes in buffer_ not yet in the file
    off_t written_ = 0;         // bytes known to be in the file
    std::uint64_t frames_ = 0;
    RunningCrc runningCrc_;
    Stage stage_ = Stage::Writing;
    bool closing_ = false;  // finish() was called
};

}  // namespace showtape

#endif  // SHOWTAPE_SHOW_WRITER_H
