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

/* Largest channel count a frame may have: the receive buffer every reader of
 * show files hands the library holds this many bytes. */
#define SHOWTAPE_MAX_CHANNELS 2048

/*
 * Create a show file at path (zero-terminated 8-bit text, the platform's file
 * name encoding) for the show called name (zero-terminated UTF-16) with the
 * given header. formatVersion is the format version to write (1 is the only
 * one so far; 0 also means the newest); replaceExisting says whether an
 * existing file at path may be replaced when the new one is closed. The file
 * appears under path only when closeShowtape succeeds.
 */
SHOWTAPE_API DevReturn createShowtape(ShowtapeHandle* handle, const char* path, const DevChar* name,
                                      const ShowtapeHeader* header, int32_t formatVersion,
                                      DevBool replaceExisting);

/* Open the show file at path; fills the show name (256 units, zero-terminated)
 * and every field of the header. */
SHOWTAPE_API DevReturn openShowtape(ShowtapeHandle* handle, const char* path,
                                    DevChar name[DEV_TEXT_UNITS], ShowtapeHeader* header);

/* Next frame into the caller's buffer at frame->dmxData, which must hold
 * SHOWTAPE_MAX_CHANNELS bytes: 0 with the frame, 2 when no frame is left. */
SHOWTAPE_API DevReturn readDMXFrame(const ShowtapeHandle* handle, DMXFrame* frame);

/* Append one frame (0 to SHOWTAPE_MAX_CHANNELS channels). */
SHOWTAPE_API DevReturn writeDMXFrame(const ShowtapeHandle* handle, const DMXFrame* frame);

/* The next read yields the first frame again. */
SHOWTAPE_API DevReturn rewindShowtape(const ShowtapeHandle* handle);

/* End the use of the file; a file being written is made durable and moved
 * into place first. */
SHOWTAPE_API DevReturn closeShowtape(const ShowtapeHandle* handle);

/* Version of the library. */
SHOWTAPE_API DevReturn getLibraryVersion(int32_t* major, int32_t* minor, int32_t* build);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* LUMIVEX_SHOWTAPE_H */
