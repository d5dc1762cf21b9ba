#include "controller.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "directory_store.h"
#include "text.h"

namespace lumidrive {

namespace {

template <class T> void zero(T& record) { std::memset(&record, 0, sizeof record); }

void fillFileEntry(const StoreEntry& e, DevFileEntry& out) {
    DevFileEntry rec;
    zero(rec);
    std::u16string name;
    utf8ToUtf16(e.name, name);  // listed names are valid and short enough
    toField(name, rec.fileName);
    rec.fileSize = e.size;
    rec.lastModified = e.lastModified;
    rec.isDirectory = e.isDirectory ? 1 : 0;
    out = rec;
}

void fillTrigger(const TriggerRow& row, DevTrigger& trigger, DevTriggerAction& action) {
    trigger = row.trigger;
    action = row.action;
}

// Marks the calling thread as being inside a progress function for as long
// as it lives.
class CallbackScope {
public:
    explicit CallbackScope(std::atomic<std::thread::id>& slot) : slot_(slot) {
        slot_.store(std::this_thread::get_id());
    }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;
    ~CallbackScope() { slot_.store(std::thread::id{}); }

private:
    std::atomic<std::thread::id>& slot_;
};

}  // namespace

// The start of every operation on an open controller: refuses calls made from
// inside this controller's progress function, takes the mutex for the rest of
// the operation, checks the handle, then counts the call against the faults.
class Controller::Call {
public:
    Call(Controller& c, int32_t handle, Op op) {
        if (c.callbackThread_.load() == std::this_thread::get_id()) {
            result_ = DevDeviceBusy;
            return;
        }
        lock_ = std::unique_lock<std::mutex>(c.mutex_);
        if (handle == 0 || c.session_.handle != handle) {
            result_ = DevInvalidHandle;
            return;
        }
        result_ = c.counters_.count(op, c.config_.faults);
    }
    /// Nonzero when the call must end at once with this code.
    DevReturn refused() const { return result_; }

private:
    std::unique_lock<std::mutex> lock_;
    DevReturn result_ = DevSuccess;
};

Controller::Controller(ControllerConfig config, std::unique_ptr<ShowStore> store,
                       std::filesystem::path triggerFile)
    : config_(std::move(config)), store_(std::move(store)), triggerFile_(std::move(triggerFile)) {}

Controller::~Controller() { releaseProcessLock(); }

void Controller::fillEntry(DevEntry& entry) const {
    DevEntry e;
    zero(e);
    e.deviceType = config_.deviceType;
    toField(config_.port, e.devicePort);
    e.deviceClasses = config_.deviceClasses;
    e.deviceNumber = config_.deviceNumber;
    toField(config_.name, e.deviceName);
    entry = e;
}

DevReturn Controller::acquireProcessLock() {
    if (config_.folder.empty() || lockFd_ >= 0) return DevSuccess;
    const int fd = ::open(config_.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? DevDeviceNotFound : DevIOError;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? DevDeviceBusy : DevIOError;
    }
    lockFd_ = fd;
    return DevSuccess;
}

void Controller::releaseProcessLock() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // closing the descriptor releases the lock
        lockFd_ = -1;
    }
}

void Controller::beginSession(int32_t handle) {
    std::lock_guard lock(mutex_);
    endSession();
    session_.handle = handle;
    counters_.resetAllBut(Op::openDevice);
    if (auto* dir = dynamic_cast<DirectoryStore*>(store_.get())) dir->prepare();
    if (!triggerFile_.empty()) {
        std::string why;
        TriggerTable loaded;
        triggersError_ = loadTriggerFile(triggerFile_, loaded, why);
        triggers_ = triggersError_ == DevSuccess ? loaded : TriggerTable{};
    }
}

void Controller::endSession() {
    // Dropping the upload's writer removes its temporary; dropping the
    // reader closes the show.
    session_ = Session{};
}

DevReturn Controller::close(int32_t h) {
    Call call(*this, h, Op::closeDevice);
    if (DevReturn r = call.refused()) return r;
    endSession();
    return DevSuccess;
}

void Controller::forceClose() {
    std::lock_guard lock(mutex_);
    endSession();
}

