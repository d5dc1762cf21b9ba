// Natives of com.lumivex.bench.Native: reference points for the per-frame
// benchmark. They do what the bridges' frame natives do step by step, and
// nothing else, so the benchmark can tell where a frame's time goes.
#include <jni.h>

#include <cstdint>
#include <cstdlib>

extern "C" {

// The cost of entering and leaving native code.
JNIEXPORT void JNICALL Java_com_lumivex_bench_Native_nop(JNIEnv*, jclass) {}

// The same with an object argument, as every frame native has.
JNIEXPORT void JNICALL Java_com_lumivex_bench_Native_nopFrame(JNIEnv*, jclass, jobject) {}

// Element access as the bridges take it: GetIntArrayElements (the VM copies
// the array out) and ReleaseIntArrayElements in mode 0 (copied back, freed).
JNIEXPORT jint JNICALL Java_com_lumivex_bench_Native_elements(JNIEnv* env, jclass, jintArray data) {
    jint* elements = env->GetIntArrayElements(data, nullptr);
    if (!elements) return -1;
    const jint first = elements[0];
    env->ReleaseIntArrayElements(data, elements, 0);
    return first;
}

// Element access without copying back: ReleaseIntArrayElements with JNI_ABORT.
JNIEXPORT jint JNICALL Java_com_lumivex_bench_Native_elementsAbort(JNIEnv* env, jclass, jintArray data) {
    jint* elements = env->GetIntArrayElements(data, nullptr);
    if (!elements) return -1;
    const jint first = elements[0];
    env->ReleaseIntArrayElements(data, elements, JNI_ABORT);
    return first;
}

}  // extern "C"

namespace {

struct FrameIds {
    jfieldID startCode;
    jfieldID dmxData;
};

// The frame rule's Java-to-C conversion of a frame without a library call:
// field reads, element access, two heap requests, the cut to bytes, release
// and free.
jint convert(JNIEnv* env, jobject frame, const FrameIds& ids) {
    const jint code = env->GetIntField(frame, ids.startCode);
    auto data = static_cast<jintArray>(env->GetObjectField(frame, ids.dmxData));
    const jsize n = env->GetArrayLength(data);
    jint* elements = env->GetIntArrayElements(data, nullptr);
    if (!elements) return -1;
    auto* record = static_cast<int32_t*>(std::malloc(16));
    auto* channels = static_cast<uint8_t*>(std::malloc(n > 0 ? static_cast<std::size_t>(n) : 1));
    jint sum = code;
    if (record && channels) {
        for (jsize i = 0; i < n; ++i) channels[i] = static_cast<uint8_t>(static_cast<uint32_t>(elements[i]) & 0xFFu);
        sum += channels[n > 0 ? n - 1 : 0];
    }
    std::free(channels);
    std::free(record);
    env->ReleaseIntArrayElements(data, elements, 0);
    env->DeleteLocalRef(data);
    return sum;
}

FrameIds lookUp(JNIEnv* env, jobject frame) {
    jclass cls = env->GetObjectClass(frame);
    FrameIds ids{env->GetFieldID(cls, "startCode", "I"), env->GetFieldID(cls, "dmxData", "[I")};
    env->DeleteLocalRef(cls);
    return ids;
}

FrameIds cached{};

}  // namespace

extern "C" {

// With field identifiers resolved once, as the controller bridge keeps them.
JNIEXPORT jint JNICALL Java_com_lumivex_bench_Native_convertCached(JNIEnv* env, jclass, jobject frame) {
    if (!cached.dmxData) cached = lookUp(env, frame);
    if (!cached.startCode || !cached.dmxData) return -1;
    return convert(env, frame, cached);
}

// With the identifiers resolved on the frame's class at every call, as the show-file bridge does.
JNIEXPORT jint JNICALL Java_com_lumivex_bench_Native_convertLookup(JNIEnv* env, jclass, jobject frame) {
    const FrameIds ids = lookUp(env, frame);
    if (!ids.startCode || !ids.dmxData) return -1;
    return convert(env, frame, ids);
}

}  // extern "C"
