// Natives of Showtape for the library's version and for opening, creating,
// closing and rewinding a show file.
//
// The open file's identity lives only in the object's fileHandle and
// versionNumber; every native reads them again. Both are resolved before the
// library is asked to open or create, so a file the library opens can always
// be recorded in the object and closed again.
#include "show_object.h"
#include "showtape.h"

using namespace lumivex::jni;
using showtape_bridge::ObjectFields;
using showtape_bridge::readShowObject;
using showtape_bridge::ShowObject;
using showtape_bridge::storeHandle;

namespace {

constexpr const char* kString = "Ljava/lang/String;";

// Open and create hand the library a handle that names no file.
constexpr ShowtapeHandle kNoFile{0, -1};

// The name buffer openShowtape fills.
struct NameBuffer {
    DevChar units[DEV_TEXT_UNITS];
};

// Text-in options of this bridge: a copy that cannot be allocated is a memory failure.
constexpr TextInOptions kFieldText{.copyFailureCode = DevOutOfMemory, .zeroUnits = 1};
// The show name goes to the library followed by two zero units.
constexpr TextInOptions kNameText{.copyFailureCode = DevOutOfMemory, .zeroUnits = 2};

jboolean toJava(DevBool value) { return value != 0 ? JNI_TRUE : JNI_FALSE; }
DevBool fromJava(jboolean value) { return value != JNI_FALSE ? 1 : 0; }

// getLibraryVersion's component `index` (0 major, 1 minor, 2 build), or -1
// when the library reports a failure.
jint versionComponent(int index) {
    int32_t parts[3] = {0, 0, 0};
    if (getLibraryVersion(&parts[0], &parts[1], &parts[2]) != DevSuccess) return -1;
    return parts[index];
}

// C ShowtapeHeader -> Java header, resolving each field on the header's class
// and setting it at once, in record order. False after raising
// DevException(DevError); the fields set before stay set.
bool headerToJava(JNIEnv* env, const ShowtapeHeader& record, jobject header) {
    const ObjectFields fields(env, header);
    jfieldID id = nullptr;
    if (!(id = fields.get("constantFrameRate", "Z"))) return false;
    env->SetBooleanField(header, id, toJava(record.constantFrameRate));
    if (!(id = fields.get("loopShow", "Z"))) return false;
    env->SetBooleanField(header, id, toJava(record.loopShow));
    if (!(id = fields.get("date", "J"))) return false;
    env->SetLongField(header, id, record.date);
    if (!(id = fields.get("frameRate", "D"))) return false;
    env->SetDoubleField(header, id, record.frameRate);
    if (!(id = fields.get("numberChannels", "I"))) return false;
    env->SetIntField(header, id, record.numberChannels);
    if (!(id = fields.get("totalFrames", "J"))) return false;
    env->SetLongField(header, id, static_cast<jlong>(record.totalFrames));  // sign-extended
    if (!(id = fields.get("commentField", kString))) return false;
    if (!setTextField(env, header, id, record.commentField)) return false;
    if (!(id = fields.get("effectSignature", kString))) return false;
    return setTextField(env, header, id, record.effectSignature);
}

// One String field of the Java header into a 256-unit field of the record,
// cut to 255 units. False after raising: 1 for a field that cannot be
// resolved, a null string or characters not had; 10 for the copy.
bool textFieldFromJava(JNIEnv* env, const ObjectFields& fields, jobject header, const char* name,
                       DevChar (&field)[DEV_TEXT_UNITS]) {
    const jfieldID id = fields.get(name, kString);
    if (!id) return false;
    ScopedLocalRef<jstring> text(env, static_cast<jstring>(env->GetObjectField(header, id)));
    TextIn in(env, text.get(), kFieldText);
    if (!in.ok()) return false;
    in.copyToField(field);
    return true;
}

// Java header -> C ShowtapeHeader, resolving each field on the header's class,
// in record order. False after raising (1 for a null header, a field that
// cannot be resolved or a text that cannot be had; 10 for a text's copy).
bool headerFromJava(JNIEnv* env, jobject header, ShowtapeHeader& record) {
    if (!header) {
        throwDevException(env, DevError);
        return false;
    }
    const ObjectFields fields(env, header);
    jfieldID id = nullptr;
    if (!(id = fields.get("constantFrameRate", "Z"))) return false;
    record.constantFrameRate = fromJava(env->GetBooleanField(header, id));
    if (!(id = fields.get("loopShow", "Z"))) return false;
    record.loopShow = fromJava(env->GetBooleanField(header, id));
    if (!(id = fields.get("date", "J"))) return false;
    record.date = env->GetLongField(header, id);
    if (!(id = fields.get("frameRate", "D"))) return false;
    record.frameRate = env->GetDoubleField(header, id);
    if (!(id = fields.get("numberChannels", "I"))) return false;
    record.numberChannels = env->GetIntField(header, id);
    if (!(id = fields.get("totalFrames", "J"))) return false;
    // The record holds 32 bits: the high half is dropped.
    record.totalFrames = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(env->GetLongField(header, id))));
    return textFieldFromJava(env, fields, header, "commentField", record.commentField) &&
           textFieldFromJava(env, fields, header, "effectSignature", record.effectSignature);
}

