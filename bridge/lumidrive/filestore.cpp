// Natives of Lumidrive for the controller's file store and playback: listing
// (getFirstFile, getNextFile), deleteFile with progress reports to a Java
// listener, getFreeSpace, reading a stored show (openFile, readFrame) and
// startPlayback / stopPlayback.
//
// The listing and frame-reading natives hand some codes back as their int
// result instead of raising them: 2 when nothing is left, 10 when a native
// record cannot be allocated, 1 (listing only) when a text cannot be
// converted; no exception is pending then.
#include "ids.h"
#include "lumidrive.h"

using namespace lumivex::jni;
using lumidrive_bridge::FieldIds;
using lumidrive_bridge::fieldIds;

namespace {

// Bytes of the buffer a frame is read into; the library writes at most 512.
constexpr std::size_t kReceiveBufferBytes = 2048;

jboolean toJava(DevBool value) { return value != 0 ? JNI_TRUE : JNI_FALSE; }

// A helper raised `code` (or the VM raised an error) on a path where the
// code is handed back as the result instead: nothing stays pending.
jint handBack(JNIEnv* env, jint code) {
    env->ExceptionClear();
    return code;
}

// The end of a listing or frame read: 0 and 2 are results, any other library
// code is raised (the result is then 0).
jint readResult(JNIEnv* env, DevReturn r) {
    if (r == DevSuccess || r == DevNoMoreData) return r;
    throwDevException(env, r);
    return 0;
}

// getFirstFile / getNextFile after the library call: on success the entry
// gets fileSize, lastModified, isDirectory, then fileName.
jint fileEntryResult(JNIEnv* env, const FieldIds& ids, DevReturn r, const DevFileEntry& record, jobject entry) {
    if (r == DevSuccess) {
        env->SetLongField(entry, ids.fileEntry.fileSize, record.fileSize);
        env->SetLongField(entry, ids.fileEntry.lastModified, record.lastModified);
        env->SetBooleanField(entry, ids.fileEntry.isDirectory, toJava(record.isDirectory));
        if (!setTextField(env, entry, ids.fileEntry.fileName, record.fileName)) return handBack(env, DevError);
    }
    return readResult(env, r);
}

// C ShowtapeHeader -> Java, in the order constantFrameRate, loopShow, date,
// frameRate, numberChannels, totalFrames (sign-extended), commentField,
// effectSignature. False after raising 1 when a text cannot become a Java
// string; the fields set before keep their new values.
bool headerToJava(JNIEnv* env, const FieldIds& ids, const ShowtapeHeader& record, jobject header) {
    env->SetBooleanField(header, ids.header.constantFrameRate, toJava(record.constantFrameRate));
    env->SetBooleanField(header, ids.header.loopShow, toJava(record.loopShow));
    env->SetLongField(header, ids.header.date, record.date);
    env->SetDoubleField(header, ids.header.frameRate, record.frameRate);
    env->SetIntField(header, ids.header.numberChannels, record.numberChannels);
    env->SetLongField(header, ids.header.totalFrames, jlong{record.totalFrames});
    if (!setTextField(env, header, ids.header.commentField, record.commentField)) return false;
    return setTextField(env, header, ids.header.effectSignature, record.effectSignature);
}

// ---- Delete listener ----
//
// The listener of the deleteFile running on this thread, with this thread's
// environment. Kept per thread, so deletes on several threads each reach only
// their own listener; set just before the library call and put back to what
// it was right after it, so a later (or nested) call never sees a stale one.
struct DeleteProgress {
    JNIEnv* deleteListenerEnv;
    jobject deleteListener;  // null: progress reaches nobody
    bool listenerThrew;      // once set, no further Java call for this delete
};

thread_local DeleteProgress* currentDelete = nullptr;

class DeleteProgressScope {
public:
    explicit DeleteProgressScope(DeleteProgress& progress) noexcept : previous_(currentDelete) {
        currentDelete = &progress;
    }
    DeleteProgressScope(const DeleteProgressScope&) = delete;
    DeleteProgressScope& operator=(const DeleteProgressScope&) = delete;
    ~DeleteProgressScope() { currentDelete = previous_; }

private:
    DeleteProgress* previous_;
};

}  // namespace

extern "C" {

// The progress function deleteFile hands to the library: forwards (done,
// total) to the listener's deleteCallback(int, int), looked up afresh on
// every call. A call on a thread with no deleteFile running, with a null
// listener, or after the listener has thrown reaches no Java code.
static void forwardDeleteCallback(int32_t done, int32_t total) {
    DeleteProgress* progress = currentDelete;
    if (!progress || !progress->deleteListener || progress->listenerThrew) return;
    JNIEnv* env = progress->deleteListenerEnv;
    ScopedLocalRef<jclass> cls(env, env->GetObjectClass(progress->deleteListener));
    const jmethodID callback = cls ? env->GetMethodID(cls.get(), "deleteCallback", "(II)V") : nullptr;
    if (!callback) {
        // A listener without the method hears nothing; the lookup's error is
        // not the caller's failure.
        env->ExceptionClear();
        return;
    }
    env->CallVoidMethod(progress->deleteListener, callback, jint{done}, jint{total});
    if (env->ExceptionCheck()) progress->listenerThrew = true;
}

}  // extern "C"

