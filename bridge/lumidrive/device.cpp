// Natives of Lumidrive for the library's revision, capability queries,
// controller discovery, opening and closing, device information and state.
#include "ids.h"
#include "lumidrive.h"

using namespace lumivex::jni;
using lumidrive_bridge::FieldIds;
using lumidrive_bridge::fieldIds;

namespace {

jboolean toJava(DevBool value) { return value != 0 ? JNI_TRUE : JNI_FALSE; }

// C DevEntry -> Java DevEntry, in the order deviceType, devicePort,
// deviceName, deviceClasses, deviceNumber. False after raising (NewString).
bool entryToJava(JNIEnv* env, const FieldIds& ids, const DevEntry& record, jobject entry) {
    env->SetIntField(entry, ids.entry.deviceType, record.deviceType);
    if (!setTextField(env, entry, ids.entry.devicePort, record.devicePort)) return false;
    if (!setTextField(env, entry, ids.entry.deviceName, record.deviceName)) return false;
    env->SetIntField(entry, ids.entry.deviceClasses, record.deviceClasses);
    env->SetIntField(entry, ids.entry.deviceNumber, record.deviceNumber);
    return true;
}

// Java DevEntry -> C DevEntry, in the order deviceType, devicePort,
// deviceName, deviceClasses, deviceNumber. The strings' characters are given
// back when it returns. False after raising.
bool entryFromJava(JNIEnv* env, const FieldIds& ids, jobject entry, DevEntry& record) {
    if (!entry) {
        throwDevException(env, DevError);
        return false;
    }
    record.deviceType = env->GetIntField(entry, ids.entry.deviceType);
    ScopedLocalRef<jstring> port(env, static_cast<jstring>(env->GetObjectField(entry, ids.entry.devicePort)));
    TextIn portText(env, port.get());
    if (!portText.ok()) return false;
    portText.copyToField(record.devicePort);
    ScopedLocalRef<jstring> name(env, static_cast<jstring>(env->GetObjectField(entry, ids.entry.deviceName)));
    TextIn nameText(env, name.get());
    if (!nameText.ok()) return false;
    nameText.copyToField(record.deviceName);
    record.deviceClasses = env->GetIntField(entry, ids.entry.deviceClasses);
    record.deviceNumber = env->GetIntField(entry, ids.entry.deviceNumber);
    return true;
}

// C DevInfo -> Java DevInfo, revision first. False after raising (NewString);
// then no other field is set.
bool infoToJava(JNIEnv* env, const FieldIds& ids, const DevInfo& record, jobject info) {
    if (!setTextField(env, info, ids.info.revision, record.revision)) return false;
    env->SetIntField(info, ids.info.numberLivePlayChannels, record.numberLivePlayChannels);
    env->SetIntField(info, ids.info.numberPlaybackChannels, record.numberPlaybackChannels);
    env->SetBooleanField(info, ids.info.canPlaybackCompress, toJava(record.canPlaybackCompress));
    env->SetIntField(info, ids.info.numberPlaybackTriggers, record.numberPlaybackTriggers);
    env->SetLongField(info, ids.info.totalSpace, record.totalSpace);
    env->SetIntField(info, ids.info.maxNumberShows, record.maxNumberShows);
    env->SetBooleanField(info, ids.info.canListFiles, toJava(record.canListFiles));
    env->SetBooleanField(info, ids.info.canReadFiles, toJava(record.canReadFiles));
    env->SetBooleanField(info, ids.info.hasTriggerHeader, toJava(record.hasTriggerHeader));
    env->SetDoubleField(info, ids.info.minFrameRate, record.minFrameRate);
    return true;
}

// getFirstDevice / getNextDevice: 0 with the entry filled, 2 (returned, not
// raised) when nothing is left; every other library code is raised.
jint enumerateDevices(JNIEnv* env, jobject entry, DevReturn (*next)(DevEntry*)) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return -1;
    if (!entry) {
        throwDevException(env, DevError);
        return DevError;
    }
    DevEntry record{};
    const DevReturn r = next(&record);
    if (r == DevNoMoreData) return DevNoMoreData;
    if (r != DevSuccess) {
        throwDevException(env, r);
        return -1;
    }
    return entryToJava(env, *ids, record, entry) ? DevSuccess : DevError;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getLibraryMajorRevision(JNIEnv*, jclass) {
    return getLibraryMajorRevision();
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getLibraryMinorRevision(JNIEnv*, jclass) {
    return getLibraryMinorRevision();
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getLibraryBuildRevision(JNIEnv*, jclass) {
    return getLibraryBuildRevision();
}

JNIEXPORT jboolean JNICALL Java_com_lumivex_controller_Lumidrive_supportsLivePlay(JNIEnv*, jclass, jint classes) {
    return toJava(supportsLivePlay(classes));
}

JNIEXPORT jboolean JNICALL Java_com_lumivex_controller_Lumidrive_supportsPlayBackControl(JNIEnv*, jclass,
                                                                                          jint classes) {
    return toJava(supportsPlayBackControl(classes));
}

JNIEXPORT jboolean JNICALL Java_com_lumivex_controller_Lumidrive_supportsPlayBackConfig(JNIEnv*, jclass,
                                                                                         jint classes) {
    return toJava(supportsPlayBackConfig(classes));
}

JNIEXPORT jboolean JNICALL Java_com_lumivex_controller_Lumidrive_supportsRecord(JNIEnv*, jclass, jint classes) {
    return toJava(supportsRecord(classes));
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getFirstDevice(JNIEnv* env, jclass, jobject entry) {
    return enumerateDevices(env, entry, getFirstDevice);
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getNextDevice(JNIEnv* env, jclass, jobject entry) {
    return enumerateDevices(env, entry, getNextDevice);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_openDevice(JNIEnv* env, jobject self, jobject entry) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    // One device per object: the library is not asked while one is open.
    if (env->GetIntField(self, ids->devID) != -1) {
        throwDevException(env, DevError);
        return;
    }
    DevEntry record{};
    if (!entryFromJava(env, *ids, entry, record)) return;
    int32_t handle = -1;
    const DevReturn r = openDevice(&handle, &record);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    env->SetIntField(self, ids->devID, handle);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_closeDevice(JNIEnv* env, jobject self) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    const DevReturn r = closeDevice(handle);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    env->SetIntField(self, ids->devID, -1);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_getDeviceInfo(JNIEnv* env, jobject self, jobject info) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!info) {
        throwDevException(env, DevError);
        return;
    }
    HeapBuffer<DevInfo> record(1);
    if (!record.ok()) {
        throwDevException(env, DevOutOfMemory);
        return;
    }
    const DevReturn r = getDeviceInfo(handle, record.get());
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    infoToJava(env, *ids, record[0], info);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_getDeviceState(JNIEnv* env, jobject self,
                                                                             jobject state) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!state) {
        throwDevException(env, DevError);
        return;
    }
    DevState value = 0;
    const DevReturn r = getDeviceState(handle, &value);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    env->SetIntField(state, ids->state.state, value);
}

}  // extern "C"
