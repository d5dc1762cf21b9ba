// Scripted, recording stand-in for libLumidrive (see double_control.h).
#include "lumidrive.h"
#include "record_helpers.h"

using doubles::Call;
using doubles::Reply;
using namespace doubles::detail;

namespace {

Call makeCall(const char* op, int32_t handle = 0) {
    Call c;
    c.op = op;
    c.handle = handle;
    return c;
}

Reply plain(const char* op, int32_t handle) { return doubles::take(makeCall(op, handle)); }

DevReturn withText(const char* op, int32_t handle, const DevChar* text) {
    Call c = makeCall(op, handle);
    recordText(c, text);
    return doubles::take(std::move(c)).code;
}

DevReturn frames(const char* op, int32_t handle, int32_t count, const DMXFrame* fs) {
    Call c = makeCall(op, handle);
    c.number = count;
    c.outWasNull = fs == nullptr;
    if (fs)
        for (int32_t i = 0; i < count; ++i) c.frames.push_back(copyFrame(fs[i]));
    return doubles::take(std::move(c)).code;
}

DevReturn enumerateDevice(const char* op, DevEntry* entry) {
    Call c = makeCall(op);
    c.outWasNull = entry == nullptr;
    Reply r = doubles::take(std::move(c));
    writeOut(entry, r.out);
    return r.code;
}

DevReturn enumerateFile(const char* op, int32_t handle, const DevChar* dir, DevFileEntry* entry) {
    Call c = makeCall(op, handle);
    recordText(c, dir);
    c.outWasNull = entry == nullptr;
    Reply r = doubles::take(std::move(c));
    writeOut(entry, r.out);
    return r.code;
}

DevReturn enumerateTrigger(const char* op, int32_t handle, DevTrigger* t, DevTriggerAction* a) {
    Call c = makeCall(op, handle);
    c.outWasNull = t == nullptr || a == nullptr;
    Reply r = doubles::take(std::move(c));
    writeOut(t, r.out);
    writeOut(a, r.out2);
    return r.code;
}

DevBool capability(const char* op, int32_t classes) {
    Call c = makeCall(op);
    c.number = classes;
    return static_cast<DevBool>(doubles::take(std::move(c)).code);
}

DevReturn createShow(const char* op, int32_t handle, const DevChar* name, const ShowtapeHeader* h,
                     DevBool flag) {
    Call c = makeCall(op, handle);
    recordText(c, name);
    c.record = bytesOf(h);
    c.flag = flag;
    return doubles::take(std::move(c)).code;
}

}  // namespace

