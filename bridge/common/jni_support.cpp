#include "jni_support.h"

#include <algorithm>
#include <limits>

namespace lumivex::jni {

void throwDevException(JNIEnv* env, jint code) noexcept {
    // A failed JNI request leaves the VM's own error pending; it is replaced,
    // so the caller sees the code and no JNI call below runs with it pending.
    if (env->ExceptionCheck()) env->ExceptionClear();
    ScopedLocalRef<jclass> cls(env, env->FindClass(kDevExceptionClass));
    if (!cls) return;
    const jmethodID init = env->GetMethodID(cls.get(), "<init>", "(I)V");
    if (!init) return;
    ScopedLocalRef<jthrowable> error(env, static_cast<jthrowable>(env->NewObject(cls.get(), init, code)));
    if (!error) return;
    env->Throw(error.get());
}

// ---- ScopedStringChars ----

ScopedStringChars::ScopedStringChars(JNIEnv* env, jstring s) noexcept : env_(env), string_(s) {
    if (!s) return;
    chars_ = env->GetStringChars(s, nullptr);
    if (chars_) length_ = env->GetStringLength(s);
}

ScopedStringChars::ScopedStringChars(ScopedStringChars&& other) noexcept
    : env_(other.env_), string_(other.string_), chars_(std::exchange(other.chars_, nullptr)),
      length_(std::exchange(other.length_, 0)) {}

ScopedStringChars::~ScopedStringChars() {
    if (chars_) env_->ReleaseStringChars(string_, chars_);
}

// ---- ScopedStringUTFChars ----

ScopedStringUTFChars::ScopedStringUTFChars(JNIEnv* env, jstring s) noexcept : env_(env), string_(s) {
    if (s) chars_ = env->GetStringUTFChars(s, nullptr);
}

ScopedStringUTFChars::ScopedStringUTFChars(ScopedStringUTFChars&& other) noexcept
    : env_(other.env_), string_(other.string_), chars_(std::exchange(other.chars_, nullptr)) {}

ScopedStringUTFChars::~ScopedStringUTFChars() {
    if (chars_) env_->ReleaseStringUTFChars(string_, chars_);
}

// ---- ScopedIntArrayElements ----

ScopedIntArrayElements::ScopedIntArrayElements(JNIEnv* env, jintArray array, ReleaseMode mode) noexcept
    : env_(env), array_(array), mode_(mode) {
    if (!array) return;
    elements_ = env->GetIntArrayElements(array, nullptr);
    if (elements_) length_ = env->GetArrayLength(array);
}

ScopedIntArrayElements::ScopedIntArrayElements(ScopedIntArrayElements&& other) noexcept
    : env_(other.env_), array_(other.array_), mode_(other.mode_),
      elements_(std::exchange(other.elements_, nullptr)), length_(std::exchange(other.length_, 0)) {}

ScopedIntArrayElements::~ScopedIntArrayElements() {
    if (elements_) env_->ReleaseIntArrayElements(array_, elements_, static_cast<jint>(mode_));
}

// ---- Text ----

TextIn::TextIn(JNIEnv* env, jstring s, TextInOptions options) noexcept : chars_(env, s) {
    if (!chars_.ok()) {
        throwDevException(env, DevError);
        return;
    }
    const auto units = static_cast<std::size_t>(chars_.size());
    const std::size_t zeros = std::max<std::size_t>(options.zeroUnits, 1);
    if (units > std::numeric_limits<std::size_t>::max() / sizeof(DevChar) - zeros) {
        throwDevException(env, options.copyFailureCode);
        return;
    }
    HeapBuffer<DevChar> copy(units + zeros);
    if (!copy.ok()) {
        throwDevException(env, options.copyFailureCode);
        return;
    }
    // The buffer is zero-filled, so the zero units after the text are there already.
    std::transform(chars_.data(), chars_.data() + units, copy.get(),
                   [](jchar unit) { return static_cast<DevChar>(unit); });
    copy_.emplace(std::move(copy));
    ok_ = true;
}

void TextIn::copyToField(DevChar (&field)[DEV_TEXT_UNITS]) noexcept {
    // Like wcsncpy up to the first zero unit, but never more than 255 units,
    // so the field always ends with a zero unit.
    const DevChar* text = copy_ ? copy_->get() : nullptr;
    std::size_t n = 0;
    if (text)
        while (n < DEV_TEXT_UNITS - 1 && text[n] != 0) ++n;
    std::copy_n(text ? text : field, n, field);
    std::fill(field + n, field + DEV_TEXT_UNITS, DevChar{0});
    copy_.reset();
}

std::size_t fieldTextLength(const DevChar (&field)[DEV_TEXT_UNITS]) noexcept {
    return static_cast<std::size_t>(std::find(field, field + DEV_TEXT_UNITS, DevChar{0}) - field);
}

ScopedLocalRef<jstring> textToJava(JNIEnv* env, const DevChar (&field)[DEV_TEXT_UNITS]) noexcept {
    jchar units[DEV_TEXT_UNITS];
    const std::size_t n = fieldTextLength(field);
    std::transform(field, field + n, units, [](DevChar unit) { return static_cast<jchar>(unit); });
    ScopedLocalRef<jstring> s(env, env->NewString(units, static_cast<jsize>(n)));
    if (!s) throwDevException(env, DevError);
    return s;
}

bool setTextField(JNIEnv* env, jobject object, jfieldID fid, const DevChar (&field)[DEV_TEXT_UNITS]) noexcept {
    ScopedLocalRef<jstring> s = textToJava(env, field);
    if (!s) return false;
    env->SetObjectField(object, fid, s.get());
    return true;
}

// ---- Frames ----

namespace {

// The channel conversions run once per channel of every frame. They work in
// blocks of a fixed size with pointers that cannot alias, which the compilers
// vectorize at -O2 (g++ 12 leaves a loop of unknown length, or one whose
// uint8_t pointer may alias the ints, scalar).
constexpr std::size_t kConversionBlock = 64;

// Cut, not clamped: 256 becomes 0, 300 becomes 44, -1 becomes 255.
void cutToBytes(const jint* __restrict values, std::size_t count, uint8_t* __restrict bytes) noexcept {
    std::size_t i = 0;
    for (; i + kConversionBlock <= count; i += kConversionBlock)
        for (std::size_t k = 0; k < kConversionBlock; ++k)
            bytes[i + k] = static_cast<uint8_t>(static_cast<uint32_t>(values[i + k]) & 0xFFu);
    for (; i < count; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(values[i]) & 0xFFu);
}

// Zero-extended: 0 to 255.
void widenToInts(const uint8_t* __restrict bytes, std::size_t count, jint* __restrict values) noexcept {
    std::size_t i = 0;
    for (; i + kConversionBlock <= count; i += kConversionBlock)
        for (std::size_t k = 0; k < kConversionBlock; ++k) values[i + k] = static_cast<jint>(bytes[i + k]);
    for (; i < count; ++i) values[i] = static_cast<jint>(bytes[i]);
}

}  // namespace

FrameRecords::~FrameRecords() {
    for (std::size_t i = 0; i < records_.size(); ++i) std::free(records_[i].dmxData);
}

bool frameFromJava(JNIEnv* env, jobject frame, const FrameFieldIds& ids, DMXFrame& record) noexcept {
    if (!frame) {
        throwDevException(env, DevError);
        return false;
    }
    record.startCode = env->GetIntField(frame, ids.startCode);
    record.timeCode = env->GetIntField(frame, ids.timeCode);
    ScopedLocalRef<jintArray> array(env, static_cast<jintArray>(env->GetObjectField(frame, ids.dmxData)));
    ScopedIntArrayElements elements(env, array.get(), ReleaseMode::CopyBack);
    if (!elements.ok()) {
        throwDevException(env, DevError);
        return false;
    }
    const jsize count = elements.size();
    auto* channels = static_cast<uint8_t*>(std::malloc(count == 0 ? 1 : static_cast<std::size_t>(count)));
    if (!channels) {
        throwDevException(env, DevOutOfMemory);
        return false;
    }
    cutToBytes(elements.data(), static_cast<std::size_t>(count), channels);
    record.channelCount = count;
    record.dmxData = channels;
    return true;
}

bool frameToJava(JNIEnv* env, jobject frame, const FrameFieldIds& ids, const DMXFrame& record,
                 std::size_t channelsAvailable, ElementsPastBuffer past) noexcept {
    if (!frame) {
        throwDevException(env, DevError);
        return false;
    }
    // The elements are taken before any field is set, so a failure leaves the frame as it was.
    ScopedLocalRef<jintArray> array(env, static_cast<jintArray>(env->GetObjectField(frame, ids.dmxData)));
    ScopedIntArrayElements elements(env, array.get(), ReleaseMode::CopyBack);
    if (!elements.ok()) {
        throwDevException(env, DevError);
        return false;
    }
    env->SetIntField(frame, ids.startCode, record.startCode);
    env->SetIntField(frame, ids.timeCode, record.timeCode);
    const std::size_t n = record.dmxData
                              ? std::min(static_cast<std::size_t>(elements.size()), channelsAvailable)
                              : 0;
    if (n > 0) widenToInts(record.dmxData, n, elements.data());
    if (past == ElementsPastBuffer::Zero) std::fill(elements.data() + n, elements.data() + elements.size(), jint{0});
    return true;
}

}  // namespace lumivex::jni
