/*
 * kivo_api.h - the camera library interface.
 *
 * Every operation returns a 32-bit status, 0 = success (CAM_SUCCESS). The text
 * of the last non-zero status of a handle comes from CamLastError. Handle 0 is
 * the library itself; an open camera is a non-zero handle returned by CamOpen.
 *
 * Any implementation of this header can be linked in place of the library
 * shipped with the program. All functions may be called from any thread.
 */
#ifndef KIVO_API_H
#define KIVO_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define KIVO_API __declspec(dllexport)
#else
#define KIVO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses */
#define CAM_SUCCESS 0
#define CAM_FIRMWARE_UPLOAD_NEEDED 184

/* CamOpen: flags OR-ed into the device id passed in *handle */
#define CAM_USE_DEVICE_ID 0x8000
#define CAM_ALLOW_FIRMWARE_UPLOAD 0x10000

/* Query arguments */
#define CAM_GET_CURRENT 0x8000 /* CamColorMode, CamPixelClock, CamGain */
#define CAM_GET_DEFAULT 0x8001 /* CamPixelClock: initial value */
#define CAM_IGNORE_PARAMETER (-1)
#define CAM_EXPOSURE_DEFAULT 32769.0 /* CamExposure: set the starting exposure */
#define CAM_EXPOSURE_READ 32768.0    /* CamExposure: read the exposure, nothing set */

/* Colour modes */
#define CAM_CM_RGB32 0
#define CAM_CM_MONO8 6
#define CAM_CM_BAYER_RAW8 11

/* CamImageArea commands */
#define CAM_AOI_SET 0x0001
#define CAM_AOI_GET_MAX_SIZE 0x0010

/* CamDuration modes */
#define CAM_DURATION_FIRMWARE_UPLOAD 1

/* CamEvent commands */
#define CAM_EVENT_INIT 1
#define CAM_EVENT_DISABLE 2
#define CAM_EVENT_ENABLE 3
#define CAM_EVENT_SIGNAL 5
#define CAM_EVENT_WAIT 7
#define CAM_EVENT_INFINITE 0xFFFFFFFFu

/* Event numbers */
#define CAM_EV_FRAME 2
#define CAM_EV_CAPTURE_FAILED 8
#define CAM_EV_DEVICE_RECONNECTED 9
#define CAM_EV_DEVICE_REMOVED 128
#define CAM_EV_REMOVAL 129    /* handle 0: a camera was unplugged */
#define CAM_EV_NEW_DEVICE 130 /* handle 0: a camera was plugged in */

/* CamHotPixel commands */
#define CAM_HP_DISABLE 0x0000
#define CAM_HP_ENABLE_CAMERA_CORRECTION 0x0002
#define CAM_HP_GET_SUPPORTED_MODES 0x8001 /* bit value 2: in-camera correction */
#define CAM_HP_DRIVER_LIST_EXISTS 0x8100
#define CAM_HP_DRIVER_LIST_COUNT 0x8101
#define CAM_HP_DRIVER_LIST_GET 0x8102
#define CAM_HP_DRIVER_LIST_SET 0x8103
#define CAM_HP_FACTORY_COUNT 0x8107
#define CAM_HP_FACTORY_LIST 0x8108
#define CAM_HP_USER_COUNT 0x810A
#define CAM_HP_USER_LIST 0x810B
#define CAM_HP_USER_WRITE 0x810C
#define CAM_HP_USER_MAX_COUNT 0x810D
#define CAM_HP_USER_DELETE 0x810E
#define CAM_HP_DRIVER_LIST_SAVE_FILE 0x8111
#define CAM_HP_DRIVER_LIST_LOAD_FILE 0x8112

#define CAM_HP_MODE_SOFTWARE 1
#define CAM_HP_MODE_CAMERA 2

/*
 * Records. Hot pixel lists travel as arrays of 16-bit words: word 0 the
 * number of entries n, then n pairs (x, y); 2n + 1 words, 4n + 2 bytes.
 */

/* One camera of CamList: 112 bytes. */
typedef struct
{
    uint32_t cameraId; /*  0 */
    uint32_t deviceId; /*  4 */
    uint32_t sensorId; /*  8 */
    uint32_t inUse;    /* 12: non-zero while a program has it open */
    char serial[16];   /* 16: NUL-terminated */
    char model[32];    /* 32: NUL-terminated */
    uint32_t status;   /* 64 */
    uint32_t reserved[11];
} CAM_CAMERA_INFO;

/* CamList buffer: count (in: capacity, out: records written), then records. */
typedef struct
{
    uint32_t count;
    CAM_CAMERA_INFO cameras[1];
} CAM_CAMERA_LIST;

/* CamSensorInfo: 80 bytes. */
typedef struct
{
    uint16_t sensorId;    /*  0 */
    char sensorName[32];  /*  2: NUL-terminated */
    uint8_t colorFilter;  /* 34: 0 monochrome, 1 Bayer mosaic */
    uint8_t reserved0;    /* 35 */
    uint32_t maxWidth;    /* 36 */
    uint32_t maxHeight;   /* 40 */
    uint32_t pixelSizeNm; /* 44 */
    uint8_t reserved[32]; /* 48 */
} CAM_SENSOR_INFO;

/* CamDeviceInfo: 64 bytes, the serial number first. */
typedef struct
{
    char serial[16];  /*  0: NUL-terminated */
    char model[16];   /* 16 */
    char version[16]; /* 32 */
    char date[16];    /* 48 */
} CAM_DEVICE_INFO;

