#include "jvm_harness.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

namespace jvmtest {
namespace {

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "jvm_harness: %s\n", message.c_str());
    std::fflush(stderr);
    std::_Exit(2);
}

std::string optionsFilePath() {
    if (const char* path = std::getenv("LUMIVEX_JVM_OPTIONS_FILE"); path && *path) return path;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) die("cannot find the test program's own path");
    return std::string(self, static_cast<std::size_t>(n)) + ".jvmoptions";
}

std::vector<std::string> readOptions() {
    const std::string path = optionsFilePath();
    std::ifstream in(path);
    if (!in) die("cannot read the VM options file " + path);
    std::vector<std::string> options;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) options.push_back(line);
    return options;
}

JNIEnv* createVm() {
    // The options' strings must live while the VM starts.
    static std::vector<std::string> texts = readOptions();
    bool checked = false;
    for (const std::string& o : texts) checked = checked || o == "-Xcheck:jni";
    if (!checked) texts.insert(texts.begin(), "-Xcheck:jni");
    std::vector<JavaVMOption> options;
    for (std::string& text : texts) options.push_back(JavaVMOption{text.data(), nullptr});

    JavaVMInitArgs args{};
    args.version = JNI_VERSION_10;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = JNI_FALSE;
    JavaVM* vm = nullptr;
    void* envOut = nullptr;
    if (JNI_CreateJavaVM(&vm, &envOut, &args) != JNI_OK) die("JNI_CreateJavaVM failed");
    return static_cast<JNIEnv*>(envOut);
}

// Takes the pending exception, if any, and clears it.
jthrowable takeException(JNIEnv* e) {
    jthrowable thrown = e->ExceptionOccurred();
    if (thrown) e->ExceptionClear();
    return thrown;
}

// Fails the test with what the VM threw for a harness request, if anything.
bool failIfThrown(JNIEnv* e, const std::string& what) {
    jthrowable thrown = takeException(e);
    if (!thrown) return false;
    ADD_FAILURE() << what << " threw " << describe(thrown);
    e->DeleteLocalRef(thrown);
    return true;
}

char returnType(const char* signature) {
    const char* close = std::strchr(signature, ')');
    return close ? close[1] : 'V';
}

CallResult invoke(jobject target, jclass staticClass, const char* method, const char* signature, va_list args) {
    JNIEnv* e = env();
    CallResult result;
    jmethodID id = nullptr;
    jclass cls = staticClass ? staticClass : e->GetObjectClass(target);
    id = staticClass ? e->GetStaticMethodID(cls, method, signature) : e->GetMethodID(cls, method, signature);
    if (failIfThrown(e, std::string("looking up ") + method + signature) || !id) {
        ADD_FAILURE() << "no method " << method << signature;
        return result;
    }
    const char type = returnType(signature);
    if (staticClass) {
        switch (type) {
        case 'V': e->CallStaticVoidMethodV(cls, id, args); break;
        case 'Z': result.value.z = e->CallStaticBooleanMethodV(cls, id, args); break;
        case 'I': result.value.i = e->CallStaticIntMethodV(cls, id, args); break;
        case 'J': result.value.j = e->CallStaticLongMethodV(cls, id, args); break;
        case 'D': result.value.d = e->CallStaticDoubleMethodV(cls, id, args); break;
        default: result.value.l = e->CallStaticObjectMethodV(cls, id, args); break;
        }
    } else {
        switch (type) {
        case 'V': e->CallVoidMethodV(target, id, args); break;
        case 'Z': result.value.z = e->CallBooleanMethodV(target, id, args); break;
        case 'I': result.value.i = e->CallIntMethodV(target, id, args); break;
        case 'J': result.value.j = e->CallLongMethodV(target, id, args); break;
        case 'D': result.value.d = e->CallDoubleMethodV(target, id, args); break;
        default: result.value.l = e->CallObjectMethodV(target, id, args); break;
        }
    }
    result.thrown = takeException(e);
    return result;
}

jfieldID fieldId(jobject object, const char* field, const char* signature) {
    JNIEnv* e = env();
    jclass cls = e->GetObjectClass(object);
    jfieldID id = e->GetFieldID(cls, field, signature);
    e->DeleteLocalRef(cls);
    if (failIfThrown(e, std::string("field ") + field + " " + signature) || !id) return nullptr;
    return id;
}

// The result of a harness call whose failure would make the test meaningless.
CallResult mustCall(jobject target, const char* method, const char* signature) {
    CallResult r = call(target, method, signature);
    if (r.threw()) ADD_FAILURE() << method << " threw " << r.describe();
    return r;
}

}  // namespace

JNIEnv* env() {
    static JNIEnv* const e = createVm();
    return e;
}

LocalFrame::LocalFrame(jint capacity) {
    if (env()->PushLocalFrame(capacity) != JNI_OK) die("PushLocalFrame failed");
}

LocalFrame::~LocalFrame() { env()->PopLocalFrame(nullptr); }

std::optional<jint> CallResult::devCode() const { return jvmtest::devCode(thrown); }
std::string CallResult::thrownClass() const { return thrown ? className(thrown) : std::string(); }
std::string CallResult::describe() const { return thrown ? jvmtest::describe(thrown) : std::string(); }

CallResult call(jobject target, const char* method, const char* signature, ...) {
    va_list args;
    va_start(args, signature);
    CallResult r = invoke(target, nullptr, method, signature, args);
    va_end(args);
    return r;
}

CallResult callStatic(jclass cls, const char* method, const char* signature, ...) {
    va_list args;
    va_start(args, signature);
    CallResult r = invoke(nullptr, cls, method, signature, args);
    va_end(args);
    return r;
}

