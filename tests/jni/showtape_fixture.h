// Fixture of the show-file bridge tests: a Showtape object per test and the
// Java calls of its natives, plus builders of Java headers and frames.
#pragma once

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "devtypes.h"
#include "jvm_harness.h"

namespace showtape_test {

inline constexpr const char* kShowtape = "com/lumivex/controller/Showtape";
inline constexpr const char* kHeader = "com/lumivex/controller/ShowtapeHeader";
inline constexpr const char* kFrame = "com/lumivex/controller/DMXFrame";

inline constexpr const char* kOpenSig = "(Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;)Ljava/lang/String;";
inline constexpr const char* kCreateSig = "(Ljava/lang/String;Ljava/lang/String;Lcom/lumivex/controller/ShowtapeHeader;IZ)V";
inline constexpr const char* kReadSig = "(Lcom/lumivex/controller/DMXFrame;)I";
inline constexpr const char* kWriteSig = "(Lcom/lumivex/controller/DMXFrame;)V";

/// The values of a Java ShowtapeHeader.
struct HeaderValues {
    bool constantFrameRate = false;
    bool loopShow = false;
    jlong date = 0;
    std::optional<std::u16string> commentField = u"";
    double frameRate = 0;
    jint numberChannels = 0;
    jlong totalFrames = 0;
    std::optional<std::u16string> effectSignature = u"";

    bool operator==(const HeaderValues&) const = default;
};

inline void PrintTo(const HeaderValues& v, std::ostream* os) {
    auto text = [](const std::optional<std::u16string>& t) {
        if (!t) return std::string("null");
        std::string out = "\"";
        for (char16_t c : *t) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
        return out + "\" (" + std::to_string(t->size()) + " units)";
    };
    *os << "{constantFrameRate " << v.constantFrameRate << ", loopShow " << v.loopShow << ", date " << v.date
        << ", commentField " << text(v.commentField) << ", frameRate " << v.frameRate << ", numberChannels "
        << v.numberChannels << ", totalFrames " << v.totalFrames << ", effectSignature " << text(v.effectSignature)
        << "}";
}

/// A new Java header (of the class `cls`, the real one when null) holding `v`.
inline jobject javaHeader(const HeaderValues& v, jclass cls = nullptr) {
    jobject h = cls ? jvmtest::newObject(cls) : jvmtest::newObject(kHeader);
    jvmtest::setBool(h, "constantFrameRate", v.constantFrameRate);
    jvmtest::setBool(h, "loopShow", v.loopShow);
    jvmtest::setLong(h, "date", v.date);
    jvmtest::setString(h, "commentField", v.commentField);
    jvmtest::setDouble(h, "frameRate", v.frameRate);
    jvmtest::setInt(h, "numberChannels", v.numberChannels);
    jvmtest::setLong(h, "totalFrames", v.totalFrames);
    jvmtest::setString(h, "effectSignature", v.effectSignature);
    return h;
}

/// The values of a Java header.
inline HeaderValues headerValues(jobject h) {
    HeaderValues v;
    v.constantFrameRate = jvmtest::getBool(h, "constantFrameRate");
    v.loopShow = jvmtest::getBool(h, "loopShow");
    v.date = jvmtest::getLong(h, "date");
    v.commentField = jvmtest::getString(h, "commentField");
    v.frameRate = jvmtest::getDouble(h, "frameRate");
    v.numberChannels = jvmtest::getInt(h, "numberChannels");
    v.totalFrames = jvmtest::getLong(h, "totalFrames");
    v.effectSignature = jvmtest::getString(h, "effectSignature");
    return v;
}

/// A header no reply of a library uses, to tell an untouched header.
inline HeaderValues sentinelHeader() {
    return {true, true, -77, u"old comment", -7.5, -78, -79, u"old signature"};
}

/// A new Java frame (of the class `cls`, the real one when null).
inline jobject javaFrame(jint startCode, jint timeCode, const std::vector<jint>& data, jclass cls = nullptr) {
    jobject f = cls ? jvmtest::newObject(cls) : jvmtest::newObject(kFrame);
    jvmtest::setInt(f, "startCode", startCode);
    jvmtest::setInt(f, "timeCode", timeCode);
    jvmtest::setObject(f, "dmxData", "[I", jvmtest::newIntArray(data));
    return f;
}

inline std::vector<jint> frameData(jobject frame) {
    return jvmtest::values(static_cast<jintArray>(jvmtest::getObject(frame, "dmxData", "[I")));
}

/// Calls of the natives of one Showtape object.
struct ShowtapeObject {
    jobject self = nullptr;