DevReturn Controller::getDeviceInfo(int32_t h, DevInfo* info) {
    Call call(*this, h, Op::getDeviceInfo);
    if (DevReturn r = call.refused()) return r;
    if (!info) return DevInvalidArgument;
    DevInfo out;
    zero(out);
    toField(config_.revision, out.revision);
    out.numberLivePlayChannels = config_.numberLivePlayChannels;
    out.numberPlaybackChannels = config_.numberPlaybackChannels;
    out.canPlaybackCompress = config_.canPlaybackCompress ? 1 : 0;
    out.numberPlaybackTriggers = config_.numberPlaybackTriggers;
    out.totalSpace = config_.totalSpace;
    out.maxNumberShows = config_.maxNumberShows;
    out.canReadFiles = config_.canReadFiles ? 1 : 0;
    out.canListFiles = config_.canListFiles ? 1 : 0;
    out.hasTriggerHeader = config_.hasTriggerHeader ? 1 : 0;
    out.minFrameRate = config_.minFrameRate;
    *info = out;
    return DevSuccess;
}

DevReturn Controller::getDeviceState(int32_t h, DevState* state) {
    Call call(*this, h, Op::getDeviceState);
    if (DevReturn r = call.refused()) return r;
    if (!state) return DevInvalidArgument;
    *state = session_.state;
    return DevSuccess;
}

// ---- Live play ----

DevReturn Controller::startLivePlay(int32_t h) {
    Call call(*this, h, Op::startLivePlay);
    if (DevReturn r = call.refused()) return r;
    if (!hasClass(DevClassLivePlay)) return DevNotSupported;
    if (session_.state != DevStateIdle) return DevWrongState;
    session_.state = DevStateLivePlay;
    return DevSuccess;
}

DevReturn Controller::sendFrame(int32_t h, const DMXFrame* frame) {
    Call call(*this, h, Op::sendFrame);
    if (DevReturn r = call.refused()) return r;
    if (session_.state != DevStateLivePlay) return DevWrongState;
    if (!frame) return DevInvalidArgument;
    const int32_t n = frame->channelCount;
    if (n < 0 || n > std::min(kMaxChannels, config_.numberLivePlayChannels)) return DevFrameTooLarge;
    if (n > 0 && !frame->dmxData) return DevInvalidArgument;
    LiveFrame& live = session_.live;
    live.any = true;
    live.channelCount = n;
    live.startCode = frame->startCode;
    live.timeCode = frame->timeCode;
    std::memset(live.data, 0, sizeof live.data);
    if (n > 0) std::memcpy(live.data, frame->dmxData, static_cast<std::size_t>(n));
    ++live.received;
    return DevSuccess;
}

DevReturn Controller::stopLivePlay(int32_t h) {
    Call call(*this, h, Op::stopLivePlay);
    if (DevReturn r = call.refused()) return r;
    if (session_.state != DevStateLivePlay) return DevWrongState;
    session_.state = DevStateIdle;
    return DevSuccess;
}

DevReturn Controller::lastLiveFrame(int32_t h, LumidriveSimLiveFrame* out) {
    // A test hook: it neither counts as a call nor meets a fault.
    if (callbackThread_.load() == std::this_thread::get_id()) return DevDeviceBusy;
    std::lock_guard lock(mutex_);
    if (h == 0 || session_.handle != h) return DevInvalidHandle;
    if (!out) return DevInvalidArgument;
    const LiveFrame& live = session_.live;
    if (!live.any) return DevNoMoreData;
    LumidriveSimLiveFrame f;
    zero(f);
    f.channelCount = live.channelCount;
    f.startCode = live.startCode;
    f.timeCode = live.timeCode;
    std::memcpy(f.data, live.data, sizeof f.data);
    f.framesReceived = live.received;
    *out = f;
    return DevSuccess;
}

// ---- Upload and test upload ----

DevReturn Controller::checkHeader(const ShowtapeHeader& header) const {
    std::u16string text;
    if (!fromField(header.commentField, text) || !fromField(header.effectSignature, text))
        return DevInvalidArgument;  // a text field without its terminating zero
    if (!std::isfinite(header.frameRate) || header.frameRate < 0) return DevInvalidArgument;
    if (header.numberChannels < 0) return DevInvalidArgument;
    if (header.numberChannels > std::min(kMaxChannels, config_.numberPlaybackChannels))
        return DevFrameTooLarge;
    return DevSuccess;
}