extern "C" {

int32_t getLibraryMajorRevision(void) { return plain("getLibraryMajorRevision", 0).code; }
int32_t getLibraryMinorRevision(void) { return plain("getLibraryMinorRevision", 0).code; }
int32_t getLibraryBuildRevision(void) { return plain("getLibraryBuildRevision", 0).code; }

DevBool supportsLivePlay(int32_t classes) { return capability("supportsLivePlay", classes); }
DevBool supportsPlayBackControl(int32_t classes) { return capability("supportsPlayBackControl", classes); }
DevBool supportsPlayBackConfig(int32_t classes) { return capability("supportsPlayBackConfig", classes); }
DevBool supportsRecord(int32_t classes) { return capability("supportsRecord", classes); }

DevReturn getFirstDevice(DevEntry* entry) { return enumerateDevice("getFirstDevice", entry); }
DevReturn getNextDevice(DevEntry* entry) { return enumerateDevice("getNextDevice", entry); }

DevReturn openDevice(int32_t* handle, const DevEntry* entry) {
    Call c = makeCall("openDevice");
    c.record = bytesOf(entry);
    c.outWasNull = handle == nullptr;
    Reply r = doubles::take(std::move(c));
    if (handle && r.number) *handle = static_cast<int32_t>(*r.number);
    return r.code;
}

DevReturn closeDevice(int32_t handle) { return plain("closeDevice", handle).code; }

DevReturn getDeviceInfo(int32_t handle, DevInfo* info) {
    Call c = makeCall("getDeviceInfo", handle);
    c.outWasNull = info == nullptr;
    Reply r = doubles::take(std::move(c));
    writeOut(info, r.out);
    return r.code;
}

DevReturn getDeviceState(int32_t handle, DevState* st) {
    Call c = makeCall("getDeviceState", handle);
    c.outWasNull = st == nullptr;
    Reply r = doubles::take(std::move(c));
    if (st && r.number) *st = static_cast<DevState>(*r.number);
    return r.code;
}

DevReturn startLivePlay(int32_t handle) { return plain("startLivePlay", handle).code; }
DevReturn stopLivePlay(int32_t handle) { return plain("stopLivePlay", handle).code; }
DevReturn sendFrame(int32_t handle, const DMXFrame* frame) { return frames("sendFrame", handle, 1, frame); }

DevReturn createFile(int32_t handle, const DevChar* name, ShowtapeHeader* header, DevBool overwrite) {
    return createShow("createFile", handle, name, header, overwrite);
}
DevReturn writeFrames(int32_t handle, int32_t count, const DMXFrame* fs) {
    return frames("writeFrames", handle, count, fs);
}
DevReturn closeFile(int32_t handle) { return plain("closeFile", handle).code; }

DevReturn createTestFile(int32_t handle, const DevChar* name, const ShowtapeHeader* header,
                         DevBool overwrite) {
    return createShow("createTestFile", handle, name, header, overwrite);
}
DevReturn writeTestFrames(int32_t handle, int32_t count, const DMXFrame* fs) {
    return frames("writeTestFrames", handle, count, fs);
}
DevReturn closeTestFile(int32_t handle, DevBool* willFit, int64_t* totalSize) {
    Call c = makeCall("closeTestFile", handle);
    c.outWasNull = willFit == nullptr || totalSize == nullptr;
    Reply r = doubles::take(std::move(c));
    if (willFit) *willFit = r.flag;
    if (totalSize && r.number) *totalSize = *r.number;
    return r.code;
}

DevReturn getFreeSpace(int32_t handle, int64_t* freeSpace) {
    Call c = makeCall("getFreeSpace", handle);
    c.outWasNull = freeSpace == nullptr;
    Reply r = doubles::take(std::move(c));
    if (freeSpace && r.number) *freeSpace = *r.number;
    return r.code;
}

DevReturn getFirstFile(int32_t handle, const DevChar* dir, DevFileEntry* entry) {
    return enumerateFile("getFirstFile", handle, dir, entry);
}
DevReturn getNextFile(int32_t handle, DevFileEntry* entry) {
    return enumerateFile("getNextFile", handle, nullptr, entry);
}

DevReturn deleteFile(int32_t handle, const DevChar* name, DevDeleteProgress progress) {
    Call c = makeCall("deleteFile", handle);
    recordText(c, name);
    c.progressWasNull = progress == nullptr;
    Reply r = doubles::take(std::move(c));
    if (progress)
        for (auto [done, total] : r.progress) progress(done, total);
    return r.code;
}

DevReturn openFile(int32_t handle, const DevChar* name, ShowtapeHeader* header) {
    Call c = makeCall("openFile", handle);
    recordText(c, name);
    c.outWasNull = header == nullptr;
    Reply r = doubles::take(std::move(c));
    writeOut(header, r.out);
    return r.code;
}

DevReturn readFrame(int32_t handle, DMXFrame* frame) {
    Call c = makeCall("readFrame", handle);
    c.outWasNull = frame == nullptr || frame->dmxData == nullptr;
    Reply r = doubles::take(std::move(c));
    writeFrame(frame, r);
    return r.code;
}

DevReturn startPlayback(int32_t handle, const DevChar* name) { return withText("startPlayback", handle, name); }
DevReturn stopPlayback(int32_t handle) { return plain("stopPlayback", handle).code; }

DevReturn createTriggers(int32_t handle) { return plain("createTriggers", handle).code; }
DevReturn closeTriggers(int32_t handle) { return plain("closeTriggers", handle).code; }

DevReturn setTrigger(int32_t handle, const DevTrigger* trigger, const DevTriggerAction* action) {
    Call c = makeCall("setTrigger", handle);
    c.record = bytesOf(trigger);
    c.record2 = bytesOf(action);
    return doubles::take(std::move(c)).code;
}

DevReturn getTriggerHeader(int32_t handle, DevTriggerHeader* header) {
    Call c = makeCall("getTriggerHeader", handle);
    c.outWasNull = header == nullptr;
    Reply r = doubles::take(std::move(c));
    writeOut(header, r.out);
    return r.code;
}

DevReturn setTriggerHeader(int32_t handle, const DevTriggerHeader* header) {
    Call c = makeCall("setTriggerHeader", handle);
    c.record = bytesOf(header);
    return doubles::take(std::move(c)).code;
}

DevReturn getFirstTrigger(int32_t handle, DevTrigger* t, DevTriggerAction* a) {
    return enumerateTrigger("getFirstTrigger", handle, t, a);
}
DevReturn getNextTrigger(int32_t handle, DevTrigger* t, DevTriggerAction* a) {
    return enumerateTrigger("getNextTrigger", handle, t, a);
}

}  // extern "C"