    jvmtest::CallResult open(const std::optional<std::u16string>& path, jobject header) const {
        return jvmtest::call(self, "openShowtape", kOpenSig, path ? jvmtest::newString(*path) : nullptr, header);
    }
    jvmtest::CallResult create(const std::optional<std::u16string>& path, const std::optional<std::u16string>& name,
                               jobject header, jint formatVersion = 0, bool replace = false) const {
        return jvmtest::call(self, "createShowtape", kCreateSig, path ? jvmtest::newString(*path) : nullptr,
                             name ? jvmtest::newString(*name) : nullptr, header, formatVersion,
                             replace ? JNI_TRUE : JNI_FALSE);
    }
    jvmtest::CallResult close() const { return jvmtest::call(self, "closeShowtape", "()V"); }
    jvmtest::CallResult rewind() const { return jvmtest::call(self, "rewindShowtape", "()V"); }
    jvmtest::CallResult read(jobject frame) const { return jvmtest::call(self, "readDMXFrame", kReadSig, frame); }
    jvmtest::CallResult write(jobject frame) const { return jvmtest::call(self, "writeDMXFrame", kWriteSig, frame); }

    jlong fileHandle() const { return jvmtest::getLong(self, "fileHandle"); }
    jint versionNumber() const { return jvmtest::getInt(self, "versionNumber"); }
    void setFields(jint versionNumber, jlong fileHandle) const {
        jvmtest::setInt(self, "versionNumber", versionNumber);
        jvmtest::setLong(self, "fileHandle", fileHandle);
    }
};

/// Base fixture: the VM and a new Showtape object, which loads the bridge on first use.
class ShowtapeTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        showtapeClass_ = jvmtest::findClass(kShowtape);
        ASSERT_NE(showtapeClass_, nullptr);
        tape_ = newTape();
        ASSERT_NE(tape_.self, nullptr);
        ASSERT_EQ(tape_.fileHandle(), -1) << "a new object has no file open";
    }

    ShowtapeObject newTape() const { return {jvmtest::newObject(showtapeClass_)}; }

    jclass showtapeClass_ = nullptr;
    ShowtapeObject tape_;
};

/// `count` channel values 0, 1, ... 255, 0, 1 ...
inline std::vector<jint> ramp(std::size_t count, jint from = 0) {
    std::vector<jint> v(count);
    for (std::size_t i = 0; i < count; ++i) v[i] = static_cast<jint>((static_cast<std::size_t>(from) + i) % 256);
    return v;
}

/// What a value reads back as after its trip through a byte: 0 to 255.
inline std::vector<jint> asBytes(const std::vector<jint>& values) {
    std::vector<jint> out;
    for (jint x : values) out.push_back(static_cast<jint>(static_cast<uint32_t>(x) & 0xFFu));
    return out;
}

/// A 256-unit text field holding `text` cut to 255 units, zero after it.
inline std::u16string fieldOf(const std::u16string& text) {
    std::u16string field = text.substr(0, std::min<std::size_t>(text.size(), DEV_TEXT_UNITS - 1));
    field.resize(DEV_TEXT_UNITS, u'\0');
    return field;
}

/// The whole 256 units of a record's text field.
inline std::u16string wholeField(const DevChar (&field)[DEV_TEXT_UNITS]) {
    return std::u16string(field, DEV_TEXT_UNITS);
}

}  // namespace showtape_test