DevReturn Controller::startUpload(const DevChar* name, const ShowtapeHeader* header, bool overwrite,
                                  bool test) {
    if (!hasStore()) return DevNotSupported;
    StorePath path;
    if (DevReturn r = parseName(name, NameKind::File, path)) return r;
    if (!header) return DevInvalidArgument;
    if (DevReturn r = checkHeader(*header)) return r;
    if (session_.state != DevStateIdle) return DevWrongState;

    if (!path.parent().isRoot()) {
        StoreEntry folder;
        const DevReturn r = store_->find(path.parent(), folder);
        if (r != DevSuccess) return r;
        if (!folder.isDirectory) return DevFileNotFound;
    }
    StoreEntry existing;
    const DevReturn found = store_->find(path, existing);
    if (found != DevSuccess && found != DevFileNotFound) return found;
    const bool exists = found == DevSuccess;
    if (exists && (existing.isDirectory || !overwrite)) return DevFileExists;

    StoreUsage used;
    if (DevReturn r = store_->usage(used)) return r;
    auto up = std::make_unique<Upload>();
    up->test = test;
    up->path = path;
    up->overwrite = overwrite;
    up->size = ShowSize::empty();
    // A replaced show gives back its room and its place when the new one lands.
    const int64_t replaced = exists ? existing.size : 0;
    up->budget = config_.totalSpace - (used.bytes - replaced);
    up->countFits = used.shows - (exists ? 1 : 0) < config_.maxNumberShows;

    if (!test) {
        if (!up->countFits) return DevTooManyShows;
        if (up->size > up->budget) return DevStoreFull;
        std::u16string showName;
        utf8ToUtf16(path.leaf(), showName);
        if (DevReturn r = store_->createShow(path, showName, normalizedHeader(*header), up->writer))
            return r;
    }
    session_.upload = std::move(up);
    session_.state = DevStateWritingShow;
    return DevSuccess;
}

DevReturn Controller::createFile(int32_t h, const DevChar* name, const ShowtapeHeader* header,
                                 bool overwrite, bool test) {
    Call call(*this, h, test ? Op::createTestFile : Op::createFile);
    if (DevReturn r = call.refused()) return r;
    return startUpload(name, header, overwrite, test);
}

DevReturn Controller::writeFrames(int32_t h, int32_t count, const DMXFrame* frames, bool test) {
    Call call(*this, h, test ? Op::writeTestFrames : Op::writeFrames);
    if (DevReturn r = call.refused()) return r;
    Upload* up = session_.upload.get();
    if (session_.state != DevStateWritingShow || !up || up->test != test) return DevWrongState;
    if (up->spoiled != DevSuccess) return up->spoiled;

    // The whole batch is checked before any of it is kept: a refused batch
    // adds nothing, and spoils the upload so that it can never be stored
    // without the frames the caller meant it to have.
    auto refuse = [&](DevReturn code) {
        up->spoiled = code;
        return code;
    };
    if (count < 0 || (count > 0 && !frames)) return refuse(DevInvalidArgument);
    const int32_t limit = std::min(kMaxChannels, config_.numberPlaybackChannels);
    int64_t added = 0;
    for (int32_t i = 0; i < count; ++i) {
        const DMXFrame& f = frames[i];
        if (f.channelCount < 0 || f.channelCount > limit) return refuse(DevFrameTooLarge);
        if (f.channelCount > 0 && !f.dmxData) return refuse(DevInvalidArgument);
        added += ShowSize::frame(f.channelCount);
    }
    if (!test && up->size + added > up->budget) return refuse(DevStoreFull);
    if (up->writer) {
        for (int32_t i = 0; i < count; ++i) {
            if (DevReturn r = up->writer->append(frames[i])) return refuse(r);
        }
    }
    up->size += added;
    up->frames += count;
    return DevSuccess;
}

