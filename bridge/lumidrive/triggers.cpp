// Natives of Lumidrive for the controller's trigger table: writing it
// (createTriggers, setTrigger, closeTriggers), enumerating it
// (getFirstTrigger, getNextTrigger) and its four-byte header
// (getTriggerHeader, setTriggerHeader). Every failure is raised; the
// enumeration returns 2 without raising when no trigger is left.
#include "ids.h"
#include "lumidrive.h"

using namespace lumivex::jni;
using lumidrive_bridge::FieldIds;
using lumidrive_bridge::fieldIds;

namespace {

// A Java long into a 32-bit record field: the low 32 bits, the rest dropped.
int32_t low32(jlong value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }
// A Java int into a header byte: the low 8 bits, the rest dropped.
uint8_t low8(jint value) { return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu); }

// createTriggers / closeTriggers: the handle to the library, its code raised.
void callOnDevice(JNIEnv* env, jobject self, DevReturn (*operation)(int32_t)) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const DevReturn r = operation(env->GetIntField(self, ids->devID));
    if (r != DevSuccess) throwDevException(env, r);
}

using EnumerateOperation = DevReturn (*)(int32_t, DevTrigger*, DevTriggerAction*);

// getFirstTrigger / getNextTrigger: 0 with both objects filled, 2 (returned,
// not raised) with both untouched when no trigger is left, 1 whenever a
// DevException is raised.
jint enumerateTriggers(JNIEnv* env, jobject self, jobject trigger, jobject action, EnumerateOperation operation) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return DevError;
    HeapBuffer<DevTrigger> triggerRecord(1);
    HeapBuffer<DevTriggerAction> actionRecord(1);
    if (!triggerRecord.ok() || !actionRecord.ok()) {
        throwDevException(env, DevOutOfMemory);
        return DevError;
    }
    const jint handle = env->GetIntField(self, ids->devID);
    // Checked before the library call, which would move the enumeration on.
    if (!trigger || !action) {
        throwDevException(env, DevError);
        return DevError;
    }
    const DevReturn r = operation(handle, triggerRecord.get(), actionRecord.get());
    if (r == DevNoMoreData) return DevNoMoreData;
    if (r != DevSuccess) {
        throwDevException(env, r);
        return DevError;
    }
    const DevTrigger& t = triggerRecord[0];
    const DevTriggerAction& a = actionRecord[0];
    env->SetIntField(trigger, ids->trigger.triggerType, t.triggerType);
    env->SetLongField(trigger, ids->trigger.value, jlong{t.value});
    env->SetIntField(action, ids->action.actionType, a.actionType);
    env->SetLongField(action, ids->action.value, jlong{a.value});
    if (!setTextField(env, action, ids->action.fileName, a.fileName)) return DevError;
    return DevSuccess;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_createTriggers(JNIEnv* env, jobject self) {
    callOnDevice(env, self, createTriggers);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_closeTriggers(JNIEnv* env, jobject self) {
    callOnDevice(env, self, closeTriggers);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_setTrigger(JNIEnv* env, jobject self, jobject trigger,
                                                                         jobject action) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!trigger || !action) {
        throwDevException(env, DevError);
        return;
    }
    DevTrigger triggerRecord{};
    triggerRecord.triggerType = env->GetIntField(trigger, ids->trigger.triggerType);
    triggerRecord.value = low32(env->GetLongField(trigger, ids->trigger.value));
    DevTriggerAction actionRecord{};
    actionRecord.actionType = env->GetIntField(action, ids->action.actionType);
    actionRecord.value = low32(env->GetLongField(action, ids->action.value));
    ScopedLocalRef<jstring> fileName(env, static_cast<jstring>(env->GetObjectField(action, ids->action.fileName)));
    TextIn fileNameText(env, fileName.get());
    if (!fileNameText.ok()) return;
    fileNameText.copyToField(actionRecord.fileName);
    const DevReturn r = setTrigger(handle, &triggerRecord, &actionRecord);
    if (r != DevSuccess) throwDevException(env, r);
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getFirstTrigger(JNIEnv* env, jobject self,
                                                                             jobject trigger, jobject action) {
    return enumerateTriggers(env, self, trigger, action, getFirstTrigger);
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getNextTrigger(JNIEnv* env, jobject self,
                                                                            jobject trigger, jobject action) {
    return enumerateTriggers(env, self, trigger, action, getNextTrigger);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_getTriggerHeader(JNIEnv* env, jobject self,
                                                                               jobject header) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!header) {
        throwDevException(env, DevError);
        return;
    }
    DevTriggerHeader record{};
    const DevReturn r = getTriggerHeader(handle, &record);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    env->SetIntField(header, ids->triggerHeader.byte1, jint{record.byte1});
    env->SetIntField(header, ids->triggerHeader.byte2, jint{record.byte2});
    env->SetIntField(header, ids->triggerHeader.byte3, jint{record.byte3});
    env->SetIntField(header, ids->triggerHeader.byte4, jint{record.byte4});
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_setTriggerHeader(JNIEnv* env, jobject self,
                                                                               jobject header) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    HeapBuffer<DevTriggerHeader> record(1);
    if (!record.ok()) {
        throwDevException(env, DevOutOfMemory);
        return;
    }
    const jint handle = env->GetIntField(self, ids->devID);
    if (!header) {
        throwDevException(env, DevError);
        return;
    }
    record[0].byte1 = low8(env->GetIntField(header, ids->triggerHeader.byte1));
    record[0].byte2 = low8(env->GetIntField(header, ids->triggerHeader.byte2));
    record[0].byte3 = low8(env->GetIntField(header, ids->triggerHeader.byte3));
    record[0].byte4 = low8(env->GetIntField(header, ids->triggerHeader.byte4));
    const DevReturn r = setTriggerHeader(handle, record.get());
    if (r != DevSuccess) throwDevException(env, r);
}

}  // extern "C"
