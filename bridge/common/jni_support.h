// JNI helpers shared by the controller bridge (libJNILumidrive) and the
// show-file bridge (libJNIShowtape).
//
// Holders: every resource taken from the VM or the C heap is held by a
// move-only holder without a default constructor that gives it back in its
// destructor and says whether the acquisition worked, so a native may
// `return` right after raising on any path. Destructors only call JNI
// functions that are allowed while an exception is pending (Release*,
// DeleteLocalRef).
//
// Conversions: the text-in and text-out rules and the frame rule between a
// Java DMXFrame and a C DMXFrame. They report a failure by raising
// DevException through throwDevException and returning false (or an empty
// holder); after such a return the native must return at once.
//
// Thread safety: no state of its own; each call uses only the JNIEnv it is
// given, which belongs to the calling thread.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

#include "devtypes.h"

namespace lumivex::jni {

/// Name of the exception class both bridges raise, for FindClass.
inline constexpr const char* kDevExceptionClass = "com/lumivex/controller/DevException";

/// Raises com.lumivex.controller.DevException with `code` through its (I)V
/// constructor. Pending-exception policy: an exception already pending (the
/// VM's own error after a failed JNI request) is cleared first and replaced.
/// When the exception class, its constructor or the new object cannot be had,
/// the VM's error from that request stays pending instead. Either way an
/// exception is pending afterwards.
void throwDevException(JNIEnv* env, jint code) noexcept;

/// Owns one JNI local reference (may be null) and deletes it when destroyed.
template <class T> class ScopedLocalRef {
public:
    ScopedLocalRef(JNIEnv* env, T ref) noexcept : env_(env), ref_(ref) {}
    ScopedLocalRef(ScopedLocalRef&& other) noexcept : env_(other.env_), ref_(std::exchange(other.ref_, nullptr)) {}
    ScopedLocalRef& operator=(ScopedLocalRef&& other) noexcept {
        if (this != &other) {
            reset();
            env_ = other.env_;
            ref_ = std::exchange(other.ref_, nullptr);
        }
        return *this;
    }
    ScopedLocalRef(const ScopedLocalRef&) = delete;
    ScopedLocalRef& operator=(const ScopedLocalRef&) = delete;
    ~ScopedLocalRef() { reset(); }

    /// The reference, still owned.
    T get() const noexcept { return ref_; }
    /// Gives up ownership and returns the reference (to return it to Java).
    T release() noexcept { return std::exchange(ref_, nullptr); }
    /// Whether a reference is held (false for a null reference).
    explicit operator bool() const noexcept { return ref_ != nullptr; }

private:
    void reset() noexcept {
        if (ref_) env_->DeleteLocalRef(ref_);
        ref_ = nullptr;
    }
    JNIEnv* env_;
    T ref_;
};

/// Holds the UTF-16 characters of a Java string (GetStringChars) and gives
/// them back when destroyed. The string reference must outlive the holder.
class ScopedStringChars {
public:
    /// Takes the characters of `s`; a null `s` takes nothing. ok() is false
    /// when nothing was taken; for a non-null `s` the VM's error is then pending.
    ScopedStringChars(JNIEnv* env, jstring s) noexcept;
    ScopedStringChars(ScopedStringChars&& other) noexcept;
    ScopedStringChars& operator=(ScopedStringChars&&) = delete;
    ScopedStringChars(const ScopedStringChars&) = delete;
    ScopedStringChars& operator=(const ScopedStringChars&) = delete;
    ~ScopedStringChars();

    bool ok() const noexcept { return chars_ != nullptr; }
    /// The characters (not zero-terminated); null unless ok().
    const jchar* data() const noexcept { return chars_; }
    /// The number of UTF-16 units (GetStringLength); 0 unless ok().
    jsize size() const noexcept { return length_; }

private:
    JNIEnv* env_;
    jstring string_;
    const jchar* chars_ = nullptr;
    jsize length_ = 0;
};

/// Holds the modified UTF-8 characters of a Java string (GetStringUTFChars)
/// and gives them back when destroyed. The string reference must outlive the holder.
class ScopedStringUTFChars {
public:
    /// Takes the characters of `s`; a null `s` takes nothing. ok() is false
    /// when nothing was taken; for a non-null `s` the VM's error is then pending.
    ScopedStringUTFChars(JNIEnv* env, jstring s) noexcept;
    ScopedStringUTFChars(ScopedStringUTFChars&& other) noexcept;
    ScopedStringUTFChars& operator=(ScopedStringUTFChars&&) = delete;
    ScopedStringUTFChars(const ScopedStringUTFChars&) = delete;
    ScopedStringUTFChars& operator=(const ScopedStringUTFChars&) = delete;
    ~ScopedStringUTFChars();