DevReturn Controller::closeFile(int32_t h) {
    Call call(*this, h, Op::closeFile);
    if (DevReturn r = call.refused()) return r;
    if (session_.state == DevStateReadingShow) {
        session_.reader.reset();
        session_.showInUse.clear();
        session_.state = DevStateIdle;
        return DevSuccess;
    }
    Upload* up = session_.upload.get();
    if (session_.state != DevStateWritingShow || !up || up->test) return DevWrongState;
    // Whatever happens, the upload ends here; a show that is not stored
    // leaves nothing behind (the writer's temporary goes with it).
    const std::unique_ptr<Upload> done = std::move(session_.upload);
    session_.state = DevStateIdle;
    if (done->spoiled != DevSuccess) return done->spoiled;
    return done->writer->commit(done->overwrite);
}

DevReturn Controller::closeTestFile(int32_t h, DevBool* willFit, int64_t* totalSize) {
    Call call(*this, h, Op::closeTestFile);
    if (DevReturn r = call.refused()) return r;
    Upload* up = session_.upload.get();
    if (session_.state != DevStateWritingShow || !up || !up->test) return DevWrongState;
    if (!willFit || !totalSize) return DevInvalidArgument;
    const std::unique_ptr<Upload> done = std::move(session_.upload);
    session_.state = DevStateIdle;
    if (done->spoiled != DevSuccess) return done->spoiled;
    *willFit = done->countFits && done->size <= done->budget ? 1 : 0;
    *totalSize = done->size;
    return DevSuccess;
}

// ---- File store ----

DevReturn Controller::getFreeSpace(int32_t h, int64_t* freeSpace) {
    Call call(*this, h, Op::getFreeSpace);
    if (DevReturn r = call.refused()) return r;
    if (!hasStore()) return DevNotSupported;
    if (!freeSpace) return DevInvalidArgument;
    StoreUsage used;
    if (DevReturn r = store_->usage(used)) return r;
    *freeSpace = std::max<int64_t>(0, config_.totalSpace - used.bytes);
    return DevSuccess;
}

DevReturn Controller::getFirstFile(int32_t h, const DevChar* directory, DevFileEntry* entry) {
    Call call(*this, h, Op::getFirstFile);
    if (DevReturn r = call.refused()) return r;
    // Every getFirstFile ends the listing before it; a failed one leaves
    // nothing for getNextFile.
    session_.listing.clear();
    session_.listingNext = 0;
    if (!hasStore() || !config_.canListFiles) return DevNotSupported;
    if (!entry) return DevInvalidArgument;
    StorePath folder;
    if (DevReturn r = parseName(directory, NameKind::Directory, folder)) return r;
    std::vector<StoreEntry> listing;
    if (DevReturn r = store_->list(folder, listing)) return r;
    session_.listing = std::move(listing);
    if (session_.listing.empty()) return DevNoMoreData;
    fillFileEntry(session_.listing[0], *entry);
    session_.listingNext = 1;
    return DevSuccess;
}

DevReturn Controller::getNextFile(int32_t h, DevFileEntry* entry) {
    Call call(*this, h, Op::getNextFile);
    if (DevReturn r = call.refused()) return r;
    if (!hasStore() || !config_.canListFiles) return DevNotSupported;
    if (!entry) return DevInvalidArgument;
    if (session_.listingNext >= session_.listing.size()) return DevNoMoreData;
    fillFileEntry(session_.listing[session_.listingNext++], *entry);
    return DevSuccess;
}

DevReturn Controller::deleteFile(int32_t h, const DevChar* name, DevDeleteProgress progress) {
    Call call(*this, h, Op::deleteFile);
    if (DevReturn r = call.refused()) return r;
    if (!hasStore()) return DevNotSupported;
    StorePath path;
    if (DevReturn r = parseName(name, NameKind::File, path)) return r;
    if (!session_.showInUse.empty() && session_.showInUse == path.joined()) return DevWrongState;
    StoreEntry e;
    if (DevReturn r = store_->find(path, e)) return r;
    if (e.isDirectory) return DevNotSupported;  // folders are not deleted through this call

    // Progress counts blocks of kDeleteBlock bytes: (blocks erased, blocks in
    // all), from (0, total) to (total, total), the last call made once the
    // show is gone. A show of any size has at least one block.
    const int64_t blocks = std::max<int64_t>(1, (e.size + kDeleteBlock - 1) / kDeleteBlock);
    const auto total = static_cast<int32_t>(std::min<int64_t>(blocks, INT32_MAX));
    auto report = [&](int32_t done) {
        if (!progress) return;
        CallbackScope scope(callbackThread_);
        progress(done, total);
    };
    for (int32_t done = 0; done < total; ++done) report(done);
    if (DevReturn r = store_->remove(path)) return r;
    report(total);
    return DevSuccess;
}

