// The exported C functions of libLumidrive: each forwards to the registry or
// to the controller open under the handle, and turns any C++ exception into
// a result code so that none crosses the C boundary.
#include <new>

#include "lumidrive.h"
#include "lumidrive_sim.h"
#include "registry.h"

using lumidrive::Controller;
using lumidrive::Registry;

namespace {

template <class F> DevReturn guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return DevOutOfMemory;
    } catch (...) {
        return DevError;
    }
}

// Runs `body` on the controller open under `handle`.
template <class F> DevReturn onDevice(int32_t handle, F&& body) noexcept {
    return guarded([&]() -> DevReturn {
        const std::shared_ptr<Controller> c = Registry::instance().find(handle);
        if (!c) return DevInvalidHandle;
        return body(*c);
    });
}

DevBool hasBit(int32_t classes, int32_t bit) { return (classes & bit) != 0 ? 1 : 0; }

}  // namespace

extern "C" {

LUMIDRIVE_API int32_t getLibraryMajorRevision(void) { return LUMIDRIVE_VERSION_MAJOR; }
LUMIDRIVE_API int32_t getLibraryMinorRevision(void) { return LUMIDRIVE_VERSION_MINOR; }
LUMIDRIVE_API int32_t getLibraryBuildRevision(void) { return LUMIDRIVE_VERSION_BUILD; }

LUMIDRIVE_API DevBool supportsLivePlay(int32_t classes) { return hasBit(classes, DevClassLivePlay); }
LUMIDRIVE_API DevBool supportsPlayBackControl(int32_t classes) {
    return hasBit(classes, DevClassPlayBackControl);
}
LUMIDRIVE_API DevBool supportsPlayBackConfig(int32_t classes) {
    return hasBit(classes, DevClassPlayBackConfig);
}
LUMIDRIVE_API DevBool supportsRecord(int32_t classes) { return hasBit(classes, DevClassRecord); }

LUMIDRIVE_API DevReturn getFirstDevice(DevEntry* entry) {
    return guarded([&] { return Registry::instance().getFirstDevice(entry); });
}
LUMIDRIVE_API DevReturn getNextDevice(DevEntry* entry) {
    return guarded([&] { return Registry::instance().getNextDevice(entry); });
}
LUMIDRIVE_API DevReturn openDevice(int32_t* handle, const DevEntry* entry) {
    return guarded([&] { return Registry::instance().openDevice(handle, entry); });
}
LUMIDRIVE_API DevReturn closeDevice(int32_t handle) {
    return guarded([&] { return Registry::instance().closeDevice(handle); });
}

LUMIDRIVE_API DevReturn getDeviceInfo(int32_t h, DevInfo* info) {
    return onDevice(h, [&](Controller& c) { return c.getDeviceInfo(h, info); });
}
LUMIDRIVE_API DevReturn getDeviceState(int32_t h, DevState* state) {
    return onDevice(h, [&](Controller& c) { return c.getDeviceState(h, state); });
}

LUMIDRIVE_API DevReturn startLivePlay(int32_t h) {
    return onDevice(h, [&](Controller& c) { return c.startLivePlay(h); });
}
LUMIDRIVE_API DevReturn sendFrame(int32_t h, const DMXFrame* frame) {
    return onDevice(h, [&](Controller& c) { return c.sendFrame(h, frame); });
}
LUMIDRIVE_API DevReturn stopLivePlay(int32_t h) {
    return onDevice(h, [&](Controller& c) { return c.stopLivePlay(h); });
}

LUMIDRIVE_API DevReturn createFile(int32_t h, const DevChar* name, ShowtapeHeader* header,
                                   DevBool overwrite) {
    return onDevice(h, [&](Controller& c) { return c.createFile(h, name, header, overwrite != 0, false); });
}
LUMIDRIVE_API DevReturn writeFrames(int32_t h, int32_t count, const DMXFrame* frames) {
    return onDevice(h, [&](Controller& c) { return c.writeFrames(h, count, frames, false); });
}
LUMIDRIVE_API DevReturn closeFile(int32_t h) {
    return onDevice(h, [&](Controller& c) { return c.closeFile(h); });
}

LUMIDRIVE_API DevReturn createTestFile(int32_t h, const DevChar* name, const ShowtapeHeader* header,
                                       DevBool overwrite) {
    return onDevice(h, [&](Controller& c) { return c.createFile(h, name, header, overwrite != 0, true); });
}
LUMIDRIVE_API DevReturn writeTestFrames(int32_t h, int32_t count, const DMXFrame* frames) {
    return onDevice(h, [&](Controller& c) { return c.writeFrames(h, count, frames, true); });
}
LUMIDRIVE_API DevReturn closeTestFile(int32_t h, DevBool* willFit, int64_t* totalSize) {
    return onDevice(h, [&](Controller& c) { return c.closeTestFile(h, willFit, totalSize); });
}

LUMIDRIVE_API DevReturn getFreeSpace(int32_t h, int64_t* freeSpace) {
    return onDevice(h, [&](Controller& c) { return c.getFreeSpace(h, freeSpace); });
}
LUMIDRIVE_API DevReturn getFirstFile(int32_t h, const DevChar* directory, DevFileEntry* entry) {
    return onDevice(h, [&](Controller& c) { return c.getFirstFile(h, directory, entry); });
}
LUMIDRIVE_API DevReturn getNextFile(int32_t h, DevFileEntry* entry) {
    return onDevice(h, [&](Controller& c) { return c.getNextFile(h, entry); });
}
LUMIDRIVE_API DevReturn deleteFile(int32_t h, const DevChar* name, DevDeleteProgress progress) {
    return onDevice(h, [&](Controller& c) { return c.deleteFile(h, name, progress); });
}

LUMIDRIVE_API DevReturn openFile(int32_t h, const DevChar* name, ShowtapeHeader* header) {
    return onDevice(h, [&](Controller& c) { return c.openFile(h, name, header); });
}
LUMIDRIVE_API DevReturn readFrame(int32_t h, DMXFrame* frame) {
    return onDevice(h, [&](Controller& c) { return c.readFrame(h, frame); });
}

LUMIDRIVE_API DevReturn startPlayback(int32_t h, const DevChar* name) {
    return onDevice(h, [&](Controller& c) { return c.startPlayback(h, name); });
}
LUMIDRIVE_API DevReturn stopPlayback(int32_t h) {
    return onDevice(h, [&](Controller& c) { return c.stopPlayback(h); });
}

LUMIDRIVE_API DevReturn createTriggers(int32_t h) {
    return onDevice(h, [&](Controller& c) { return c.createTriggers(h); });
}
LUMIDRIVE_API DevReturn setTrigger(int32_t h, const DevTrigger* trigger, const DevTriggerAction* action) {
    return onDevice(h, [&](Controller& c) { return c.setTrigger(h, trigger, action); });
}
LUMIDRIVE_API DevReturn getTriggerHeader(int32_t h, DevTriggerHeader* header) {
    return onDevice(h, [&](Controller& c) { return c.getTriggerHeader(h, header); });
}
LUMIDRIVE_API DevReturn setTriggerHeader(int32_t h, const DevTriggerHeader* header) {
    return onDevice(h, [&](Controller& c) { return c.setTriggerHeader(h, header); });
}
LUMIDRIVE_API DevReturn closeTriggers(int32_t h) {
    return onDevice(h, [&](Controller& c) { return c.closeTriggers(h); });
}
LUMIDRIVE_API DevReturn getFirstTrigger(int32_t h, DevTrigger* trigger, DevTriggerAction* action) {
    return onDevice(h, [&](Controller& c) { return c.getFirstTrigger(h, trigger, action); });
}
LUMIDRIVE_API DevReturn getNextTrigger(int32_t h, DevTrigger* trigger, DevTriggerAction* action) {
    return onDevice(h, [&](Controller& c) { return c.getNextTrigger(h, trigger, action); });
}

LUMIDRIVE_API DevReturn lumidriveSimLastLiveFrame(int32_t h, LumidriveSimLiveFrame* frame) {
    return onDevice(h, [&](Controller& c) { return c.lastLiveFrame(h, frame); });
}

LUMIDRIVE_API void lumidriveSimReset(void) {
    guarded([] {
        Registry::instance().reset();
        return DevSuccess;
    });
}

}  // extern "C"