    bool ok() const noexcept { return chars_ != nullptr; }
    /// The zero-terminated modified UTF-8 text; null unless ok().
    const char* c_str() const noexcept { return chars_; }

private:
    JNIEnv* env_;
    jstring string_;
    const char* chars_ = nullptr;
};

/// How array elements are given back: CopyBack (mode 0) writes them into the
/// Java array and frees any copy; Abort (JNI_ABORT) frees the copy unwritten.
enum class ReleaseMode : jint { CopyBack = 0, Abort = JNI_ABORT };

/// Holds the elements of a Java int array (GetIntArrayElements) and gives
/// them back in the chosen mode when destroyed. The array reference must
/// outlive the holder.
class ScopedIntArrayElements {
public:
    /// Takes the elements of `array`; a null `array` takes nothing. ok() is
    /// false when nothing was taken; for a non-null `array` the VM's error is then pending.
    ScopedIntArrayElements(JNIEnv* env, jintArray array, ReleaseMode mode) noexcept;
    ScopedIntArrayElements(ScopedIntArrayElements&& other) noexcept;
    ScopedIntArrayElements& operator=(ScopedIntArrayElements&&) = delete;
    ScopedIntArrayElements(const ScopedIntArrayElements&) = delete;
    ScopedIntArrayElements& operator=(const ScopedIntArrayElements&) = delete;
    ~ScopedIntArrayElements();

