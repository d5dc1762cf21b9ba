#include "show_object.h"

using lumivex::jni::FrameFieldIds;
using lumivex::jni::ScopedLocalRef;
using lumivex::jni::throwDevException;

namespace showtape_bridge {

ObjectFields::ObjectFields(JNIEnv* env, jobject object) noexcept
    : env_(env), class_(env, env->GetObjectClass(object)) {}

jfieldID ObjectFields::get(const char* name, const char* signature) const noexcept {
    const jfieldID id = env_->GetFieldID(class_.get(), name, signature);
    if (!id) throwDevException(env_, DevError);  // replaces the pending NoSuchFieldError
    return id;
}

std::optional<ShowObject> readShowObject(JNIEnv* env, jobject self) noexcept {
    const ObjectFields fields(env, self);
    const jfieldID fileHandleId = fields.get("fileHandle", "J");
    if (!fileHandleId) return std::nullopt;
    const jfieldID versionNumberId = fields.get("versionNumber", "I");
    if (!versionNumberId) return std::nullopt;
    // Only the low 32 bits of the Java long are the library's handle.
    const auto fileHandle = static_cast<uint32_t>(static_cast<uint64_t>(env->GetLongField(self, fileHandleId)));
    ShowObject show{fileHandleId, versionNumberId, {}};
    show.handle.versionNumber = env->GetIntField(self, versionNumberId);
    show.handle.fileHandle = static_cast<int32_t>(fileHandle);
    return show;
}

void storeHandle(JNIEnv* env, jobject self, const ShowObject& show, const ShowtapeHandle& handle) noexcept {
    env->SetLongField(self, show.fileHandleId, static_cast<jlong>(handle.fileHandle));
    env->SetIntField(self, show.versionNumberId, handle.versionNumber);
}

std::optional<FrameFieldIds> frameFields(JNIEnv* env, jobject frame) noexcept {
    const ObjectFields fields(env, frame);
    FrameFieldIds ids{};
    if (!(ids.startCode = fields.get("startCode", "I"))) return std::nullopt;
    if (!(ids.timeCode = fields.get("timeCode", "I"))) return std::nullopt;
    if (!(ids.dmxData = fields.get("dmxData", "[I"))) return std::nullopt;
    return ids;
}

}  // namespace showtape_bridge
