// Identifier cache of the controller bridge: one JNI field identifier per
// Java field the natives touch, filled once by Lumidrive.initIDs.
//
// Thread safety: initIDs publishes the cache once (release store); natives
// read it afterwards without locks (acquire load).
#pragma once

#include <jni.h>

#include "jni_support.h"

namespace lumidrive_bridge {

/// The 44 field identifiers, grouped by Java class.
struct FieldIds {
    jfieldID devID;  ///< Lumidrive.devID "I"
    struct {
        jfieldID deviceType, devicePort, deviceClasses, deviceNumber, deviceName;
    } entry;  ///< DevEntry
    struct {
        jfieldID revision, numberLivePlayChannels, numberPlaybackChannels, canPlaybackCompress,
            numberPlaybackTriggers, totalSpace, maxNumberShows, canReadFiles, canListFiles,
            hasTriggerHeader, minFrameRate;
    } info;  ///< DevInfo
    struct {
        jfieldID state;
    } state;  ///< DevState
    lumivex::jni::FrameFieldIds frame;  ///< DMXFrame startCode, timeCode, dmxData
    struct {
        jfieldID constantFrameRate, loopShow, date, frameRate, numberChannels, totalFrames,
            commentField, effectSignature;
    } header;  ///< ShowtapeHeader
    struct {
        jfieldID fileSize, lastModified, isDirectory, fileName;
    } fileEntry;  ///< DevFileEntry
    struct {
        jfieldID willFit, totalSize;
    } testWrite;  ///< DevTestWrite
    struct {
        jfieldID triggerType, value;
    } trigger;  ///< DevTrigger
    struct {
        jfieldID actionType, fileName, value;
    } action;  ///< DevTriggerAction
    struct {
        jfieldID byte1, byte2, byte3, byte4;
    } triggerHeader;  ///< DevTriggerHeader
};

/// The cache once initIDs has filled all of it. Otherwise raises
/// DevException(DevInitFailed) and returns null: natives never run on
/// missing identifiers.
const FieldIds* fieldIds(JNIEnv* env) noexcept;

}  // namespace lumidrive_bridge
