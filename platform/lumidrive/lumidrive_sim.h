/*
 * Test and demo hooks of the controller simulator (libLumidrive.so). These are
 * not part of the controller library interface (lumidrive.h): only tests and
 * tools written against the simulator use them. See docs/simulator.md.
 */
#ifndef LUMIVEX_LUMIDRIVE_SIM_H
#define LUMIVEX_LUMIDRIVE_SIM_H

#include "devtypes.h"
#include "lumidrive.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The last frame a controller received in live play. */
typedef struct LumidriveSimLiveFrame {
    int32_t channelCount;
    int32_t startCode;
    int32_t timeCode;
    uint8_t data[512];      /* the first channelCount bytes are the frame's */
    int64_t framesReceived; /* frames accepted by sendFrame since the device was opened */
} LumidriveSimLiveFrame;

/**
 * Copies the last frame that sendFrame accepted on the open device `handle`
 * since it was opened (it stays readable after stopLivePlay).
 * @return 0 with *frame filled; DevNoMoreData when no frame was sent yet;
 *         DevInvalidHandle; DevInvalidArgument for a null frame.
 * Thread safety: like every device call, serialised with the device's other calls.
 */
LUMIDRIVE_API DevReturn lumidriveSimLastLiveFrame(int32_t handle, LumidriveSimLiveFrame* frame);

/**
 * Forgets every controller and handle and reads the configuration again
 * (LUMIDRIVE_SIM_DIR as it is now) at the next call. Every open handle
 * becomes invalid and anything in progress on it is abandoned; what the
 * built-in in-memory controllers stored is forgotten; fault counters restart.
 * Thread safety: may run beside other calls, but must not be called from
 * inside a deleteFile progress function.
 */
LUMIDRIVE_API void lumidriveSimReset(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* LUMIVEX_LUMIDRIVE_SIM_H */
