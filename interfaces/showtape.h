/*
 * The show-file library, libShowtape: reads and writes show files (`*.dmx`)
 * on disk. Records and result codes are those of devtypes.h; the file format
 * is described in docs/show-file-format.md.
 *
 * Order of calls: createShowtape, any number of writeDMXFrame, closeShowtape;
 * or openShowtape, readDMXFrame until 2 (DevNoMoreData), any number of
 * rewindShowtape and further reads, closeShowtape. getLibraryVersion may be
 * called at any time.
 *
 * An open file is identified only by the values in its ShowtapeHandle, never
 * by the address of the record: callers may pass a fresh copy on every call.
 * A fileHandle of -1 is never handed out. A nonzero result leaves nothing for
 * the caller to undo: after a failed create or open there is no file; after a
 * failed close the file still counts as open.
 *
 * Thread safety: calls on different handles may run on different threads at
 * once. Calls on one handle from two threads are serialised and never crash,
 * though their interleaving is the callers' business.
 */
#ifndef LUMIVEX_SHOWTAPE_H
#define LUMIVEX_SHOWTAPE_H

#include "devtypes.h"

#if defined(_WIN32)
#define SHOWTAPE_API __declspec(dllexport)
#else
#define SHOWTAPE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Largest channel count a frame may have: the receive buffer every reader of
 * show files hands the library holds this many bytes. */
#define SHOWTAPE_MAX_CHANNELS 2048

/**
 * Create a show file at path (zero-terminated 8-bit text, the platform's file
 * name encoding) for the show called name (zero-terminated UTF-16) with the
 * given header. formatVersion is the format version to write (1 is the only
 * one so far; 0 also means the newest); replaceExisting says whether an
 * existing file at path may be replaced when the new one is closed. The file
 * appears under path only when closeShowtape succeeds.
 *
 * The frames go to a temporary file `.<name>.tmp-XXXXXX` beside path until
 * then. The handle is written only on success; its fileHandle is a slot
 * number (0 or more) and its versionNumber a generation that is never reused
 * soon, so a handle kept after close reaches no later file.
 *
 * Returns 0, or DevInvalidArgument (a null pointer; a header text field with
 * no zero unit among its 256 units), DevBadFormat (formatVersion not 0 or 1),
 * DevInvalidName (empty path, a path ending in "/", "." or "..", a name of
 * more than 255 units, which is refused rather than cut), DevFileNotFound
 * (the folder does not exist), DevFileExists (a file exists at path and
 * replaceExisting is false, or a folder exists at path), DevIOError,
 * DevOutOfMemory.
 */
SHOWTAPE_API DevReturn createShowtape(ShowtapeHandle* handle, const char* path, const DevChar* name,
                                      const ShowtapeHeader* header, int32_t formatVersion,
                                      DevBool replaceExisting);

/** Open the show file at path; fills the show name (256 units, zero-terminated,
 * zeros after the terminator) and every field of the header. The handle, name
 * and header are written only on success.
 *
 * Returns 0, or DevInvalidArgument (a null pointer), DevInvalidName (empty
 * path), DevFileNotFound, DevBadFormat (not a show file, a folder, or a
 * format version this library does not read), DevTruncated (the file ends
 * inside its fixed head), DevCorrupt (the head fails its check), DevIOError,
 * DevOutOfMemory. */
SHOWTAPE_API DevReturn openShowtape(ShowtapeHandle* handle, const char* path,
                                    DevChar name[DEV_TEXT_UNITS], ShowtapeHeader* header);

/** Next frame into the caller's buffer at frame->dmxData, which must hold
 * SHOWTAPE_MAX_CHANNELS bytes: 0 with the frame, 2 when no frame is left.
 * Exactly channelCount bytes are written to the buffer.
 *
 * 2 means the show ended intact. A show that is cut short or damaged yields
 * its intact frames first and then DevTruncated or DevCorrupt, never 2; the
 * same code is returned again until rewindShowtape. On any nonzero result
 * the frame and the buffer are left unchanged. Also DevInvalidArgument (a
 * null pointer, a null dmxData), DevInvalidHandle, DevWrongState (the file
 * was opened by createShowtape), DevIOError. */
SHOWTAPE_API DevReturn readDMXFrame(const ShowtapeHandle* handle, DMXFrame* frame);

/** Append one frame (0 to SHOWTAPE_MAX_CHANNELS channels; dmxData may be null
 * only for 0). A refused or failed write changes nothing: the frames before
 * it are kept and the file can still be closed.
 *
 * Returns 0, or DevInvalidArgument (a null pointer, channels without data),
 * DevInvalidHandle, DevWrongState (the file was opened by openShowtape, or
 * closeShowtape has been called on it), DevFrameTooLarge (a negative count
 * or more than SHOWTAPE_MAX_CHANNELS), DevIOError. */
SHOWTAPE_API DevReturn writeDMXFrame(const ShowtapeHandle* handle, const DMXFrame* frame);

/** The next read yields the first frame again, also after the end or damage
 * was reported. Returns 0, DevInvalidArgument, DevInvalidHandle or
 * DevWrongState (the file was opened by createShowtape). */
SHOWTAPE_API DevReturn rewindShowtape(const ShowtapeHandle* handle);

/** End the use of the file; a file being written is made durable and moved
 * into place first: end record written, file fsync'ed, renamed to its path,
 * folder fsync'ed.
 *
 * Returns 0, after which the handle is invalid; or DevInvalidArgument,
 * DevInvalidHandle, DevFileExists (replaceExisting was false and a file has
 * appeared at the path since create), DevIOError. After a failure the file is
 * still open and close may be called again; it resumes at the step that
 * failed. Only a failed fsync of the folder, the last step, leaves the new
 * file already at its path; a failed fsync of the file is final (close keeps
 * failing and nothing is moved, as the data may be lost). */
SHOWTAPE_API DevReturn closeShowtape(const ShowtapeHandle* handle);

/** Version of the library: 1, 0, 0. DevInvalidArgument if a pointer is null,
 * and then nothing is written. */
SHOWTAPE_API DevReturn getLibraryVersion(int32_t* major, int32_t* minor, int32_t* build);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* LUMIVEX_SHOWTAPE_H */