DevReturn Controller::openFile(int32_t h, const DevChar* name, ShowtapeHeader* header) {
    Call call(*this, h, Op::openFile);
    if (DevReturn r = call.refused()) return r;
    if (!hasStore() || !config_.canReadFiles) return DevNotSupported;
    StorePath path;
    if (DevReturn r = parseName(name, NameKind::File, path)) return r;
    if (!header) return DevInvalidArgument;
    if (session_.state != DevStateIdle) return DevWrongState;
    ShowtapeHeader got;
    std::unique_ptr<ShowReader> reader;
    if (DevReturn r = store_->openShow(path, got, reader)) return r;
    session_.reader = std::move(reader);
    session_.showInUse = path.joined();
    session_.state = DevStateReadingShow;
    *header = normalizedHeader(got);
    return DevSuccess;
}

DevReturn Controller::readFrame(int32_t h, DMXFrame* frame) {
    Call call(*this, h, Op::readFrame);
    if (DevReturn r = call.refused()) return r;
    if (!hasStore() || !config_.canReadFiles) return DevNotSupported;
    if (session_.state != DevStateReadingShow || !session_.reader) return DevWrongState;
    if (!frame || !frame->dmxData) return DevInvalidArgument;
    uint8_t buffer[kMaxFileChannels];
    DMXFrame got{0, 0, 0, buffer};
    if (DevReturn r = session_.reader->next(got)) return r;
    // A stored frame wider than a universe can only come from a show file
    // made elsewhere; it is refused rather than cut to fit.
    if (got.channelCount < 0 || got.channelCount > kMaxChannels) return DevFrameTooLarge;
    frame->channelCount = got.channelCount;
    frame->startCode = got.startCode;
    frame->timeCode = got.timeCode;
    if (got.channelCount > 0) std::memcpy(frame->dmxData, buffer, static_cast<std::size_t>(got.channelCount));
    return DevSuccess;
}

DevReturn Controller::startPlayback(int32_t h, const DevChar* name) {
    Call call(*this, h, Op::startPlayback);
    if (DevReturn r = call.refused()) return r;
    if (!hasClass(DevClassPlayBackControl) || !hasStore()) return DevNotSupported;
    StorePath path;
    if (DevReturn r = parseName(name, NameKind::File, path)) return r;
    if (session_.state != DevStateIdle) return DevWrongState;
    ShowtapeHeader header;
    std::unique_ptr<ShowReader> reader;  // proves the show can be read; closed again at once
    if (DevReturn r = store_->openShow(path, header, reader)) return r;
    session_.showInUse = path.joined();
    session_.state = DevStatePlayingBack;
    return DevSuccess;
}

DevReturn Controller::stopPlayback(int32_t h) {
    Call call(*this, h, Op::stopPlayback);
    if (DevReturn r = call.refused()) return r;
    if (session_.state != DevStatePlayingBack) return DevWrongState;
    session_.showInUse.clear();
    session_.state = DevStateIdle;
    return DevSuccess;
}

// ---- Triggers ----

DevReturn Controller::saveTriggers(const TriggerTable& table) {
    if (triggerFile_.empty()) return DevSuccess;  // kept in memory only
    return saveTriggerFile(triggerFile_, table);
}

DevReturn Controller::createTriggers(int32_t h) {
    Call call(*this, h, Op::createTriggers);
    if (DevReturn r = call.refused()) return r;
    if (config_.numberPlaybackTriggers <= 0) return DevNotSupported;
    if (session_.state != DevStateIdle) return DevWrongState;
    session_.pendingTriggers.clear();
    session_.state = DevStateWritingTriggers;
    return DevSuccess;
}

