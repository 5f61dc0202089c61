/*
 * kivo_control.h - control interface of the simulated camera library.
 *
 * For tests and for the kivoctl tool only; the program never includes it.
 * Cameras are named by their serial number. Every function returns 0 on
 * success and -1 on failure (unknown serial, bad argument); KivoSimLastMessage
 * then says why. All functions may be called from any thread.
 */
#ifndef KIVO_CONTROL_H
#define KIVO_CONTROL_H

#include <stddef.h>
#include <stdint.h>

#include "kivo_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The text of the last failure of this thread's control call. */
KIVO_API const char* KivoSimLastMessage(void);

/* Replaces the whole world: closes every handle, drops faults, driver lists
 * and pending events. json is a world description as in a configuration
 * file; null restores the built-in default world. */
KIVO_API int KivoSimLoadWorld(const char* json);

/* Plugs a camera in (event 130 on handle 0; 9 on its handle when it was open
 * while unplugged) or unplugs it (129 on handle 0; 128 on its open handle). */
KIVO_API int KivoSimSetPlugged(const char* serial, int plugged);

/* Covers the sensor (dark frames) or uncovers it (test scene). */
KIVO_API int KivoSimSetCovered(const char* serial, int covered);

/* Marks the camera as held by another program: listed in use, CamOpen fails. */
KIVO_API int KivoSimSetInUse(const char* serial, int inUse);

/* The next count calls of the named operation ("CamOpen", "CamHotPixel", ...)
 * return status instead of doing their work. For CamHotPixel and CamEvent a
 * command can be named after a colon, e.g. "CamHotPixel:0x810C". count 0
 * removes the fault. */
KIVO_API int KivoSimInjectFault(const char* operation, int count, int32_t status);
/* As KivoSimInjectFault, but the first skip calls still do their work. */
KIVO_API int KivoSimInjectFaultAfter(const char* operation, int skip, int count, int32_t status);
KIVO_API void KivoSimClearFaults(void);
/* The injected faults that have not yet failed all their calls. */
KIVO_API int KivoSimPendingFaults(void);

/* Manual frames: the frame thread stops producing frames for this camera;
 * KivoSimDeliverFrame produces one frame now, in the calling thread, followed
 * by event 2. pixels null: the simulated sensor content; otherwise exactly
 * size bytes that replace the image (size must equal the image's bytes). */
KIVO_API int KivoSimSetManualFrames(const char* serial, int manual);
KIVO_API int KivoSimDeliverFrame(const char* serial, const uint8_t* pixels, size_t size);

/* Makes the next capture of the camera fail (event 8 instead of a frame). */
KIVO_API int KivoSimFailNextCapture(const char* serial);

/* Hot pixel lists as word arrays (word 0 the count n, then n pairs); at most
 * capacity words are written. Returns n, or -1. */
KIVO_API int KivoSimReadEeprom(const char* serial, uint16_t* words, int capacity);
KIVO_API int KivoSimReadTrueHotPixels(const char* serial, uint16_t* words, int capacity);
KIVO_API int KivoSimReadFactoryList(const char* serial, uint16_t* words, int capacity);

/* Frames the library produced for this camera since it was opened, and the
 * ones it dropped (each with event 8) because every ring buffer was locked. */
KIVO_API int64_t KivoSimFramesProduced(const char* serial);
KIVO_API int64_t KivoSimFramesDropped(const char* serial);

#ifdef __cplusplus
}
#endif

#endif /* KIVO_CONTROL_H */