// closeShowtape / rewindShowtape: the handle of an open file to the library,
// its code raised; 29 when no file is open. True when the library succeeded.
bool callOnOpenFile(JNIEnv* env, const std::optional<ShowObject>& show, DevReturn (*operation)(const ShowtapeHandle*)) {
    if (!show) return false;
    if (!show->isOpen()) {
        throwDevException(env, DevFileNotOpen);
        return false;
    }
    const DevReturn r = operation(&show->handle);
    if (r != DevSuccess) {
        throwDevException(env, r);
        return false;
    }
    return true;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Showtape_getLibraryMajorRevision(JNIEnv*, jclass) {
    return versionComponent(0);
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Showtape_getLibraryMinorRevision(JNIEnv*, jclass) {
    return versionComponent(1);
}

JNIEXPORT jint JNICALL Java_com_lumivex_controller_Showtape_getLibraryBuildRevision(JNIEnv*, jclass) {
    return versionComponent(2);
}

JNIEXPORT jstring JNICALL Java_com_lumivex_controller_Showtape_openShowtape(JNIEnv* env, jobject self, jstring path,
                                                                            jobject header) {
    const std::optional<ShowObject> show = readShowObject(env, self);
    if (!show) return nullptr;
    if (show->isOpen()) {
        throwDevException(env, DevFileAlreadyOpen);
        return nullptr;
    }
    const ScopedStringUTFChars pathChars(env, path);
    if (!pathChars.ok() || !header) {
        throwDevException(env, DevError);
        return nullptr;
    }
    const HeapBuffer<NameBuffer> name(1);
    if (!name.ok()) {
        throwDevException(env, DevOutOfMemory);
        return nullptr;
    }
    const HeapBuffer<ShowtapeHeader> record(1);
    if (!record.ok()) {
        throwDevException(env, DevOutOfMemory);
        return nullptr;
    }
    ShowtapeHandle handle = kNoFile;
    const DevReturn r = openShowtape(&handle, pathChars.c_str(), name[0].units, record.get());
    if (r != DevSuccess) {
        throwDevException(env, r);
        return nullptr;
    }
    // From here the file is open and recorded in the object, whatever fails next.
    storeHandle(env, self, *show, handle);
    if (!headerToJava(env, record[0], header)) return nullptr;
    return textToJava(env, name[0].units).release();
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Showtape_createShowtape(JNIEnv* env, jobject self, jstring path,
                                                                           jstring name, jobject header,
                                                                           jint formatVersion, jboolean replace) {
    const std::optional<ShowObject> show = readShowObject(env, self);
    if (!show) return;
    if (show->isOpen()) {
        throwDevException(env, DevFileAlreadyOpen);
        return;
    }
    const ScopedStringUTFChars pathChars(env, path);
    if (!pathChars.ok()) {
        throwDevException(env, DevError);
        return;
    }
    const TextIn nameText(env, name, kNameText);
    if (!nameText.ok()) return;
    const HeapBuffer<ShowtapeHeader> record(1);
    if (!record.ok()) {
        throwDevException(env, DevOutOfMemory);
        return;
    }
    if (!headerFromJava(env, header, record[0])) return;
    ShowtapeHandle handle = kNoFile;
    const DevReturn r = createShowtape(&handle, pathChars.c_str(), nameText.c_str(), record.get(), formatVersion,
                                       fromJava(replace));
    if (r != DevSuccess) {
        throwDevException(env, r);
        return;
    }
    storeHandle(env, self, *show, handle);
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Showtape_closeShowtape(JNIEnv* env, jobject self) {
    const std::optional<ShowObject> show = readShowObject(env, self);
    if (!callOnOpenFile(env, show, closeShowtape)) return;
    // versionNumber keeps the closed file's value.
    env->SetLongField(self, show->fileHandleId, jlong{-1});
}

JNIEXPORT void JNICALL Java_com_lumivex_controller_Showtape_rewindShowtape(JNIEnv* env, jobject self) {
    callOnOpenFile(env, readShowObject(env, self), rewindShowtape);
}

}  // extern "C"