namespace {

// The listener's exception is pending and the library failed as well: the
// listener's exception stays the one the caller sees, and the library's
// DevException is attached to it as suppressed, so its code is not lost.
void addLibraryFailure(JNIEnv* env, DevReturn r) {
    ScopedLocalRef<jthrowable> listenerError(env, env->ExceptionOccurred());
    env->ExceptionClear();
    throwDevException(env, r);
    ScopedLocalRef<jthrowable> libraryError(env, env->ExceptionOccurred());
    env->ExceptionClear();
    if (libraryError) {
        ScopedLocalRef<jclass> cls(env, env->GetObjectClass(listenerError.get()));
        const jmethodID addSuppressed = env->GetMethodID(cls.get(), "addSuppressed", "(Ljava/lang/Throwable;)V");
        if (addSuppressed) env->CallVoidMethod(listenerError.get(), addSuppressed, libraryError.get());
        env->ExceptionClear();
    }
    env->Throw(listenerError.get());
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getFirstFile(JNIEnv* env, jobject self,
                                                                          jstring directory, jobject entry) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return DevError;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!directory || !entry) {
        throwDevException(env, DevError);
        return DevError;
    }
    HeapBuffer<DevFileEntry> record(1);
    if (!record.ok()) return DevOutOfMemory;
    TextIn directoryText(env, directory);
    if (!directoryText.ok()) return handBack(env, DevError);
    const DevReturn r = getFirstFile(handle, directoryText.c_str(), record.get());
    return fileEntryResult(env, *ids, r, record[0], entry);
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_getNextFile(JNIEnv* env, jobject self, jobject entry) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return DevError;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!entry) {
        throwDevException(env, DevError);
        return DevError;
    }
    HeapBuffer<DevFileEntry> record(1);
    if (!record.ok()) return DevOutOfMemory;
    const DevReturn r = getNextFile(handle, record.get());
    return fileEntryResult(env, *ids, r, record[0], entry);
}

// When the listener throws, the library's delete still runs to its end, but
// no further progress reaches Java and the caller sees the listener's
// exception; a library failure is then attached to it as suppressed.
JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_deleteFile(JNIEnv* env, jobject self, jstring name,
                                                                         jobject listener) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    TextIn nameText(env, name);
    if (!nameText.ok()) return;
    DeleteProgress progress{env, listener, false};
    DevReturn r = DevSuccess;
    {
        DeleteProgressScope scope(progress);
        r = deleteFile(handle, nameText.c_str(), forwardDeleteCallback);
    }
    if (progress.listenerThrew) {
        if (r != DevSuccess) addLibraryFailure(env, r);
        return;
    }
    if (r != DevSuccess) throwDevException(env, r);
}

JNIEXPORT jlong JNICALL Java_com_lumivex_controller_Lumidrive_getFreeSpace(JNIEnv* env, jobject self) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return -1;
    int64_t freeSpace = 0;
    const DevReturn r = getFreeSpace(env->GetIntField(self, ids->devID), &freeSpace);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return -1;
    }
    return freeSpace;
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_openFile(JNIEnv* env, jobject self, jstring name,
                                                                       jobject header) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    TextIn nameText(env, name);
    if (!nameText.ok()) return;
    // Checked before the library opens the show, which a null header could
    // never receive.
    if (!header) {
        throwDevException(env, DevError);
        return;
    }
    HeapBuffer<ShowtapeHeader> record(1);
    if (!record.ok()) {
        throwDevException(env, DevOutOfMemory);
        return;
    }
    const DevReturn r = openFile(handle, nameText.c_str(), record.get());
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    headerToJava(env, *ids, record[0], header);
}

// The receive buffer is zero-filled before the call and only its 2048 bytes
// are read: elements past what the library wrote, and past 2048 in a longer
// array, get 0, never stale heap bytes.
JNIEXPORT jint JNICALL Java_com_lumivex_controller_Lumidrive_readFrame(JNIEnv* env, jobject self, jobject frame) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return DevError;
    const jint handle = env->GetIntField(self, ids->devID);
    // A frame that could not take the result is refused before the library
    // reads (and so consumes) the next frame.
    if (!frame) {
        throwDevException(env, DevError);
        return DevError;
    }
    {
        ScopedLocalRef<jobject> data(env, env->GetObjectField(frame, ids->frame.dmxData));
        if (!data) {
            throwDevException(env, DevError);
            return DevError;
        }
    }
    HeapBuffer<DMXFrame> record(1);
    if (!record.ok()) return DevOutOfMemory;
    HeapBuffer<uint8_t> channels(kReceiveBufferBytes);
    if (!channels.ok()) return DevOutOfMemory;
    record[0].dmxData = channels.get();
    const DevReturn r = readFrame(handle, record.get());
    if (r == DevSuccess) {
        DMXFrame got = record[0];
        got.dmxData = channels.get();  // the bytes are read from our buffer, whatever the record says
        if (!frameToJava(env, frame, ids->frame, got, kReceiveBufferBytes, ElementsPastBuffer::Zero))
            return DevError;
    }
    return readResult(env, r);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_startPlayback(JNIEnv* env, jobject self, jstring name) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    TextIn nameText(env, name);
    if (!nameText.ok()) return;
    const DevReturn r = startPlayback(handle, nameText.c_str());
    if (r != DevSuccess) throwDevException(env, r);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_stopPlayback(JNIEnv* env, jobject self) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const DevReturn r = stopPlayback(env->GetIntField(self, ids->devID));
    if (r != DevSuccess) throwDevException(env, r);
}

}  // extern "C"
