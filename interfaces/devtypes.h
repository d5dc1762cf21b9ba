/*
 * Records and result codes shared by the controller library, the show-file
 * library, the Showsaver utility and both Java bridges.
 *
 * Every record here is a binary contract: the libraries read and write them in
 * place, so field order, widths, offsets, padding and total size are fixed.
 * All of them are checked at compile time below, for 8-byte pointers (the
 * build we ship) and for 4-byte pointers (`-m32`), where only DMXFrame differs.
 *
 * Conventions:
 *  - little-endian, every field at its natural alignment, every record padded
 *    to a multiple of its largest member (64-bit members carry an explicit
 *    8-byte alignment so the i386 ABI, which would align them to 4 inside a
 *    struct, lays them out the same);
 *  - text is a fixed array of 256 UTF-16 units holding a zero-terminated
 *    string, so at most 255 units of text; readers take the units before the
 *    first zero unit;
 *  - a bool is one byte (DevBool): 0 is false, any other value is true, and
 *    writers store 1 for true. It is an integer type on purpose: a library may
 *    hand back 2, which a C++ `bool` may not hold;
 *  - padding bytes carry no meaning.
 *
 * Usable from C and C++.
 */
#ifndef LUMIVEX_DEVTYPES_H
#define LUMIVEX_DEVTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__cplusplus)
#define DEV_ALIGN8 alignas(8)
#else
#define DEV_ALIGN8 _Alignas(8)
#endif

/* Text unit of every text field and text argument: one UTF-16 code unit. */
#ifdef __cplusplus
typedef char16_t DevChar;
#else
typedef uint_least16_t DevChar;
#endif

/* Capacity of every text field, terminating zero unit included. */
#define DEV_TEXT_UNITS 256

/* One-byte boolean: 0 is false, anything else is true; writers store 1. */
typedef uint8_t DevBool;

/*
 * DevReturn: the 32-bit result of every library operation. 0 is success;
 * every other value is a failure that callers pass on unchanged.
 *
 * Values 0, 1, 2, 10, 28, 29 and 31 are the ones the utility and the bridges
 * themselves report or test. The others are the codes our own controller
 * simulator and show-file library return; a library from elsewhere may return
 * any other value, which is passed on unchanged too.
 */
typedef int32_t DevReturn;

enum DevReturnCode {
    DevSuccess = 0,            /* the operation succeeded */
    DevError = 1,              /* general failure (a bridge's own conversion failures) */
    DevNoMoreData = 2,         /* an enumeration or a show has nothing more */
    DevInvalidArgument = 3,    /* a null pointer or an out-of-range value was passed */
    DevInvalidHandle = 4,      /* no open device or show file has that handle */
    DevDeviceNotFound = 5,     /* no attached controller matches the DevEntry */
    DevDeviceBusy = 6,         /* the controller is already open, or busy with another operation */
    DevFileNotFound = 7,       /* no stored show or file of that name */
    DevInvalidName = 8,        /* a name is empty, too long, or would leave the controller's store */
    DevIOError = 9,            /* reading or writing the underlying storage failed */
    DevOutOfMemory = 10,       /* a record or buffer cannot be allocated */
    DevStoreFull = 11,         /* the controller's store has no room for the show */
    DevTooManyShows = 12,      /* the controller already holds its maximum number of shows */
    DevFrameTooLarge = 13,     /* a frame has more channels than the receiver accepts, or a negative count */
    DevWrongState = 14,        /* the operation does not fit the current state (e.g. a frame outside live play) */
    DevFileExists = 15,        /* the target file exists and replacing it was not allowed */
    DevBadFormat = 16,         /* the file is not a show file, or of a format version we do not read */
    DevCorrupt = 17,           /* a record failed its integrity check */
    DevTruncated = 18,         /* the file ends inside a record (a torn tail) */
    DevNotSupported = 19,      /* the controller does not offer this operation */
    DevFileAlreadyOpen = 28,   /* the Java show-file object already holds an open file */
    DevFileNotOpen = 29,       /* the Java show-file object holds no open file */
    DevInitFailed = 31         /* the controller bridge cannot resolve a Java class or field */
};

/* One attached controller. */
typedef struct DevEntry {
    int32_t deviceType;
    DevChar devicePort[DEV_TEXT_UNITS];
    int32_t deviceClasses;
    int32_t deviceNumber;
    DevChar deviceName[DEV_TEXT_UNITS];
} DevEntry;

/* What getDeviceInfo reports about an open controller. */
typedef struct DevInfo {
    DevChar revision[DEV_TEXT_UNITS];
    int32_t numberLivePlayChannels;
    int32_t numberPlaybackChannels;
    DevBool canPlaybackCompress;
    int32_t numberPlaybackTriggers;
    DEV_ALIGN8 int64_t totalSpace;
    int32_t maxNumberShows;
    DevBool canReadFiles;
    DevBool canListFiles;
    DevBool hasTriggerHeader;
    DEV_ALIGN8 double minFrameRate;
} DevInfo;

