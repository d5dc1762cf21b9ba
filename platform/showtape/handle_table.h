// The process-wide table of open show files and the handles that name them.
//
// A handle is the pair (fileHandle, versionNumber): fileHandle is the index of
// a slot in the table (0, 1, 2, ...; never -1) and versionNumber the
// generation the file got when it was opened, taken from a process-wide
// counter (1 to 2^31 - 1, then 1 again). A slot is reused after its file is
// closed, but under a new generation, so a stale copy of an old handle no
// longer matches and never reaches the new file.
#ifndef SHOWTAPE_HANDLE_TABLE_H
#define SHOWTAPE_HANDLE_TABLE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "devtypes.h"
#include "show_reader.h"
#include "show_writer.h"

namespace showtape {

// One open file. Exactly one of writer and reader is set. Every call on the
// file holds `mutex`, so two threads on one handle are serialised.
struct OpenShow {
    std::mutex mutex;
    bool closed = false;  // set under `mutex` once close succeeded
    std::unique_ptr<ShowWriter> writer;
    std::unique_ptr<ShowReader> reader;
};

// Thread-safe. The table lock is held only for the lookup itself, never
// while a file is read or written.
class HandleTable {
public:
    // More open files than this at once is refused with DevOutOfMemory.
    static constexpr std::size_t kMaxOpenShows = std::size_t{1} << 20;

    // Registers `show` and fills `handle`. DevOutOfMemory when full.
    DevReturn add(std::shared_ptr<OpenShow> show, ShowtapeHandle& handle);

    // The file that `handle` names, or null for an unknown or stale handle.
    std::shared_ptr<OpenShow> find(const ShowtapeHandle& handle);

    // Frees the slot of `handle` if it still names `show`.
    void remove(const ShowtapeHandle& handle, const OpenShow* show);

    // Calls `visit` on every open file, under the table lock.
    template <class Visit>
    void forEach(Visit visit) {
        std::lock_guard lock(mutex_);
        for (const Slot& slot : slots_) {
            if (slot.show) visit(*slot.show);
        }
    }

private:
    struct Slot {
        std::shared_ptr<OpenShow> show;
        std::int32_t generation = 0;
    };

    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<std::int32_t> freeSlots_;
    std::int32_t nextGeneration_ = 1;
};

}  // namespace showtape

#endif  // SHOWTAPE_HANDLE_TABLE_H
