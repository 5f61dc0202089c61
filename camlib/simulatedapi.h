#pragma once

#include "kivo_api.h"

// The simulated cameras' side of the library interface; kivo_api.cpp
// routes each call here or to the GenICam cameras. Handle 0, the library
// itself with its device events, is always served here.
namespace kivo::simulated {

int32_t CamCount(int32_t* count);
int32_t CamList(CAM_CAMERA_LIST* list);
int32_t CamOpen(uint32_t* handle, void* window);
int32_t CamClose(uint32_t handle);
int32_t CamLastError(uint32_t handle, int32_t* code, char** text);
int32_t CamSensorInfo(uint32_t handle, CAM_SENSOR_INFO* info);
int32_t CamDeviceInfo(uint32_t handle, CAM_DEVICE_INFO* info);
int32_t CamDuration(uint32_t handle, uint32_t mode, uint32_t* milliseconds);
int32_t CamColorMode(uint32_t handle, int32_t mode);
int32_t CamImageArea(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
int32_t CamAllocBuffer(uint32_t handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                       char** address, int32_t* memoryId);
int32_t CamFreeBuffer(uint32_t handle, char* address, int32_t memoryId);
int32_t CamRingAdd(uint32_t handle, char* address, int32_t memoryId);
int32_t CamRingClear(uint32_t handle);
int32_t CamRingLatest(uint32_t handle, int32_t* memoryId, char** current, char** last);
int32_t CamRingLock(uint32_t handle, int32_t memoryId, char* address);
int32_t CamRingUnlock(uint32_t handle, int32_t memoryId, char* address);
int32_t CamStartCapture(uint32_t handle, int32_t wait);
int32_t CamStopCapture(uint32_t handle, int32_t wait);
int32_t CamPixelClock(uint32_t handle, int32_t clock);
int32_t CamPixelClockRange(uint32_t handle, int32_t* min, int32_t* max);
int32_t CamFrameTimeRange(uint32_t handle, double* min, double* max, double* interval);
int32_t CamFrameRate(uint32_t handle, double fps, double* actual);
int32_t CamCurrentFps(uint32_t handle, double* fps);
int32_t CamExposure(uint32_t handle, double exposure, double* actual);
int32_t CamExposureRange(uint32_t handle, double* min, double* max, double* increment);
int32_t CamGain(uint32_t handle, int32_t master, int32_t red, int32_t green, int32_t blue);
int32_t CamEvent(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
int32_t CamHotPixel(uint32_t handle, uint32_t command, void* buffer, uint32_t size);

// Raises a device event (CAM_EV_REMOVAL, CAM_EV_NEW_DEVICE) on handle 0.
void raiseLibraryEvent(uint32_t id);

} // namespace kivo::simulated
