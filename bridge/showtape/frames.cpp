// Natives of Showtape for reading and writing frames, one at a time, between
// a Java DMXFrame and the show file the object holds open.
#include <cstdlib>
#include <memory>

#include "show_object.h"
#include "showtape.h"

using namespace lumivex::jni;
using showtape_bridge::frameFields;
using showtape_bridge::readShowObject;
using showtape_bridge::ShowObject;

namespace {

// Every frame read lands in a buffer of this size: the largest frame a show
// file may hold. No more than these bytes are ever read from it.
constexpr std::size_t kReceiveBufferBytes = 2048;
static_assert(kReceiveBufferBytes == SHOWTAPE_MAX_CHANNELS, "the receive buffer holds any frame of a show file");

struct FreeChannels {
    void operator()(uint8_t* channels) const noexcept { std::free(channels); }
};

// The open show file of `self`, or nullopt after raising: 1 when a field
// cannot be resolved or no file is open (frames never raise 29).
std::optional<ShowObject> openFileOf(JNIEnv* env, jobject self) {
    std::optional<ShowObject> show = readShowObject(env, self);
    if (show && !show->isOpen()) {
        throwDevException(env, DevError);
        return std::nullopt;
    }
    return show;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Showtape_readDMXFrame(JNIEnv* env, jobject self, jobject frame) {
    // Zeroed, so the channels past the frame's own read back as 0.
    const HeapBuffer<uint8_t> receive(kReceiveBufferBytes);
    if (!receive.ok()) {
        throwDevException(env, DevOutOfMemory);
        return DevOutOfMemory;
    }
    const std::optional<ShowObject> show = openFileOf(env, self);
    if (!show) return DevError;
    // A frame that cannot take the result is refused before the library
    // reads, and so consumes, the next frame of the show.
    if (!frame) {
        throwDevException(env, DevError);
        return DevError;
    }
    const std::optional<FrameFieldIds> ids = frameFields(env, frame);
    if (!ids) return DevError;
    if (!ScopedLocalRef<jobject>(env, env->GetObjectField(frame, ids->dmxData))) {
        throwDevException(env, DevError);
        return DevError;
    }
    DMXFrame record{0, 0, 0, receive.get()};
    const DevReturn r = readDMXFrame(&show->handle, &record);
    if (r == DevNoMoreData) return DevNoMoreData;
    if (r != DevSuccess) {
        throwDevException(env, r);
        return r;
    }
    // The channels come from our buffer alone, whatever the library did with the pointer.
    record.dmxData = receive.get();
    // Every element of the Java array is written: bytes of the buffer, then 0
    // for elements past it.
    if (!frameToJava(env, frame, *ids, record, receive.size(), ElementsPastBuffer::Zero)) return DevError;
    return DevSuccess;
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Showtape_writeDMXFrame(JNIEnv* env, jobject self, jobject frame) {
    const std::optional<ShowObject> show = openFileOf(env, self);
    if (!show) return;
    if (!frame) {
        throwDevException(env, DevError);
        return;
    }
    const std::optional<FrameFieldIds> ids = frameFields(env, frame);
    if (!ids) return;
    DMXFrame record{};
    if (!frameFromJava(env, frame, *ids, record)) return;
    const std::unique_ptr<uint8_t, FreeChannels> channels(record.dmxData);
    const DevReturn r = writeDMXFrame(&show->handle, &record);
    if (r != DevSuccess) throwDevException(env, r);
}

}  // extern "C"
