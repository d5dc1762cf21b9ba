// One simulated controller: its descriptor, its show store, its trigger
// table, and the session of the handle that has it open.
//
// Locking: the session state is guarded by the controller's own mutex, taken
// by every operation for its whole length. Who owns the controller (its open
// handle and the cross-process lock) is guarded by the registry's mutex
// instead; the two are never held together.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "devtypes.h"
#include "lumidrive.h"
#include "lumidrive_sim.h"
#include "show_store.h"
#include "triggers.h"

namespace lumidrive {

class Controller {
public:
    /// `store` is null for a controller without a show store (no
    /// playback-config class). `triggerFile` is empty when the trigger table
    /// lives in memory only.
    Controller(ControllerConfig config, std::unique_ptr<ShowStore> store,
               std::filesystem::path triggerFile);
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;
    ~Controller();

    const ControllerConfig& config() const { return config_; }
    void fillEntry(DevEntry& entry) const;

    // ---- Ownership, guarded by the registry's mutex ----
    int32_t openHandle = 0;           ///< 0 when not open
    FaultCounters openCounters;       ///< counts openDevice calls since load
    /// Takes the cross-process lock of a controller kept on disk, so two
    /// programs cannot drive one controller at once. DevDeviceBusy when
    /// another process holds it.
    DevReturn acquireProcessLock();
    void releaseProcessLock();

    // ---- Session, each taking the controller's mutex ----
    /// Starts the session of a newly opened handle.
    void beginSession(int32_t handle);
    /// closeDevice: ends the session (anything in progress is abandoned).
    DevReturn close(int32_t handle);
    /// Ends whatever session is open, without fault checks (reset).
    void forceClose();

    DevReturn getDeviceInfo(int32_t h, DevInfo* info);
    DevReturn getDeviceState(int32_t h, DevState* state);
    DevReturn startLivePlay(int32_t h);
    DevReturn sendFrame(int32_t h, const DMXFrame* frame);
    DevReturn stopLivePlay(int32_t h);
    DevReturn createFile(int32_t h, const DevChar* name, const ShowtapeHeader* header, bool overwrite,
                         bool test);
    DevReturn writeFrames(int32_t h, int32_t count, const DMXFrame* frames, bool test);
    DevReturn closeFile(int32_t h);
    DevReturn closeTestFile(int32_t h, DevBool* willFit, int64_t* totalSize);
    DevReturn getFreeSpace(int32_t h, int64_t* freeSpace);
    DevReturn getFirstFile(int32_t h, const DevChar* directory, DevFileEntry* entry);
    DevReturn getNextFile(int32_t h, DevFileEntry* entry);
    DevReturn deleteFile(int32_t h, const DevChar* name, DevDeleteProgress progress);
    DevReturn openFile(int32_t h, const DevChar* name, ShowtapeHeader* header);
    DevReturn readFrame(int32_t h, DMXFrame* frame);
    DevReturn startPlayback(int32_t h, const DevChar* name);
    DevReturn stopPlayback(int32_t h);
    DevReturn createTriggers(int32_t h);
    DevReturn setTrigger(int32_t h, const DevTrigger* trigger, const DevTriggerAction* action);
    DevReturn getTriggerHeader(int32_t h, DevTriggerHeader* header);
    DevReturn setTriggerHeader(int32_t h, const DevTriggerHeader* header);
    DevReturn closeTriggers(int32_t h);
    DevReturn getFirstTrigger(int32_t h, DevTrigger* trigger, DevTriggerAction* action);
    DevReturn getNextTrigger(int32_t h, DevTrigger* trigger, DevTriggerAction* action);
    DevReturn lastLiveFrame(int32_t h, LumidriveSimLiveFrame* out);

    /// Every size in one place: blocks of this many bytes are reported by the
    /// delete progress function.
    static constexpr int64_t kDeleteBlock = 64 * 1024;

private:
    struct Upload {
        bool test = false;
        StorePath path;
        bool overwrite = false;
        int64_t size = 0;       ///< show size so far (ShowSize)
        int64_t budget = 0;     ///< bytes the show may take
        bool countFits = true;  ///< the store has room for one more show
        int64_t frames = 0;
        DevReturn spoiled = DevSuccess;  ///< first refusal; the upload is then discarded
        std::unique_ptr<ShowWriter> writer;
    };
    struct LiveFrame {
        bool any = false;
        int32_t channelCount = 0;
        int32_t startCode = 0;
        int32_t timeCode = 0;
        uint8_t data[kMaxChannels] = {};
        int64_t received = 0;
    };
    struct Session {
        int32_t handle = 0;
        DevState state = DevStateIdle;
        LiveFrame live;
        std::unique_ptr<Upload> upload;
        std::unique_ptr<ShowReader> reader;
        std::string showInUse;  ///< joined path of the show being read or played
        std::vector<StoreEntry> listing;
        std::size_t listingNext = 0;
        std::vector<TriggerRow> pendingTriggers;
        std::vector<TriggerRow> triggerListing;
        std::size_t triggerNext = 0;
    };
    class Call;

    DevReturn startUpload(const DevChar* name, const ShowtapeHeader* header, bool overwrite, bool test);
    DevReturn checkHeader(const ShowtapeHeader& header) const;
    DevReturn saveTriggers(const TriggerTable& table);
    bool hasStore() const { return store_ != nullptr; }
    bool hasClass(int32_t bit) const { return (config_.deviceClasses & bit) != 0; }
    void endSession();

    const ControllerConfig config_;
    const std::unique_ptr<ShowStore> store_;
    const std::filesystem::path triggerFile_;
    int lockFd_ = -1;  // guarded by the registry's mutex

    std::mutex mutex_;
    /// The thread inside a delete progress function, if any: its calls on
    /// this controller are refused (DevDeviceBusy) instead of deadlocking.
    std::atomic<std::thread::id> callbackThread_{};
    Session session_;
    FaultCounters counters_;
    TriggerTable triggers_;
    DevReturn triggersError_ = DevSuccess;  ///< DevCorrupt when triggers.txt cannot be read
};

}  // namespace lumidrive
