// In-memory show store of the built-in controllers: nothing touches the disk.
#pragma once

#include <map>
#include <memory>

#include "show_store.h"

namespace lumidrive {

/// The frames of one show held in memory, either recorded from an upload or
/// computed on demand (the demo shows).
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int64_t frameCount() const = 0;
    /// Fills frame `index` (0-based, below frameCount()) into `out`, whose
    /// dmxData holds at least kMaxChannels bytes.
    virtual void frame(int64_t index, DMXFrame& out) const = 0;
    /// The show's size in bytes (ShowSize).
    virtual int64_t size() const = 0;
};

class MemoryStore final : public ShowStore {
public:
    /// Puts a show into the store's root folder (the built-in demo shows).
    void add(const std::string& name, const ShowtapeHeader& header,
             std::shared_ptr<const FrameSource> frames, int64_t lastModified);

    DevReturn list(const StorePath& folder, std::vector<StoreEntry>& out) override;
    DevReturn usage(StoreUsage& out) override;
    DevReturn find(const StorePath& path, StoreEntry& out) override;
    DevReturn openShow(const StorePath& path, ShowtapeHeader& header,
                       std::unique_ptr<ShowReader>& out) override;
    DevReturn createShow(const StorePath& path, const std::u16string& showName,
                         const ShowtapeHeader& header, std::unique_ptr<ShowWriter>& out) override;
    DevReturn remove(const StorePath& path) override;

private:
    struct Show {
        ShowtapeHeader header;
        std::shared_ptr<const FrameSource> frames;
        int64_t lastModified;
    };
    class Writer;
    std::map<std::string, Show> shows_;  // the root folder; no sub-folders in memory
};

}  // namespace lumidrive