DevReturn Controller::setTrigger(int32_t h, const DevTrigger* trigger, const DevTriggerAction* action) {
    Call call(*this, h, Op::setTrigger);
    if (DevReturn r = call.refused()) return r;
    if (session_.state != DevStateWritingTriggers) return DevWrongState;
    if (!trigger || !action) return DevInvalidArgument;
    std::u16string file;
    if (!fromField(action->fileName, file)) return DevInvalidArgument;
    if (!file.empty()) {
        // An action names a show of this controller's store, so its name
        // follows the same rules as every other name.
        file.push_back(0);
        StorePath path;
        if (DevReturn r = parseName(file.c_str(), NameKind::File, path)) return r;
        file.pop_back();
    }
    if (session_.pendingTriggers.size() >= static_cast<std::size_t>(config_.numberPlaybackTriggers))
        return DevStoreFull;
    TriggerRow row;
    zero(row);
    row.trigger = *trigger;
    row.action.actionType = action->actionType;
    row.action.value = action->value;
    toField(file, row.action.fileName);
    session_.pendingTriggers.push_back(row);
    return DevSuccess;
}

DevReturn Controller::closeTriggers(int32_t h) {
    Call call(*this, h, Op::closeTriggers);
    if (DevReturn r = call.refused()) return r;
    if (session_.state != DevStateWritingTriggers) return DevWrongState;
    TriggerTable table;
    table.header = triggers_.header;
    table.rows = std::move(session_.pendingTriggers);
    session_.pendingTriggers.clear();
    session_.state = DevStateIdle;
    // The new table replaces the old one whole, or not at all.
    if (DevReturn r = saveTriggers(table)) return r;
    triggers_ = std::move(table);
    triggersError_ = DevSuccess;
    return DevSuccess;
}

DevReturn Controller::getTriggerHeader(int32_t h, DevTriggerHeader* header) {
    Call call(*this, h, Op::getTriggerHeader);
    if (DevReturn r = call.refused()) return r;
    if (!config_.hasTriggerHeader) return DevNotSupported;
    if (!header) return DevInvalidArgument;
    if (triggersError_ != DevSuccess) return triggersError_;
    *header = triggers_.header;
    return DevSuccess;
}

DevReturn Controller::setTriggerHeader(int32_t h, const DevTriggerHeader* header) {
    Call call(*this, h, Op::setTriggerHeader);
    if (DevReturn r = call.refused()) return r;
    if (!config_.hasTriggerHeader) return DevNotSupported;
    if (!header) return DevInvalidArgument;
    if (triggersError_ != DevSuccess) return triggersError_;
    TriggerTable table = triggers_;
    table.header = *header;
    if (DevReturn r = saveTriggers(table)) return r;
    triggers_ = std::move(table);
    return DevSuccess;
}

DevReturn Controller::getFirstTrigger(int32_t h, DevTrigger* trigger, DevTriggerAction* action) {
    Call call(*this, h, Op::getFirstTrigger);
    if (DevReturn r = call.refused()) return r;
    session_.triggerListing.clear();
    session_.triggerNext = 0;
    if (config_.numberPlaybackTriggers <= 0) return DevNotSupported;
    if (!trigger || !action) return DevInvalidArgument;
    if (triggersError_ != DevSuccess) return triggersError_;
    session_.triggerListing = triggers_.rows;
    if (session_.triggerListing.empty()) return DevNoMoreData;
    fillTrigger(session_.triggerListing[0], *trigger, *action);
    session_.triggerNext = 1;
    return DevSuccess;
}

DevReturn Controller::getNextTrigger(int32_t h, DevTrigger* trigger, DevTriggerAction* action) {
    Call call(*this, h, Op::getNextTrigger);
    if (DevReturn r = call.refused()) return r;
    if (config_.numberPlaybackTriggers <= 0) return DevNotSupported;
    if (!trigger || !action) return DevInvalidArgument;
    if (session_.triggerNext >= session_.triggerListing.size()) return DevNoMoreData;
    fillTrigger(session_.triggerListing[session_.triggerNext++], *trigger, *action);
    return DevSuccess;
}

}  // namespace lumidrive
