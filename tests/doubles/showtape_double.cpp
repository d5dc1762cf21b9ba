// Scripted, recording stand-in for libShowtape (see double_control.h).
#include "record_helpers.h"
#include "showtape.h"

using doubles::Call;
using doubles::Reply;
using namespace doubles::detail;

namespace {

Call makeCall(const char* op, const ShowtapeHandle* h) {
    Call c;
    c.op = op;
    c.tapeWasNull = h == nullptr;
    if (h) c.tape = *h;
    return c;
}

void recordPath(Call& c, const char* path) {
    if (path) c.path = std::string(path);
}

void writeName(DevChar* name, const Reply& r) {
    if (!name || !r.name) return;
    const size_t n = std::min<size_t>(r.name->size(), DEV_TEXT_UNITS - 1);
    std::copy_n(r.name->begin(), n, name);
    name[n] = u'\0';
}

}  // namespace

extern "C" {

DevReturn createShowtape(ShowtapeHandle* handle, const char* path, const DevChar* name,
                         const ShowtapeHeader* header, int32_t formatVersion, DevBool replaceExisting) {
    Call c = makeCall("createShowtape", handle);
    recordPath(c, path);
    recordText(c, name);
    c.record = bytesOf(header);
    c.number = formatVersion;
    c.flag = replaceExisting;
    Reply r = doubles::take(std::move(c));
    if (handle && r.tape) *handle = *r.tape;
    return r.code;
}

DevReturn openShowtape(ShowtapeHandle* handle, const char* path, DevChar name[DEV_TEXT_UNITS],
                       ShowtapeHeader* header) {
    Call c = makeCall("openShowtape", handle);
    recordPath(c, path);
    c.outWasNull = name == nullptr || header == nullptr;
    Reply r = doubles::take(std::move(c));
    if (handle && r.tape) *handle = *r.tape;
    writeName(name, r);
    writeOut(header, r.out);
    return r.code;
}

DevReturn readDMXFrame(const ShowtapeHandle* handle, DMXFrame* frame) {
    Call c = makeCall("readDMXFrame", handle);
    c.outWasNull = frame == nullptr || frame->dmxData == nullptr;
    Reply r = doubles::take(std::move(c));
    writeFrame(frame, r);
    return r.code;
}

DevReturn writeDMXFrame(const ShowtapeHandle* handle, const DMXFrame* frame) {
    Call c = makeCall("writeDMXFrame", handle);
    if (frame) c.frames.push_back(copyFrame(*frame));
    c.outWasNull = frame == nullptr;
    return doubles::take(std::move(c)).code;
}

DevReturn rewindShowtape(const ShowtapeHandle* handle) {
    return doubles::take(makeCall("rewindShowtape", handle)).code;
}

DevReturn closeShowtape(const ShowtapeHandle* handle) {
    return doubles::take(makeCall("closeShowtape", handle)).code;
}

DevReturn getLibraryVersion(int32_t* major, int32_t* minor, int32_t* build) {
    Call c = makeCall("getLibraryVersion", nullptr);
    c.outWasNull = !major || !minor || !build;
    Reply r = doubles::take(std::move(c));
    if (major) *major = r.major;
    if (minor) *minor = r.minor;
    if (build) *build = r.build;
    return r.code;
}

}  // extern "C"
