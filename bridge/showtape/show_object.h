// Field access of the show-file bridge. The bridge keeps no identifier cache:
// every native resolves the fields it needs on the class of the object it was
// handed, at the time of the call, and rebuilds the show file's handle from
// the show-file object's two fields.
//
// Failures are raised as DevException(DevError) after the VM's own error
// (NoSuchFieldError) has been cleared, so the Java caller sees the code.
//
// Thread safety: no state; each call uses only the JNIEnv it is given.
#pragma once

#include <jni.h>

#include <optional>

#include "jni_support.h"

namespace showtape_bridge {

/// The class of one Java object, for resolving its fields during one call.
class ObjectFields {
public:
    /// `object` must not be null.
    ObjectFields(JNIEnv* env, jobject object) noexcept;

    /// The field `name` with the descriptor `signature`; null after raising
    /// DevException(DevError) when the class has no such field.
    jfieldID get(const char* name, const char* signature) const noexcept;

private:
    JNIEnv* env_;
    lumivex::jni::ScopedLocalRef<jclass> class_;
};

/// The show-file object's fields and the handle they hold.
struct ShowObject {
    jfieldID fileHandleId;     ///< Showtape.fileHandle "J"
    jfieldID versionNumberId;  ///< Showtape.versionNumber "I"
    ShowtapeHandle handle;     ///< versionNumber, and the low 32 bits of fileHandle

    /// Whether a show file is open: the low 32 bits of fileHandle are not all ones.
    bool isOpen() const noexcept { return handle.fileHandle != -1; }
};

/// Resolves fileHandle, then versionNumber, on the class of `self` and reads
/// both. nullopt after raising DevException(DevError) when either cannot be
/// resolved.
std::optional<ShowObject> readShowObject(JNIEnv* env, jobject self) noexcept;

/// Stores a handle the library handed out: fileHandle sign-extended, then
/// versionNumber.
void storeHandle(JNIEnv* env, jobject self, const ShowObject& show, const ShowtapeHandle& handle) noexcept;

/// Resolves startCode, timeCode and dmxData on the class of `frame`
/// (non-null). nullopt after raising DevException(DevError).
std::optional<lumivex::jni::FrameFieldIds> frameFields(JNIEnv* env, jobject frame) noexcept;

}  // namespace showtape_bridge