/* CamEvent CAM_EVENT_INIT record: 12 bytes. */
typedef struct
{
    uint32_t id;
    uint32_t manualReset;  /* 0 */
    uint32_t initialState; /* 0 */
} CAM_EVENT_INIT_RECORD;

/* CamEvent CAM_EVENT_WAIT record: 24 bytes. */
typedef struct
{
    uint32_t* events; /* the ids waited for */
    uint32_t count;
    uint32_t waitAll;   /* 0: any of them */
    uint32_t timeoutMs; /* CAM_EVENT_INFINITE waits without limit */
    uint32_t signalled; /* out: the id that ended the wait */
} CAM_EVENT_WAIT_RECORD;

/* Cameras */
KIVO_API int32_t CamCount(int32_t* count);
KIVO_API int32_t CamList(CAM_CAMERA_LIST* list);
/* *handle: in, the device id OR CAM_USE_DEVICE_ID [OR CAM_ALLOW_FIRMWARE_UPLOAD];
 * out, the camera's handle. window must be null. */
KIVO_API int32_t CamOpen(uint32_t* handle, void* window);
KIVO_API int32_t CamClose(uint32_t handle);
/* *text points to storage of the library that stays valid until the calling
 * thread's next CamLastError. */
KIVO_API int32_t CamLastError(uint32_t handle, int32_t* code, char** text);
KIVO_API int32_t CamSensorInfo(uint32_t handle, CAM_SENSOR_INFO* info);
KIVO_API int32_t CamDeviceInfo(uint32_t handle, CAM_DEVICE_INFO* info);
KIVO_API int32_t CamDuration(uint32_t handle, uint32_t mode, uint32_t* milliseconds);

/* Image format and memory */
/* Sets the mode; CAM_GET_CURRENT returns the current mode instead of a status. */
KIVO_API int32_t CamColorMode(uint32_t handle, int32_t mode);
KIVO_API int32_t CamImageArea(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
KIVO_API int32_t CamAllocBuffer(uint32_t handle, int32_t width, int32_t height,
                                int32_t bitsPerPixel, char** address, int32_t* memoryId);
KIVO_API int32_t CamFreeBuffer(uint32_t handle, char* address, int32_t memoryId);
KIVO_API int32_t CamRingAdd(uint32_t handle, char* address, int32_t memoryId);
KIVO_API int32_t CamRingClear(uint32_t handle);
/* *last: the buffer that holds the latest complete image. memoryId and
 * current may be null. */
KIVO_API int32_t CamRingLatest(uint32_t handle, int32_t* memoryId, char** current, char** last);
/* A locked buffer is never written by the camera until it is unlocked.
 * memoryId -1: the buffer is found by its address. */
KIVO_API int32_t CamRingLock(uint32_t handle, int32_t memoryId, char* address);
KIVO_API int32_t CamRingUnlock(uint32_t handle, int32_t memoryId, char* address);
KIVO_API int32_t CamStartCapture(uint32_t handle, int32_t wait);
KIVO_API int32_t CamStopCapture(uint32_t handle, int32_t wait);

/* Settings */
/* Sets the clock; CAM_GET_CURRENT / CAM_GET_DEFAULT return a clock instead. */
KIVO_API int32_t CamPixelClock(uint32_t handle, int32_t clock);
KIVO_API int32_t CamPixelClockRange(uint32_t handle, int32_t* min, int32_t* max);
/* Frame time range in seconds at the current pixel clock. */
KIVO_API int32_t CamFrameTimeRange(uint32_t handle, double* min, double* max, double* interval);
KIVO_API int32_t CamFrameRate(uint32_t handle, double fps, double* actual);
KIVO_API int32_t CamCurrentFps(uint32_t handle, double* fps);
/* Exposure in milliseconds; see CAM_EXPOSURE_DEFAULT and CAM_EXPOSURE_READ. */
KIVO_API int32_t CamExposure(uint32_t handle, double exposure, double* actual);
KIVO_API int32_t CamExposureRange(uint32_t handle, double* min, double* max, double* increment);
/* Gains 0 to 100, CAM_IGNORE_PARAMETER leaves one as it is; master
 * CAM_GET_CURRENT returns the master gain instead of a status. */
KIVO_API int32_t CamGain(uint32_t handle, int32_t master, int32_t red, int32_t green, int32_t blue);

/* Events and hot pixels: command, buffer, size of the buffer in bytes */
KIVO_API int32_t CamEvent(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
KIVO_API int32_t CamHotPixel(uint32_t handle, uint32_t command, void* buffer, uint32_t size);

#ifdef __cplusplus
}

static_assert(sizeof(CAM_CAMERA_INFO) == 112, "camera record is 112 bytes");
static_assert(sizeof(CAM_SENSOR_INFO) == 80, "sensor record is 80 bytes");
static_assert(offsetof(CAM_SENSOR_INFO, maxWidth) == 36, "maximum width at byte 36");
static_assert(offsetof(CAM_SENSOR_INFO, maxHeight) == 40, "maximum height at byte 40");
static_assert(sizeof(CAM_DEVICE_INFO) == 64, "device record is 64 bytes");
static_assert(sizeof(CAM_EVENT_INIT_RECORD) == 12, "event registration is 12 bytes");
static_assert(sizeof(CAM_EVENT_WAIT_RECORD) == 24, "event wait record is 24 bytes");
#endif

#endif /* KIVO_API_H */