jclass findClass(const char* name) {
    JNIEnv* e = env();
    jclass cls = e->FindClass(name);
    if (failIfThrown(e, std::string("FindClass ") + name) || !cls) {
        ADD_FAILURE() << "class " << name << " not found";
        return nullptr;
    }
    return cls;
}

jobject newObject(jclass cls) {
    JNIEnv* e = env();
    if (!cls) return nullptr;
    jmethodID init = e->GetMethodID(cls, "<init>", "()V");
    if (failIfThrown(e, "no-argument constructor") || !init) return nullptr;
    jobject object = e->NewObject(cls, init);
    if (failIfThrown(e, "constructor")) return nullptr;
    return object;
}

jobject newObject(const char* className) { return newObject(findClass(className)); }

std::string describe(jobject object) {
    if (!object) return "null";
    jstring text = static_cast<jstring>(mustCall(object, "toString", "()Ljava/lang/String;").value.l);
    if (!text) return "null";
    const std::u16string u = units(text);
    std::string out;
    for (char16_t c : u) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::string className(jobject object) {
    if (!object) return "";
    JNIEnv* e = env();
    jclass cls = e->GetObjectClass(object);
    return describe(mustCall(cls, "getName", "()Ljava/lang/String;").value.l);
}

std::optional<jint> devCode(jthrowable thrown) {
    if (!thrown || className(thrown) != "com.lumivex.controller.DevException") return std::nullopt;
    return mustCall(thrown, "getCode", "()I").value.i;
}

jthrowable cause(jthrowable thrown) {
    if (!thrown) return nullptr;
    return static_cast<jthrowable>(mustCall(thrown, "getCause", "()Ljava/lang/Throwable;").value.l);
}

jint getInt(jobject object, const char* field) {
    jfieldID id = fieldId(object, field, "I");
    return id ? env()->GetIntField(object, id) : 0;
}
void setInt(jobject object, const char* field, jint value) {
    if (jfieldID id = fieldId(object, field, "I")) env()->SetIntField(object, id, value);
}
jlong getLong(jobject object, const char* field) {
    jfieldID id = fieldId(object, field, "J");
    return id ? env()->GetLongField(object, id) : 0;
}
void setLong(jobject object, const char* field, jlong value) {
    if (jfieldID id = fieldId(object, field, "J")) env()->SetLongField(object, id, value);
}
bool getBool(jobject object, const char* field) {
    jfieldID id = fieldId(object, field, "Z");
    return id && env()->GetBooleanField(object, id) != JNI_FALSE;
}
void setBool(jobject object, const char* field, bool value) {
    if (jfieldID id = fieldId(object, field, "Z")) env()->SetBooleanField(object, id, value ? JNI_TRUE : JNI_FALSE);
}
double getDouble(jobject object, const char* field) {
    jfieldID id = fieldId(object, field, "D");
    return id ? env()->GetDoubleField(object, id) : 0.0;
}
void setDouble(jobject object, const char* field, double value) {
    if (jfieldID id = fieldId(object, field, "D")) env()->SetDoubleField(object, id, value);
}

std::optional<std::u16string> getString(jobject object, const char* field) {
    jobject s = getObject(object, field, "Ljava/lang/String;");
    if (!s) return std::nullopt;
    return units(static_cast<jstring>(s));
}

void setString(jobject object, const char* field, const std::optional<std::u16string>& value) {
    setObject(object, field, "Ljava/lang/String;", value ? newString(*value) : nullptr);
}

jobject getObject(jobject object, const char* field, const char* signature) {
    jfieldID id = fieldId(object, field, signature);
    return id ? env()->GetObjectField(object, id) : nullptr;
}

void setObject(jobject object, const char* field, const char* signature, jobject value) {
    if (jfieldID id = fieldId(object, field, signature)) env()->SetObjectField(object, id, value);
}

jstring newString(const std::u16string& text) {
    JNIEnv* e = env();
    jstring s = e->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
    failIfThrown(e, "NewString");
    return s;
}

std::u16string units(jstring s) {
    if (!s) return {};
    JNIEnv* e = env();
    const jsize n = e->GetStringLength(s);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    e->GetStringRegion(s, 0, n, reinterpret_cast<jchar*>(out.data()));
    failIfThrown(e, "GetStringRegion");
    return out;
}

jintArray newIntArray(const std::vector<jint>& items) {
    JNIEnv* e = env();
    jintArray array = e->NewIntArray(static_cast<jsize>(items.size()));
    if (failIfThrown(e, "NewIntArray") || !array) return nullptr;
    e->SetIntArrayRegion(array, 0, static_cast<jsize>(items.size()), items.data());
    failIfThrown(e, "SetIntArrayRegion");
    return array;
}

std::vector<jint> values(jintArray array) {
    if (!array) return {};
    JNIEnv* e = env();
    std::vector<jint> out(static_cast<std::size_t>(e->GetArrayLength(array)));
    e->GetIntArrayRegion(array, 0, static_cast<jsize>(out.size()), out.data());
    failIfThrown(e, "GetIntArrayRegion");
    return out;
}

jobjectArray newObjectArray(jclass cls, const std::vector<jobject>& elements) {
    JNIEnv* e = env();
    jobjectArray array = e->NewObjectArray(static_cast<jsize>(elements.size()), cls, nullptr);
    if (failIfThrown(e, "NewObjectArray") || !array) return nullptr;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        e->SetObjectArrayElement(array, static_cast<jsize>(i), elements[i]);
        if (failIfThrown(e, "SetObjectArrayElement")) return nullptr;
    }
    return array;
}

std::u16string repeat(char16_t unit, std::size_t count) { return std::u16string(count, unit); }

std::u16string alphabet(std::size_t count) {
    std::u16string out;
    for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char16_t>(u'a' + i % 26));
    return out;
}

}  // namespace jvmtest