    bool ok() const noexcept { return elements_ != nullptr; }
    jint* data() const noexcept { return elements_; }
    /// The array's length (GetArrayLength, read after the elements); 0 unless ok().
    jsize size() const noexcept { return length_; }

private:
    JNIEnv* env_;
    jintArray array_;
    ReleaseMode mode_;
    jint* elements_ = nullptr;
    jsize length_ = 0;
};

/// Owns a zero-filled block of `count` objects of a trivial type T on the C
/// heap (calloc) and frees it when destroyed. A request for 0 objects is
/// served with one, so an empty buffer is never mistaken for a failure.
template <class T> class HeapBuffer {
public:
    explicit HeapBuffer(std::size_t count) noexcept
        : data_(static_cast<T*>(std::calloc(count == 0 ? 1 : count, sizeof(T)))),
          size_(data_ ? count : 0) {}
    HeapBuffer(HeapBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    HeapBuffer& operator=(HeapBuffer&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    ~HeapBuffer() { std::free(data_); }

    /// Whether the allocation worked.
    bool ok() const noexcept { return data_ != nullptr; }
    T* get() const noexcept { return data_; }
    T& operator[](std::size_t i) const noexcept { return data_[i]; }
    /// The number of objects asked for (0 when the allocation failed).
    std::size_t size() const noexcept { return size_; }

private:
    T* data_;
    std::size_t size_;
};

// ---- Text ----

/// Options of the text-in rule for one bridge.
struct TextInOptions {
    /// Code raised when the temporary copy cannot be allocated (the
    /// controller bridge raises DevError, the show-file bridge DevOutOfMemory).
    jint copyFailureCode = DevError;
    /// Zero units put after the string's units in the copy (at least 1).
    std::size_t zeroUnits = 1;
};

/// Text-in rule: a Java string's characters, held until destruction, and a
/// zero-terminated copy of its UTF-16 units on the C heap. The string
/// reference must outlive the holder.
class TextIn {
public:
    /// Takes the characters of `s` and makes the copy. On failure raises
    /// DevException (DevError for a null string or characters not had,
    /// options.copyFailureCode for the copy) and ok() is false.
    TextIn(JNIEnv* env, jstring s, TextInOptions options = {}) noexcept;

    bool ok() const noexcept { return ok_; }
    /// The whole string followed by its zero units, for a library argument;
    /// null after copyToField().
    const DevChar* c_str() const noexcept { return copy_ ? copy_->get() : nullptr; }
    /// The number of UTF-16 units of the string.
    jsize length() const noexcept { return chars_.size(); }
    /// Copies the text into a 256-unit record field: the units before the
    /// first zero unit, at most 255 of them, then zero units to the end of
    /// the field, so the field always ends with a zero unit. Frees the copy
    /// (the characters stay held). Requires ok().
    void copyToField(DevChar (&field)[DEV_TEXT_UNITS]) noexcept;

private:
    ScopedStringChars chars_;
    std::optional<HeapBuffer<DevChar>> copy_;
    bool ok_ = false;
};

/// Number of units before the first zero unit of a 256-unit field; 256 when
/// the field holds none (the read never leaves the field).
std::size_t fieldTextLength(const DevChar (&field)[DEV_TEXT_UNITS]) noexcept;

/// Text-out rule: a new Java String of the units of `field` before its first
/// zero unit, unchanged. An empty holder after raising DevException(DevError)
/// when NewString yields nothing.
ScopedLocalRef<jstring> textToJava(JNIEnv* env, const DevChar (&field)[DEV_TEXT_UNITS]) noexcept;

/// Text-out rule into the String field `fid` of `object` (non-null).
/// False after raising DevException(DevError) when NewString yields nothing.
bool setTextField(JNIEnv* env, jobject object, jfieldID fid, const DevChar (&field)[DEV_TEXT_UNITS]) noexcept;

// ---- Frames ----

/// Field identifiers of com.lumivex.controller.DMXFrame: "I", "I", "[I".
struct FrameFieldIds {
    jfieldID startCode;
    jfieldID timeCode;
    jfieldID dmxData;
};

/// Owns `count` zero-filled C DMXFrame records on the C heap and the channel
/// buffer each record's dmxData points to (freed with std::free, as
/// frameFromJava allocates them). An empty batch is a valid, empty holder.
class FrameRecords {
public:
    explicit FrameRecords(std::size_t count) noexcept : records_(count) {}
    FrameRecords(FrameRecords&&) noexcept = default;
    FrameRecords& operator=(FrameRecords&&) = delete;
    FrameRecords(const FrameRecords&) = delete;
    FrameRecords& operator=(const FrameRecords&) = delete;
    ~FrameRecords();

    /// Whether the records could be allocated.
    bool ok() const noexcept { return records_.ok(); }
    DMXFrame* data() const noexcept { return records_.get(); }
    DMXFrame& operator[](std::size_t i) const noexcept { return records_[i]; }
    std::size_t size() const noexcept { return records_.size(); }

private:
    HeapBuffer<DMXFrame> records_;
};

/// Frame rule, Java to C. Fills `record` from the Java DMXFrame `frame`:
/// startCode, then timeCode; channelCount is the length of dmxData, with no
/// upper limit; record.dmxData becomes a new C-heap buffer (the caller frees
/// it, e.g. through FrameRecords) whose byte i is the low 8 bits of element i.
/// The elements are given back in mode 0, unchanged, before it returns.
/// False after raising DevException: DevError for a null frame, a null
/// dmxData or elements not had; DevOutOfMemory for the channel buffer.
bool frameFromJava(JNIEnv* env, jobject frame, const FrameFieldIds& ids, DMXFrame& record) noexcept;

/// What frameToJava does with the elements of dmxData from index
/// `channelsAvailable` on, which have no byte in the buffer.
enum class ElementsPastBuffer { Keep, Zero };

/// Frame rule, C to Java. Into the Java DMXFrame `frame`: startCode and
/// timeCode from `record`, and byte i of record.dmxData, as a value from 0 to
/// 255, into element i of the frame's existing dmxData array for every i
/// below both the array's length and `channelsAvailable` (the size of the
/// buffer at record.dmxData); later elements keep their values, or become 0
/// with ElementsPastBuffer::Zero. The array is never replaced and the
/// elements are given back in mode 0. The frame is left untouched when it
/// fails: false after raising DevException(DevError) for a null frame, a null
/// dmxData or elements not had.
bool frameToJava(JNIEnv* env, jobject frame, const FrameFieldIds& ids, const DMXFrame& record,
                 std::size_t channelsAvailable, ElementsPastBuffer past = ElementsPastBuffer::Keep) noexcept;

}  // namespace lumivex::jni
