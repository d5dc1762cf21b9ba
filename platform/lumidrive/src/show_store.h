// The controller's show store: where its shows live. Two backends share this
// interface: a folder of show files on disk (written and read through the
// show-file library) and an in-memory store for the built-in controllers.
//
// Stores are not thread-safe: the controller that owns one calls it only
// while holding its own mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devtypes.h"
#include "text.h"

namespace lumidrive {

/// Largest channel count a controller accepts or hands back in one frame.
inline constexpr int32_t kMaxChannels = 512;

/// Largest channel count a frame read from a show file may have; frames
/// above kMaxChannels can only come from files made elsewhere and are
/// refused when read.
inline constexpr int32_t kMaxFileChannels = 2048;

/// A show's size, in bytes: the size of its show file. A show file is a head
/// of fixed size, one record per frame of fixed overhead plus its channel
/// bytes, and an end record; both backends count shows this way, and the
/// directory backend's files have exactly this size.
struct ShowSize {
    static constexpr int64_t kHead = 1578;
    static constexpr int64_t kFrameOverhead = 21;
    static constexpr int64_t kEnd = 17;

    static constexpr int64_t empty() { return kHead + kEnd; }
    static constexpr int64_t frame(int32_t channelCount) { return kFrameOverhead + channelCount; }
};

/// One entry of a store folder.
struct StoreEntry {
    std::string name;        ///< UTF-8 component name
    int64_t size = 0;        ///< bytes (0 for folders)
    int64_t lastModified = 0;///< Unix seconds
    bool isDirectory = false;
};

/// Space and shows a store holds.
struct StoreUsage {
    int64_t bytes = 0;
    int64_t shows = 0;
};

/// Frames of one open show, in order.
class ShowReader {
public:
    virtual ~ShowReader() = default;
    /// Next frame: sets channelCount, startCode and timeCode and writes the
    /// channel bytes to frame.dmxData, which holds kMaxFileChannels bytes.
    /// DevNoMoreData after the last frame.
    virtual DevReturn next(DMXFrame& frame) = 0;
};

/// A show being written. Nothing of it is visible in the store until
/// commit() succeeds; destroying an uncommitted writer leaves nothing behind.
class ShowWriter {
public:
    virtual ~ShowWriter() = default;
    /// Appends one frame (channelCount already checked, 0..kMaxChannels).
    virtual DevReturn append(const DMXFrame& frame) = 0;
    /// Puts the show in place under its name, replacing an existing show of
    /// that name only when `replace` is true (else DevFileExists).
    virtual DevReturn commit(bool replace) = 0;
};

class ShowStore {
public:
    virtual ~ShowStore() = default;

    /// Entries of a folder, sorted by name. DevFileNotFound when the folder
    /// does not exist.
    virtual DevReturn list(const StorePath& folder, std::vector<StoreEntry>& out) = 0;
    /// Total bytes and number of shows in the whole store.
    virtual DevReturn usage(StoreUsage& out) = 0;
    /// The entry at `path`; DevFileNotFound when there is none.
    virtual DevReturn find(const StorePath& path, StoreEntry& out) = 0;
    /// Opens a stored show for reading and fills its header.
    virtual DevReturn openShow(const StorePath& path, ShowtapeHeader& header,
                               std::unique_ptr<ShowReader>& out) = 0;
    /// Starts writing a show; its folder must exist (DevFileNotFound).
    virtual DevReturn createShow(const StorePath& path, const std::u16string& showName,
                                 const ShowtapeHeader& header, std::unique_ptr<ShowWriter>& out) = 0;
    /// Removes a stored show (never a folder).
    virtual DevReturn remove(const StorePath& path) = 0;
};

/// Copies a header field by field as a show file keeps it: bools as 0 or 1,
/// text units after the terminator and padding as zeros.
ShowtapeHeader normalizedHeader(const ShowtapeHeader& in);

}  // namespace lumidrive
