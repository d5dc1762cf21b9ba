#include "memory_store.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>

namespace lumidrive {

namespace {

// Frames recorded from an upload, channel bytes packed one after another.
class RecordedFrames final : public FrameSource {
public:
    void append(const DMXFrame& f) {
        const auto n = static_cast<std::size_t>(f.channelCount);
        meta_.push_back({f.channelCount, f.startCode, f.timeCode, bytes_.size()});
        if (n > 0) bytes_.insert(bytes_.end(), f.dmxData, f.dmxData + n);
        size_ += ShowSize::frame(f.channelCount);
    }
    int64_t frameCount() const override { return static_cast<int64_t>(meta_.size()); }
    void frame(int64_t index, DMXFrame& out) const override {
        const Meta& m = meta_[static_cast<std::size_t>(index)];
        out.channelCount = m.channelCount;
        out.startCode = m.startCode;
        out.timeCode = m.timeCode;
        if (m.channelCount > 0)
            std::memcpy(out.dmxData, bytes_.data() + m.offset, static_cast<std::size_t>(m.channelCount));
    }
    int64_t size() const override { return size_; }

private:
    struct Meta {
        int32_t channelCount;
        int32_t startCode;
        int32_t timeCode;
        std::size_t offset;
    };
    std::vector<Meta> meta_;
    std::vector<uint8_t> bytes_;
    int64_t size_ = ShowSize::empty();
};

class MemoryReader final : public ShowReader {
public:
    explicit MemoryReader(std::shared_ptr<const FrameSource> frames) : frames_(std::move(frames)) {}
    DevReturn next(DMXFrame& frame) override {
        if (next_ >= frames_->frameCount()) return DevNoMoreData;
        frames_->frame(next_++, frame);
        return DevSuccess;
    }

private:
    std::shared_ptr<const FrameSource> frames_;
    int64_t next_ = 0;
};

StoreEntry entryOf(const std::string& name, int64_t size, int64_t lastModified) {
    StoreEntry e;
    e.name = name;
    e.size = size;
    e.lastModified = lastModified;
    return e;
}

}  // namespace

class MemoryStore::Writer final : public ShowWriter {
public:
    Writer(MemoryStore& store, std::string name, const ShowtapeHeader& header)
        : store_(store), name_(std::move(name)), header_(normalizedHeader(header)),
          frames_(std::make_shared<RecordedFrames>()) {}

    DevReturn append(const DMXFrame& frame) override {
        try {
            frames_->append(frame);
        } catch (const std::bad_alloc&) {
            return DevOutOfMemory;
        }
        return DevSuccess;
    }

    DevReturn commit(bool replace) override {
        auto& shows = store_.shows_;
        const auto it = shows.find(name_);
        if (it != shows.end() && !replace) return DevFileExists;
        Show show{header_, std::move(frames_), static_cast<int64_t>(std::time(nullptr))};
        if (it != shows.end())
            it->second = std::move(show);
        else
            shows.emplace(name_, std::move(show));
        return DevSuccess;
    }

private:
    MemoryStore& store_;
    std::string name_;
    ShowtapeHeader header_;
    std::shared_ptr<RecordedFrames> frames_;
};

void MemoryStore::add(const std::string& name, const ShowtapeHeader& header,
                      std::shared_ptr<const FrameSource> frames, int64_t lastModified) {
    shows_[name] = Show{normalizedHeader(header), std::move(frames), lastModified};
}

DevReturn MemoryStore::list(const StorePath& folder, std::vector<StoreEntry>& out) {
    if (!folder.isRoot()) return DevFileNotFound;
    out.clear();
    for (const auto& [name, show] : shows_)  // std::map keeps them sorted by name
        out.push_back(entryOf(name, show.frames->size(), show.lastModified));
    return DevSuccess;
}

DevReturn MemoryStore::usage(StoreUsage& out) {
    StoreUsage u;
    for (const auto& [name, show] : shows_) {
        u.bytes += show.frames->size();
        ++u.shows;
    }
    out = u;
    return DevSuccess;
}

DevReturn MemoryStore::find(const StorePath& path, StoreEntry& out) {
    if (path.parts.size() != 1) return DevFileNotFound;
    const auto it = shows_.find(path.parts[0]);
    if (it == shows_.end()) return DevFileNotFound;
    out = entryOf(it->first, it->second.frames->size(), it->second.lastModified);
    return DevSuccess;
}

DevReturn MemoryStore::openShow(const StorePath& path, ShowtapeHeader& header,
                                std::unique_ptr<ShowReader>& out) {
    if (path.parts.size() != 1) return DevFileNotFound;
    const auto it = shows_.find(path.parts[0]);
    if (it == shows_.end()) return DevFileNotFound;
    out = std::make_unique<MemoryReader>(it->second.frames);
    header = it->second.header;
    return DevSuccess;
}

DevReturn MemoryStore::createShow(const StorePath& path, const std::u16string& /*showName*/,
                                  const ShowtapeHeader& header, std::unique_ptr<ShowWriter>& out) {
    if (path.parts.size() != 1) return DevFileNotFound;  // no folders in memory
    out = std::make_unique<Writer>(*this, path.parts[0], header);
    return DevSuccess;
}

DevReturn MemoryStore::remove(const StorePath& path) {
    if (path.parts.size() != 1) return DevFileNotFound;
    return shows_.erase(path.parts[0]) == 1 ? DevSuccess : DevFileNotFound;
}

ShowtapeHeader normalizedHeader(const ShowtapeHeader& in) {
    ShowtapeHeader out;
    std::memset(&out, 0, sizeof out);
    out.constantFrameRate = in.constantFrameRate != 0 ? 1 : 0;
    out.loopShow = in.loopShow != 0 ? 1 : 0;
    out.date = in.date;
    out.frameRate = in.frameRate;
    out.numberChannels = in.numberChannels;
    out.totalFrames = in.totalFrames;
    for (std::size_t i = 0; i < DEV_TEXT_UNITS && in.commentField[i] != 0; ++i)
        out.commentField[i] = in.commentField[i];
    for (std::size_t i = 0; i < DEV_TEXT_UNITS && in.effectSignature[i] != 0; ++i)
        out.effectSignature[i] = in.effectSignature[i];
    return out;
}

}  // namespace lumidrive