/* State of an open controller: an enumeration whose values belong to the
 * controller library (see lumidrive.h for the values ours reports). */
typedef int32_t DevState;

/* One entry of a controller's file store. */
typedef struct DevFileEntry {
    DevChar fileName[DEV_TEXT_UNITS];
    DEV_ALIGN8 int64_t fileSize;
    DEV_ALIGN8 int64_t lastModified;
    DevBool isDirectory;
} DevFileEntry;

/*
 * One DMX512 frame. The channel bytes at dmxData belong to the caller, never
 * to a library. Writers set all four fields; readers set only dmxData, to a
 * buffer large enough for any frame, and the library sets the rest.
 * channelCount is an output of a read, never a capacity.
 */
typedef struct DMXFrame {
    int32_t channelCount;
    int32_t startCode;
    int32_t timeCode;
    uint8_t* dmxData;
} DMXFrame;

/* The description of a show. */
typedef struct ShowtapeHeader {
    DevBool constantFrameRate;
    DevBool loopShow;
    DEV_ALIGN8 int64_t date;
    DevChar commentField[DEV_TEXT_UNITS];
    DEV_ALIGN8 double frameRate;
    int32_t numberChannels;
    int32_t totalFrames;
    DevChar effectSignature[DEV_TEXT_UNITS];
} ShowtapeHeader;

/* Identity of one open show file; -1 as fileHandle means none. */
typedef struct ShowtapeHandle {
    int32_t versionNumber;
    int32_t fileHandle;
} ShowtapeHandle;

/* The condition of one trigger. */
typedef struct DevTrigger {
    int32_t triggerType;
    int32_t value;
} DevTrigger;

/* What one trigger does. */
typedef struct DevTriggerAction {
    int32_t actionType;
    DevChar fileName[DEV_TEXT_UNITS];
    int32_t value;
} DevTriggerAction;

/* The four-byte trigger header of a controller. */
typedef struct DevTriggerHeader {
    uint8_t byte1;
    uint8_t byte2;
    uint8_t byte3;
    uint8_t byte4;
} DevTriggerHeader;

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout checks: every size and offset, for both pointer widths. ---- */
#ifdef __cplusplus
#define DEV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define DEV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

DEV_STATIC_ASSERT(sizeof(DevChar) == 2, "text units are 16 bits");
DEV_STATIC_ASSERT(sizeof(DevBool) == 1, "bools are one byte");
DEV_STATIC_ASSERT(sizeof(DevReturn) == 4, "DevReturn is 32 bits");
DEV_STATIC_ASSERT(sizeof(DevState) == 4, "DevState is 4 bytes");

DEV_STATIC_ASSERT(sizeof(DevEntry) == 1036, "DevEntry size");
DEV_STATIC_ASSERT(offsetof(DevEntry, deviceType) == 0, "DevEntry.deviceType");
DEV_STATIC_ASSERT(offsetof(DevEntry, devicePort) == 4, "DevEntry.devicePort");
DEV_STATIC_ASSERT(offsetof(DevEntry, deviceClasses) == 516, "DevEntry.deviceClasses");
DEV_STATIC_ASSERT(offsetof(DevEntry, deviceNumber) == 520, "DevEntry.deviceNumber");
DEV_STATIC_ASSERT(offsetof(DevEntry, deviceName) == 524, "DevEntry.deviceName");

DEV_STATIC_ASSERT(sizeof(DevInfo) == 552, "DevInfo size");
DEV_STATIC_ASSERT(offsetof(DevInfo, revision) == 0, "DevInfo.revision");
DEV_STATIC_ASSERT(offsetof(DevInfo, numberLivePlayChannels) == 512, "DevInfo.numberLivePlayChannels");
DEV_STATIC_ASSERT(offsetof(DevInfo, numberPlaybackChannels) == 516, "DevInfo.numberPlaybackChannels");
DEV_STATIC_ASSERT(offsetof(DevInfo, canPlaybackCompress) == 520, "DevInfo.canPlaybackCompress");
DEV_STATIC_ASSERT(offsetof(DevInfo, numberPlaybackTriggers) == 524, "DevInfo.numberPlaybackTriggers");
DEV_STATIC_ASSERT(offsetof(DevInfo, totalSpace) == 528, "DevInfo.totalSpace");
DEV_STATIC_ASSERT(offsetof(DevInfo, maxNumberShows) == 536, "DevInfo.maxNumberShows");
DEV_STATIC_ASSERT(offsetof(DevInfo, canReadFiles) == 540, "DevInfo.canReadFiles");
DEV_STATIC_ASSERT(offsetof(DevInfo, canListFiles) == 541, "DevInfo.canListFiles");
DEV_STATIC_ASSERT(offsetof(DevInfo, hasTriggerHeader) == 542, "DevInfo.hasTriggerHeader");
DEV_STATIC_ASSERT(offsetof(DevInfo, minFrameRate) == 544, "DevInfo.minFrameRate");

