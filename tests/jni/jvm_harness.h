// Test harness for the JNI bridges: one Java VM per test process, created on
// first use, and helpers that drive Java objects from C++ through JNI.
//
// The VM runs with -Xcheck:jni. Its options come from a file with one option
// per line: $LUMIVEX_JVM_OPTIONS_FILE when set, else "<test program>.jvmoptions"
// beside the program (lumivex_add_jvm_test in CMakeLists.txt writes it with
// the class path and -Dlumivex.jnilumidrive=<built library>). A test program
// that links a test double of a library (same soname) makes the bridge the VM
// loads bind to that double.
//
// Natives are entered through the VM: call a Java method (call/callStatic)
// and the VM binds and runs the native. Every call takes the exception the
// method threw (and clears it), so no JNI request is ever made with an
// exception pending.
//
// Local references: derive fixtures from JvmTest, which holds a LocalFrame
// for the test's lifetime; helpers return plain local references that the
// frame frees.
//
// Thread safety: use from the test's main thread only.
#pragma once

#include <jni.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jvmtest {

/// The JNI environment of this thread in the process's one VM; creates the VM
/// on first use and ends the process with a message when it cannot.
JNIEnv* env();

/// A JNI local frame for one scope (PushLocalFrame/PopLocalFrame).
class LocalFrame {
public:
    explicit LocalFrame(jint capacity = 1024);
    ~LocalFrame();
    LocalFrame(const LocalFrame&) = delete;
    LocalFrame& operator=(const LocalFrame&) = delete;
};

/// Base fixture: the VM, and a local frame that frees the test's references.
class JvmTest : public ::testing::Test {
protected:
    JvmTest() : env_(env()) {}
    JNIEnv* env_;
    LocalFrame frame_;
};

/// What a Java call ended with.
struct CallResult {
    jvalue value{};                ///< the method's result (unset for void)
    jthrowable thrown = nullptr;   ///< what it threw, taken and cleared; null when it returned

    bool threw() const { return thrown != nullptr; }
    /// The code of a thrown DevException; nullopt when nothing, or something else, was thrown.
    std::optional<jint> devCode() const;
    /// Binary name of the thrown class ("" when nothing was thrown).
    std::string thrownClass() const;
    /// toString() of what was thrown, for failure messages ("" when nothing).
    std::string describe() const;
};

/// Calls an instance method through the VM. The result type is taken from
/// the descriptor's return type.
CallResult call(jobject target, const char* method, const char* signature, ...);
/// Calls a static method through the VM.
CallResult callStatic(jclass cls, const char* method, const char* signature, ...);

/// Finds a class by its slash-separated name; null (and a test failure) when absent.
jclass findClass(const char* name);
/// A new object of a class through its no-argument constructor; null (and a test failure) on error.
jobject newObject(const char* className);
jobject newObject(jclass cls);

/// Binary name of an object's class ("com.lumivex.controller.DevException").
std::string className(jobject object);
/// The code of a DevException (its getCode()); nullopt for null or any other throwable.
std::optional<jint> devCode(jthrowable thrown);
/// getCause() of a throwable (null when it has none).
jthrowable cause(jthrowable thrown);
/// toString() of any object ("null" for null).
std::string describe(jobject object);

// Fields by name and descriptor, resolved at each call. A missing field is a
// test failure, with a zero value.
jint getInt(jobject object, const char* field);
void setInt(jobject object, const char* field, jint value);
jlong getLong(jobject object, const char* field);
void setLong(jobject object, const char* field, jlong value);
bool getBool(jobject object, const char* field);
void setBool(jobject object, const char* field, bool value);
double getDouble(jobject object, const char* field);
void setDouble(jobject object, const char* field, double value);
/// A String field's units; nullopt for a null field.
std::optional<std::u16string> getString(jobject object, const char* field);
/// Sets a String field; nullopt stores null.
void setString(jobject object, const char* field, const std::optional<std::u16string>& value);
jobject getObject(jobject object, const char* field, const char* signature);
void setObject(jobject object, const char* field, const char* signature, jobject value);

/// A new Java String of exactly these UTF-16 units.
jstring newString(const std::u16string& units);
/// The UTF-16 units of a Java String.
std::u16string units(jstring s);
/// A new int[] holding these values.
jintArray newIntArray(const std::vector<jint>& values);
/// The values of an int[] (empty for null).
std::vector<jint> values(jintArray array);
/// A new array of `cls` objects, elements as given (null allowed).
jobjectArray newObjectArray(jclass cls, const std::vector<jobject>& elements);

/// `count` units of `unit`.
std::u16string repeat(char16_t unit, std::size_t count);
/// Units 'a'..'z' repeated to `count` units, so a cut shows where it happened.
std::u16string alphabet(std::size_t count);

}  // namespace jvmtest
