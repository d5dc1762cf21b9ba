// The exported C functions of libShowtape. Each one checks its pointers,
// finds the open file by the values of its handle, takes that file's lock and
// hands the work to the file's ShowWriter or ShowReader. No exception leaves
// the library: a failed allocation is DevOutOfMemory.
#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>

#include "handle_table.h"
#include "showtape.h"

namespace {

using showtape::HandleTable;
using showtape::OpenShow;
using showtape::ShowReader;
using showtape::ShowWriter;

constexpr std::int32_t kLibraryMajor = 1;
constexpr std::int32_t kLibraryMinor = 0;
constexpr std::int32_t kLibraryBuild = 0;

// Never destroyed, so calls made while the process exits still find it.
HandleTable& handles() {
    static HandleTable* const table = new HandleTable;
    return *table;
}

template <class Body>
DevReturn guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return DevOutOfMemory;
    } catch (...) {
        return DevError;
    }
}

// Runs `work` on the open file of `handle` under its lock. DevInvalidHandle
// for an unknown, stale or closed handle.
template <class Work>
DevReturn withOpenShow(const ShowtapeHandle& handle, Work work) {
    const std::shared_ptr<OpenShow> show = handles().find(handle);
    if (!show) return DevInvalidHandle;
    std::lock_guard lock(show->mutex);
    if (show->closed) return DevInvalidHandle;  // closed while we waited for the lock
    return work(*show);
}

// At a normal end of the process, temporary files of shows that were never
// closed are removed: such a show can no longer be finished. A file that
// another thread is busy with at that moment is left alone, as after a crash.
__attribute__((destructor)) void removeUnfinishedShows() {
    handles().forEach([](OpenShow& show) {
        std::unique_lock lock(show.mutex, std::try_to_lock);
        if (lock.owns_lock() && !show.closed && show.writer) show.writer->abandonAtExit();
    });
}

}  // namespace

extern "C" {

SHOWTAPE_API DevReturn createShowtape(ShowtapeHandle* handle, const char* path, const DevChar* name,
                                      const ShowtapeHeader* header, int32_t formatVersion,
                                      DevBool replaceExisting) {
    return guarded([&]() -> DevReturn {
        if (handle == nullptr || path == nullptr || name == nullptr || header == nullptr) {
            return DevInvalidArgument;
        }
        if (formatVersion != 0 && formatVersion != 1) return DevBadFormat;
        if (path[0] == '\0') return DevInvalidName;

        auto show = std::make_shared<OpenShow>();
        const DevReturn rc =
            ShowWriter::create(path, name, *header, replaceExisting != 0, show->writer);
        if (rc != DevSuccess) return rc;
        // If registering fails, dropping `show` removes the temporary file.
        ShowtapeHandle fresh{};
        const DevReturn added = handles().add(show, fresh);
        if (added != DevSuccess) return added;
        *handle = fresh;
        return DevSuccess;
    });
}

SHOWTAPE_API DevReturn openShowtape(ShowtapeHandle* handle, const char* path,
                                    DevChar name[DEV_TEXT_UNITS], ShowtapeHeader* header) {
    return guarded([&]() -> DevReturn {
        if (handle == nullptr || path == nullptr || name == nullptr || header == nullptr) {
            return DevInvalidArgument;
        }
        auto show = std::make_shared<OpenShow>();
        DevChar storedName[DEV_TEXT_UNITS];
        ShowtapeHeader storedHeader{};
        const DevReturn rc = ShowReader::open(path, storedName, storedHeader, show->reader);
        if (rc != DevSuccess) return rc;
        ShowtapeHandle fresh{};
        const DevReturn added = handles().add(show, fresh);
        if (added != DevSuccess) return added;
        *handle = fresh;
        std::copy(std::begin(storedName), std::end(storedName), name);
        *header = storedHeader;
        return DevSuccess;
    });
}

SHOWTAPE_API DevReturn readDMXFrame(const ShowtapeHandle* handle, DMXFrame* frame) {
    return guarded([&]() -> DevReturn {
        if (handle == nullptr || frame == nullptr || frame->dmxData == nullptr) {
            return DevInvalidArgument;
        }
        return withOpenShow(*handle, [&](OpenShow& show) -> DevReturn {
            if (!show.reader) return DevWrongState;
            return show.reader->next(*frame);
        });
    });
}

SHOWTAPE_API DevReturn writeDMXFrame(const ShowtapeHandle* handle, const DMXFrame* frame) {
    return guarded([&]() -> DevReturn {
        if (handle == nullptr || frame == nullptr) return DevInvalidArgument;
        return withOpenShow(*handle, [&](OpenShow& show) -> DevReturn {
            if (!show.writer) return DevWrongState;
            return show.writer->append(*frame);
        });
    });
}

SHOWTAPE_API DevReturn rewindShowtape(const ShowtapeHandle* handle) {
    return guarded([&]() -> DevReturn {
        if (handle == nullptr) return DevInvalidArgument;
        return withOpenShow(*handle, [&](OpenShow& show) -> DevReturn {
            if (!show.reader) return DevWrongState;
            show.reader->rewind();
            return DevSuccess;
        });
    });
}

SHOWTAPE_API DevReturn closeShowtape(const ShowtapeHandle* handle) {
    return guarded([&]() -> DevReturn {
        if (handle == nullptr) return DevInvalidArgument;
        const ShowtapeHandle copy = *handle;
        return withOpenShow(copy, [&](OpenShow& show) -> DevReturn {
            if (show.writer) {
                const DevReturn rc = show.writer->finish();
                if (rc != DevSuccess) return rc;  // still open; close may be called again
            }
            show.closed = true;
            handles().remove(copy, &show);
            return DevSuccess;
        });
    });
}

SHOWTAPE_API DevReturn getLibraryVersion(int32_t* major, int32_t* minor, int32_t* build) {
    if (major == nullptr || minor == nullptr || build == nullptr) return DevInvalidArgument;
    *major = kLibraryMajor;
    *minor = kLibraryMinor;
    *build = kLibraryBuild;
    return DevSuccess;
}

}  // extern "C"
