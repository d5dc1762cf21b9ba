#include "handle_table.h"

#include <limits>

namespace showtape {

DevReturn HandleTable::add(std::shared_ptr<OpenShow> show, ShowtapeHandle& handle) {
    std::lock_guard lock(mutex_);
    std::int32_t index;
    if (!freeSlots_.empty()) {
        index = freeSlots_.back();
    } else {
        if (slots_.size() >= kMaxOpenShows) return DevOutOfMemory;
        freeSlots_.reserve(slots_.size() + 1);  // so remove() never allocates
        slots_.emplace_back();
        index = static_cast<std::int32_t>(slots_.size() - 1);
        freeSlots_.push_back(index);
    }
    freeSlots_.pop_back();

    const std::int32_t generation = nextGeneration_;
    nextGeneration_ =
        nextGeneration_ == std::numeric_limits<std::int32_t>::max() ? 1 : nextGeneration_ + 1;
    Slot& slot = slots_[static_cast<std::size_t>(index)];
    slot.show = std::move(show);
    slot.generation = generation;
    handle.fileHandle = index;
    handle.versionNumber = generation;
    return DevSuccess;
}

std::shared_ptr<OpenShow> HandleTable::find(const ShowtapeHandle& handle) {
    std::lock_guard lock(mutex_);
    if (handle.fileHandle < 0 || static_cast<std::size_t>(handle.fileHandle) >= slots_.size()) {
        return nullptr;
    }
    const Slot& slot = slots_[static_cast<std::size_t>(handle.fileHandle)];
    if (!slot.show || slot.generation != handle.versionNumber) return nullptr;
    return slot.show;
}

void HandleTable::remove(const ShowtapeHandle& handle, const OpenShow* show) {
    std::lock_guard lock(mutex_);
    if (handle.fileHandle < 0 || static_cast<std::size_t>(handle.fileHandle) >= slots_.size()) {
        return;
    }
    Slot& slot = slots_[static_cast<std::size_t>(handle.fileHandle)];
    if (slot.show.get() != show || slot.generation != handle.versionNumber) return;
    slot.show.reset();
    slot.generation = 0;
    freeSlots_.push_back(handle.fileHandle);  // capacity reserved in add()
}

}  // namespace showtape
