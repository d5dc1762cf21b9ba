// Lumidrive.initIDs and the identifier cache.
#include "ids.h"

#include <atomic>
#include <iterator>

using lumivex::jni::ScopedLocalRef;
using lumivex::jni::throwDevException;

namespace lumidrive_bridge {
namespace {

FieldIds cache{};
std::atomic<bool> cacheFilled{false};

// One field to resolve. A null className means the class initIDs was called on.
struct Row {
    const char* className;
    const char* field;
    const char* signature;
    jfieldID* slot;
};

constexpr const char* kEntry = "com/lumivex/controller/DevEntry";
constexpr const char* kInfo = "com/lumivex/controller/DevInfo";
constexpr const char* kState = "com/lumivex/controller/DevState";
constexpr const char* kFrame = "com/lumivex/controller/DMXFrame";
constexpr const char* kHeader = "com/lumivex/controller/ShowtapeHeader";
constexpr const char* kFileEntry = "com/lumivex/controller/DevFileEntry";
constexpr const char* kTestWrite = "com/lumivex/controller/DevTestWrite";
constexpr const char* kTrigger = "com/lumivex/controller/DevTrigger";
constexpr const char* kAction = "com/lumivex/controller/DevTriggerAction";
constexpr const char* kTriggerHeader = "com/lumivex/controller/DevTriggerHeader";
constexpr const char* kString = "Ljava/lang/String;";

}  // namespace

const FieldIds* fieldIds(JNIEnv* env) noexcept {
    if (!cacheFilled.load(std::memory_order_acquire)) {
        throwDevException(env, DevInitFailed);
        return nullptr;
    }
    return &cache;
}

}  // namespace lumidrive_bridge

using lumidrive_bridge::FieldIds;
using lumidrive_bridge::Row;

extern "C" JNIEXPORT void JNICALL Java_com_lumivex_controller_Lumidrive_initIDs(JNIEnv* env, jclass lumidrive) {
    using namespace lumidrive_bridge;
    FieldIds ids{};
    // Resolution order: devID on the calling class, then each class in turn
    // with its fields; the first class or field that cannot be had ends it.
    const Row rows[] = {
        {nullptr, "devID", "I", &ids.devID},
        {kEntry, "deviceType", "I", &ids.entry.deviceType},
        {kEntry, "devicePort", kString, &ids.entry.devicePort},
        {kEntry, "deviceClasses", "I", &ids.entry.deviceClasses},
        {kEntry, "deviceNumber", "I", &ids.entry.deviceNumber},
        {kEntry, "deviceName", kString, &ids.entry.deviceName},
        {kInfo, "revision", kString, &ids.info.revision},
        {kInfo, "numberLivePlayChannels", "I", &ids.info.numberLivePlayChannels},
        {kInfo, "numberPlaybackChannels", "I", &ids.info.numberPlaybackChannels},
        {kInfo, "canPlaybackCompress", "Z", &ids.info.canPlaybackCompress},
        {kInfo, "numberPlaybackTriggers", "I", &ids.info.numberPlaybackTriggers},
        {kInfo, "totalSpace", "J", &ids.info.totalSpace},
        {kInfo, "maxNumberShows", "I", &ids.info.maxNumberShows},
        {kInfo, "canReadFiles", "Z", &ids.info.canReadFiles},
        {kInfo, "canListFiles", "Z", &ids.info.canListFiles},
        {kInfo, "hasTriggerHeader", "Z", &ids.info.hasTriggerHeader},
        {kInfo, "minFrameRate", "D", &ids.info.minFrameRate},
        {kState, "state", "I", &ids.state.state},
        {kFrame, "startCode", "I", &ids.frame.startCode},
        {kFrame, "timeCode", "I", &ids.frame.timeCode},
        {kFrame, "dmxData", "[I", &ids.frame.dmxData},
        {kHeader, "constantFrameRate", "Z", &ids.header.constantFrameRate},
        {kHeader, "loopShow", "Z", &ids.header.loopShow},
        {kHeader, "date", "J", &ids.header.date},
        {kHeader, "frameRate", "D", &ids.header.frameRate},
        {kHeader, "numberChannels", "I", &ids.header.numberChannels},
        {kHeader, "totalFrames", "J", &ids.header.totalFrames},
        {kHeader, "commentField", kString, &ids.header.commentField},
        {kHeader, "effectSignature", kString, &ids.header.effectSignature},
        {kFileEntry, "fileSize", "J", &ids.fileEntry.fileSize},
        {kFileEntry, "lastModified", "J", &ids.fileEntry.lastModified},
        {kFileEntry, "isDirectory", "Z", &ids.fileEntry.isDirectory},
        {kFileEntry, "fileName", kString, &ids.fileEntry.fileName},
        {kTestWrite, "willFit", "Z", &ids.testWrite.willFit},
        {kTestWrite, "totalSize", "J", &ids.testWrite.totalSize},
        {kTrigger, "triggerType", "I", &ids.trigger.triggerType},
        {kTrigger, "value", "J", &ids.trigger.value},
        {kAction, "actionType", "I", &ids.action.actionType},
        {kAction, "fileName", kString, &ids.action.fileName},
        {kAction, "value", "J", &ids.action.value},
        {kTriggerHeader, "byte1", "I", &ids.triggerHeader.byte1},
        {kTriggerHeader, "byte2", "I", &ids.triggerHeader.byte2},
        {kTriggerHeader, "byte3", "I", &ids.triggerHeader.byte3},
        {kTriggerHeader, "byte4", "I", &ids.triggerHeader.byte4},
    };
    static_assert(std::size(rows) == 44, "one row per cached field");
    static_assert(sizeof(FieldIds) == 44 * sizeof(jfieldID), "every cached field has a row");

    // The class of the rows being resolved; a local reference of its own for
    // every class but the caller's, given back when the next class is found.
    ScopedLocalRef<jclass> owned(env, nullptr);
    jclass current = lumidrive;
    const char* currentName = nullptr;
    for (const Row& row : rows) {
        if (row.className != currentName) {
            owned = ScopedLocalRef<jclass>(env, env->FindClass(row.className));
            if (!owned) {
                throwDevException(env, DevInitFailed);
                return;
            }
            current = owned.get();
            currentName = row.className;
        }
        *row.slot = env->GetFieldID(current, row.field, row.signature);
        if (!*row.slot) {
            throwDevException(env, DevInitFailed);
            return;
        }
    }
    // Published once: a later call resolves the same classes to the same
    // identifiers, so it checks them again but never rewrites what natives read.
    if (!cacheFilled.load(std::memory_order_acquire)) {
        cache = ids;
        cacheFilled.store(true, std::memory_order_release);
    }
}