DEV_STATIC_ASSERT(sizeof(DevFileEntry) == 536, "DevFileEntry size");
DEV_STATIC_ASSERT(offsetof(DevFileEntry, fileName) == 0, "DevFileEntry.fileName");
DEV_STATIC_ASSERT(offsetof(DevFileEntry, fileSize) == 512, "DevFileEntry.fileSize");
DEV_STATIC_ASSERT(offsetof(DevFileEntry, lastModified) == 520, "DevFileEntry.lastModified");
DEV_STATIC_ASSERT(offsetof(DevFileEntry, isDirectory) == 528, "DevFileEntry.isDirectory");

DEV_STATIC_ASSERT(offsetof(DMXFrame, channelCount) == 0, "DMXFrame.channelCount");
DEV_STATIC_ASSERT(offsetof(DMXFrame, startCode) == 4, "DMXFrame.startCode");
DEV_STATIC_ASSERT(offsetof(DMXFrame, timeCode) == 8, "DMXFrame.timeCode");
#if UINTPTR_MAX == 0xFFFFFFFFu
DEV_STATIC_ASSERT(sizeof(DMXFrame) == 16, "DMXFrame size with 4-byte pointers");
DEV_STATIC_ASSERT(offsetof(DMXFrame, dmxData) == 12, "DMXFrame.dmxData with 4-byte pointers");
#else
DEV_STATIC_ASSERT(sizeof(DMXFrame) == 24, "DMXFrame size with 8-byte pointers");
DEV_STATIC_ASSERT(offsetof(DMXFrame, dmxData) == 16, "DMXFrame.dmxData with 8-byte pointers");
#endif

DEV_STATIC_ASSERT(sizeof(ShowtapeHeader) == 1056, "ShowtapeHeader size");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, constantFrameRate) == 0, "ShowtapeHeader.constantFrameRate");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, loopShow) == 1, "ShowtapeHeader.loopShow");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, date) == 8, "ShowtapeHeader.date");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, commentField) == 16, "ShowtapeHeader.commentField");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, frameRate) == 528, "ShowtapeHeader.frameRate");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, numberChannels) == 536, "ShowtapeHeader.numberChannels");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, totalFrames) == 540, "ShowtapeHeader.totalFrames");
DEV_STATIC_ASSERT(offsetof(ShowtapeHeader, effectSignature) == 544, "ShowtapeHeader.effectSignature");

DEV_STATIC_ASSERT(sizeof(ShowtapeHandle) == 8, "ShowtapeHandle size");
DEV_STATIC_ASSERT(offsetof(ShowtapeHandle, versionNumber) == 0, "ShowtapeHandle.versionNumber");
DEV_STATIC_ASSERT(offsetof(ShowtapeHandle, fileHandle) == 4, "ShowtapeHandle.fileHandle");

DEV_STATIC_ASSERT(sizeof(DevTrigger) == 8, "DevTrigger size");
DEV_STATIC_ASSERT(offsetof(DevTrigger, triggerType) == 0, "DevTrigger.triggerType");
DEV_STATIC_ASSERT(offsetof(DevTrigger, value) == 4, "DevTrigger.value");

DEV_STATIC_ASSERT(sizeof(DevTriggerAction) == 520, "DevTriggerAction size");
DEV_STATIC_ASSERT(offsetof(DevTriggerAction, actionType) == 0, "DevTriggerAction.actionType");
DEV_STATIC_ASSERT(offsetof(DevTriggerAction, fileName) == 4, "DevTriggerAction.fileName");
DEV_STATIC_ASSERT(offsetof(DevTriggerAction, value) == 516, "DevTriggerAction.value");

DEV_STATIC_ASSERT(sizeof(DevTriggerHeader) == 4, "DevTriggerHeader size");
DEV_STATIC_ASSERT(offsetof(DevTriggerHeader, byte1) == 0, "DevTriggerHeader.byte1");
DEV_STATIC_ASSERT(offsetof(DevTriggerHeader, byte2) == 1, "DevTriggerHeader.byte2");
DEV_STATIC_ASSERT(offsetof(DevTriggerHeader, byte3) == 2, "DevTriggerHeader.byte3");
DEV_STATIC_ASSERT(offsetof(DevTriggerHeader, byte4) == 3, "DevTriggerHeader.byte4");

#undef DEV_STATIC_ASSERT

#endif /* LUMIVEX_DEVTYPES_H */
