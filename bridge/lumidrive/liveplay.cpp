// Natives of Lumidrive for live play: frames go one at a time from Java to
// the open controller.
#include "ids.h"
#include "lumidrive.h"

using namespace lumivex::jni;
using lumidrive_bridge::FieldIds;
using lumidrive_bridge::fieldIds;

namespace {

// startLivePlay / stopLivePlay: the handle to the library, its code raised.
void callOnDevice(JNIEnv* env, jobject self, DevReturn (*operation)(int32_t)) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const DevReturn r = operation(env->GetIntField(self, ids->devID));
    if (r != DevSuccess) throwDevException(env, r);
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_startLivePlay(JNIEnv* env, jobject self) {
    callOnDevice(env, self, startLivePlay);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_stopLivePlay(JNIEnv* env, jobject self) {
    callOnDevice(env, self, stopLivePlay);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_sendFrame(JNIEnv* env, jobject self, jobject frame) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    FrameRecords record(1);
    if (!record.ok()) {
        throwDevException(env, DevOutOfMemory);
        return;
    }
    if (!frameFromJava(env, frame, ids->frame, record[0])) return;
    const DevReturn r = sendFrame(handle, record.data());
    if (r != DevSuccess) throwDevException(env, r);
}

}  // extern "C"
