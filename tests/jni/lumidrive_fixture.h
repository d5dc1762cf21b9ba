// Fixture of the controller-bridge tests that run against the scripted
// controller-library double: a fresh double and a Lumidrive object per test.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "double_control.h"
#include "jvm_harness.h"

namespace lumidrive_test {

inline constexpr const char* kLumidrive = "com/lumivex/controller/Lumidrive";
inline constexpr const char* kDevEntry = "com/lumivex/controller/DevEntry";
inline constexpr const char* kDevInfo = "com/lumivex/controller/DevInfo";
inline constexpr const char* kDevState = "com/lumivex/controller/DevState";
inline constexpr const char* kDMXFrame = "com/lumivex/controller/DMXFrame";

class LumidriveTest : public jvmtest::JvmTest {
protected:
    void SetUp() override {
        doubles::reset();
        lumidriveClass_ = jvmtest::findClass(kLumidrive);
        ASSERT_NE(lumidriveClass_, nullptr);
        device_ = jvmtest::newObject(lumidriveClass_);  // loads the bridge on first use
        ASSERT_NE(device_, nullptr);
        ASSERT_EQ(jvmtest::getInt(device_, "devID"), -1) << "a new object has no device open";
    }

    /// Makes `device_` hold `handle` as its open device.
    void openAs(jint handle) { jvmtest::setInt(device_, "devID", handle); }
    jint devID() { return jvmtest::getInt(device_, "devID"); }

    jclass lumidriveClass_ = nullptr;
    jobject device_ = nullptr;
};

/// What a 256-unit field holds after the text-in rule: `text` cut to 255 units, then zero units.
inline std::u16string fieldOf(const std::u16string& text) {
    std::u16string field = text.substr(0, std::min<std::size_t>(text.size(), DEV_TEXT_UNITS - 1));
    field.resize(DEV_TEXT_UNITS, u'\0');
    return field;
}

/// The whole 256 units of a record's text field.
inline std::u16string wholeField(const DevChar (&field)[DEV_TEXT_UNITS]) {
    return std::u16string(field, DEV_TEXT_UNITS);
}

/// A record's text field filled with `text` (at most 255 units), zero after it.
inline void putText(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text) { doubles::setText(field, text); }

}  // namespace lumidrive_test
