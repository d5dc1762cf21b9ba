/*
 * The controller library, libLumidrive: finds attached controllers and talks
 * to them. Records and result codes are those of devtypes.h.
 *
 * Contract every caller relies on:
 *  - 0 (DevSuccess) is success; any other code is a failure to pass on.
 *  - DevNoMoreData (2) from a first/next pair or from readFrame means nothing more.
 *  - Out-arguments are written only on success; openDevice writes the handle
 *    only on success and identifies the controller by deviceType and
 *    deviceNumber alone. -1 is never a valid handle.
 *  - readFrame sets channelCount, startCode and timeCode and writes at most
 *    512 channel bytes into the caller's buffer.
 *  - deleteFile calls its progress function only on the calling thread,
 *    before it returns.
 *  - The library keeps no pointer to any record or buffer after a call.
 *
 * Thread safety: every function may be called from any thread. Calls on the
 * same device handle from several threads are serialised inside the library.
 * The enumeration positions (devices, files, triggers) are kept per process
 * for devices and per handle for files and triggers, so two threads
 * enumerating the same thing at once see interleaved results.
 */
#ifndef LUMIVEX_LUMIDRIVE_H
#define LUMIVEX_LUMIDRIVE_H

#include "devtypes.h"

#if defined(_WIN32)
#define LUMIDRIVE_API __declspec(dllexport)
#else
#define LUMIDRIVE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * DevState values the controller library reports for an open controller.
 */
enum DevStateValue {
    DevStateIdle = 0,          /* open, doing nothing */
    DevStateLivePlay = 1,      /* between startLivePlay and stopLivePlay */
    DevStatePlayingBack = 2,   /* between startPlayback and stopPlayback */
    DevStateWritingShow = 3,   /* between createFile (or createTestFile) and its close */
    DevStateReadingShow = 4,   /* between openFile and closeFile */
    DevStateWritingTriggers = 5 /* between createTriggers and closeTriggers */
};

/*
 * Device-class bits, the values of DevEntry.deviceClasses that the four
 * capability queries test: each query is true when its bit is set.
 */
enum DevClassBits {
    DevClassLivePlay = 0x01,        /* supportsLivePlay */
    DevClassPlayBackControl = 0x02, /* supportsPlayBackControl */
    DevClassPlayBackConfig = 0x04,  /* supportsPlayBackConfig: can store and hand back shows */
    DevClassRecord = 0x08           /* supportsRecord */
};

/* Progress function of deleteFile: called with (done, total). */
typedef void (*DevDeleteProgress)(int32_t done, int32_t total);

/* Revision of the library itself. Never fail. */
LUMIDRIVE_API int32_t getLibraryMajorRevision(void);
LUMIDRIVE_API int32_t getLibraryMinorRevision(void);
LUMIDRIVE_API int32_t getLibraryBuildRevision(void);

/* Capability queries on a deviceClasses value; 1 when supported, else 0. */
LUMIDRIVE_API DevBool supportsLivePlay(int32_t deviceClasses);
LUMIDRIVE_API DevBool supportsPlayBackControl(int32_t deviceClasses);
LUMIDRIVE_API DevBool supportsPlayBackConfig(int32_t deviceClasses);
LUMIDRIVE_API DevBool supportsRecord(int32_t deviceClasses);

/* Enumerate the attached controllers: 0 with the entry filled, 2 when none is left. */
LUMIDRIVE_API DevReturn getFirstDevice(DevEntry* entry);
LUMIDRIVE_API DevReturn getNextDevice(DevEntry* entry);

/* Open the controller named by entry->deviceType and entry->deviceNumber;
 * on success stores its handle in *handle. */
LUMIDRIVE_API DevReturn openDevice(int32_t* handle, const DevEntry* entry);
LUMIDRIVE_API DevReturn closeDevice(int32_t handle);

LUMIDRIVE_API DevReturn getDeviceInfo(int32_t handle, DevInfo* info);
LUMIDRIVE_API DevReturn getDeviceState(int32_t handle, DevState* state);

/* Live play: frames sent between start and stop go straight to the output. */
LUMIDRIVE_API DevReturn startLivePlay(int32_t handle);
LUMIDRIVE_API DevReturn sendFrame(int32_t handle, const DMXFrame* frame);
LUMIDRIVE_API DevReturn stopLivePlay(int32_t handle);

/* Show upload: create, any number of writeFrames batches, close. */
LUMIDRIVE_API DevReturn createFile(int32_t handle, const DevChar* name, ShowtapeHeader* header,
                                   DevBool overwrite);
LUMIDRIVE_API DevReturn writeFrames(int32_t handle, int32_t count, const DMXFrame* frames);
LUMIDRIVE_API DevReturn closeFile(int32_t handle);

/* Test upload: the same input as an upload; stores nothing and reports
 * whether the show would fit and how many bytes it would take. */
LUMIDRIVE_API DevReturn createTestFile(int32_t handle, const DevChar* name,
                                       const ShowtapeHeader* header, DevBool overwrite);
LUMIDRIVE_API DevReturn writeTestFrames(int32_t handle, int32_t count, const DMXFrame* frames);
LUMIDRIVE_API DevReturn closeTestFile(int32_t handle, DevBool* willFit, int64_t* totalSize);

/* File store. */
LUMIDRIVE_API DevReturn getFreeSpace(int32_t handle, int64_t* freeSpace);
LUMIDRIVE_API DevReturn getFirstFile(int32_t handle, const DevChar* directory, DevFileEntry* entry);
LUMIDRIVE_API DevReturn getNextFile(int32_t handle, DevFileEntry* entry);
LUMIDRIVE_API DevReturn deleteFile(int32_t handle, const DevChar* name, DevDeleteProgress progress);

/* Reading a stored show: openFile, readFrame until 2, closeFile. */
LUMIDRIVE_API DevReturn openFile(int32_t handle, const DevChar* name, ShowtapeHeader* header);
LUMIDRIVE_API DevReturn readFrame(int32_t handle, DMXFrame* frame);

/* Playback of a stored show. */
LUMIDRIVE_API DevReturn startPlayback(int32_t handle, const DevChar* name);
LUMIDRIVE_API DevReturn stopPlayback(int32_t handle);

/* Trigger table. */
LUMIDRIVE_API DevReturn createTriggers(int32_t handle);
LUMIDRIVE_API DevReturn setTrigger(int32_t handle, const DevTrigger* trigger,
                                   const DevTriggerAction* action);
LUMIDRIVE_API DevReturn getTriggerHeader(int32_t handle, DevTriggerHeader* header);
LUMIDRIVE_API DevReturn setTriggerHeader(int32_t handle, const DevTriggerHeader* header);
LUMIDRIVE_API DevReturn closeTriggers(int32_t handle);
LUMIDRIVE_API DevReturn getFirstTrigger(int32_t handle, DevTrigger* trigger, DevTriggerAction* action);
LUMIDRIVE_API DevReturn getNextTrigger(int32_t handle, DevTrigger* trigger, DevTriggerAction* action);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* LUMIVEX_LUMIDRIVE_H */
