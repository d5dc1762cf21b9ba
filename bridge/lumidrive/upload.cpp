// Natives of Lumidrive for storing a show on the controller (createFile,
// writeFrames, closeFile) and for the test upload that only reports whether a
// show would fit (createTestFile, writeTestFrames, closeTestFile).
#include <optional>

#include "ids.h"
#include "lumidrive.h"

using namespace lumivex::jni;
using lumidrive_bridge::FieldIds;
using lumidrive_bridge::fieldIds;

namespace {

DevBool toC(jboolean value) { return value == JNI_TRUE ? 1 : 0; }

// A Java long into a 32-bit record field: the low 32 bits, the rest dropped.
int32_t low32(jlong value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// A C ShowtapeHeader on the heap, filled from a Java ShowtapeHeader in the
// order constantFrameRate, loopShow, date, frameRate, numberChannels,
// totalFrames, commentField, effectSignature. The characters of the two texts
// stay held until it is destroyed, after the library call.
class HeaderFromJava {
public:
    // Raises and leaves ok() false: 10 when the record cannot be allocated,
    // 1 for a null header or a text that cannot be read.
    HeaderFromJava(JNIEnv* env, const FieldIds& ids, jobject header) noexcept
        : record_(1), comment_(env, nullptr), signature_(env, nullptr) {
        if (!record_.ok()) {
            throwDevException(env, DevOutOfMemory);
            return;
        }
        if (!header) {
            throwDevException(env, DevError);
            return;
        }
        ShowtapeHeader& h = record_[0];
        h.constantFrameRate = toC(env->GetBooleanField(header, ids.header.constantFrameRate));
        h.loopShow = toC(env->GetBooleanField(header, ids.header.loopShow));
        h.date = env->GetLongField(header, ids.header.date);
        h.frameRate = env->GetDoubleField(header, ids.header.frameRate);
        h.numberChannels = env->GetIntField(header, ids.header.numberChannels);
        h.totalFrames = low32(env->GetLongField(header, ids.header.totalFrames));
        comment_ = ScopedLocalRef<jstring>(env, static_cast<jstring>(env->GetObjectField(header, ids.header.commentField)));
        if (!commentText_.emplace(env, comment_.get()).ok()) return;
        commentText_->copyToField(h.commentField);
        signature_ =
            ScopedLocalRef<jstring>(env, static_cast<jstring>(env->GetObjectField(header, ids.header.effectSignature)));
        if (!signatureText_.emplace(env, signature_.get()).ok()) return;
        signatureText_->copyToField(h.effectSignature);
        ok_ = true;
    }

    bool ok() const noexcept { return ok_; }
    ShowtapeHeader* get() const noexcept { return record_.get(); }

private:
    HeapBuffer<ShowtapeHeader> record_;
    // Each string reference outlives the holder of its characters (members
    // are destroyed in reverse order).
    ScopedLocalRef<jstring> comment_;
    ScopedLocalRef<jstring> signature_;
    std::optional<TextIn> commentText_;
    std::optional<TextIn> signatureText_;
    bool ok_ = false;
};

using CreateOperation = DevReturn (*)(int32_t, const DevChar*, ShowtapeHeader*, DevBool);

// createFile / createTestFile: the name whole, the header converted, the
// library called once, its code raised.
void createShow(JNIEnv* env, jobject self, jstring name, jobject header, jboolean overwrite,
                CreateOperation operation) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    TextIn nameText(env, name);
    if (!nameText.ok()) return;
    HeaderFromJava record(env, *ids, header);
    if (!record.ok()) return;
    const DevReturn r = operation(handle, nameText.c_str(), record.get(), toC(overwrite));
    if (r != DevSuccess) throwDevException(env, r);
}

// The library's createTestFile takes its header read-only.
DevReturn createTestFileAdapter(int32_t handle, const DevChar* name, ShowtapeHeader* header, DevBool overwrite) {
    return createTestFile(handle, name, header, overwrite);
}

using WriteOperation = DevReturn (*)(int32_t, int32_t, const DMXFrame*);

// writeFrames / writeTestFrames: the whole batch converted by the frame rule,
// then one library call. Each element's local references are given back
// before the next element, so a batch of any size stays within the VM's
// local-reference capacity. A failure at some element frees the frames
// converted before it and leaves the library uncalled.
void writeBatch(JNIEnv* env, jobject self, jobjectArray frames, WriteOperation operation) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    if (!frames) {
        throwDevException(env, DevError);
        return;
    }
    const jsize count = env->GetArrayLength(frames);
    FrameRecords records(static_cast<std::size_t>(count));
    if (!records.ok()) {
        throwDevException(env, DevOutOfMemory);
        return;
    }
    for (jsize i = 0; i < count; ++i) {
        ScopedLocalRef<jobject> element(env, env->GetObjectArrayElement(frames, i));
        if (!element) {
            throwDevException(env, DevError);
            return;
        }
        if (!frameFromJava(env, element.get(), ids->frame, records[static_cast<std::size_t>(i)])) return;
    }
    const DevReturn r = operation(handle, count, records.data());
    if (r != DevSuccess) throwDevException(env, r);
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_createFile(JNIEnv* env, jobject self, jstring name,
                                                                         jobject header, jboolean overwrite) {
    createShow(env, self, name, header, overwrite, createFile);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_writeFrames(JNIEnv* env, jobject self,
                                                                          jobjectArray frames) {
    writeBatch(env, self, frames, writeFrames);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_closeFile(JNIEnv* env, jobject self) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const DevReturn r = closeFile(env->GetIntField(self, ids->devID));
    if (r != DevSuccess) throwDevException(env, r);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_createTestFile(JNIEnv* env, jobject self, jstring name,
                                                                             jobject header, jboolean overwrite) {
    createShow(env, self, name, header, overwrite, createTestFileAdapter);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_writeTestFrames(JNIEnv* env, jobject self,
                                                                              jobjectArray frames) {
    writeBatch(env, self, frames, writeTestFrames);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_closeTestFile(JNIEnv* env, jobject self,
                                                                            jobject result) {
    const FieldIds* ids = fieldIds(env);
    if (!ids) return;
    const jint handle = env->GetIntField(self, ids->devID);
    // Checked before the library call: the test upload stays open, so the
    // caller can still collect the verdict.
    if (!result) {
        throwDevException(env, DevError);
        return;
    }
    DevBool willFit = 0;
    int64_t totalSize = 0;
    const DevReturn r = closeTestFile(handle, &willFit, &totalSize);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    env->SetBooleanField(result, ids->testWrite.willFit, willFit != 0 ? JNI_TRUE : JNI_FALSE);
    env->SetLongField(result, ids->testWrite.totalSize, totalSize);
}

}  // extern "C"
