// The camera library interface: each call goes to the simulated cameras or
// to the GenICam cameras, by the device id or handle it names. Handle 0, the
// library itself, is the simulated side's; the GenICam side raises its device
// events there.

#include "kivo_api.h"

#include "camerasources.h"
#include "genicamprovider.h"
#include "simulatedapi.h"

#include <atomic>

using kivo::CameraSources;
using kivo::GenicamProvider;
namespace simulated = kivo::simulated;

namespace {

const CameraSources& sources()
{
    return CameraSources::fromEnvironment();
}

// Created on first use, and only when the GenICam cameras are switched on:
// it starts searching at once. It lives until the process ends, like the
// simulated world, for threads that still wait in it at exit.
GenicamProvider& genicamCameras()
{
    static GenicamProvider* const provider =
        new GenicamProvider(sources().genicamAddresses, &simulated::raiseLibraryEvent);
    return *provider;
}

bool isGenicam(uint32_t handle)
{
    return sources().genicam && GenicamProvider::ownsHandle(handle);
}

// Which side failed last on handle 0, for CamLastError(0).
std::atomic<bool> lastLibraryErrorGenicam{false};

int32_t noteLibraryStatus(int32_t status, bool fromGenicam)
{
    if (status != CAM_SUCCESS)
        lastLibraryErrorGenicam = fromGenicam;
    return status;
}

} // namespace

extern "C" {

int32_t CamCount(int32_t* count)
{
    int32_t simulatedCount = 0;
    if (sources().simulated || !count) {
        const int32_t status = simulated::CamCount(count ? &simulatedCount : nullptr);
        if (status != CAM_SUCCESS)
            return noteLibraryStatus(status, false);
    }
    *count = simulatedCount + (sources().genicam ? int32_t(genicamCameras().count()) : 0);
    return CAM_SUCCESS;
}

int32_t CamList(CAM_CAMERA_LIST* list)
{
    if (!list)
        return noteLibraryStatus(simulated::CamList(list), false);
    const uint32_t capacity = list->count;
    uint32_t written = 0;
    if (sources().simulated) {
        const int32_t status = simulated::CamList(list);
        if (status != CAM_SUCCESS)
            return noteLibraryStatus(status, false);
        written = list->count;
    }
    if (sources().genicam) {
        // The records follow the count; the buffer holds as many as it says.
        auto* records = reinterpret_cast<CAM_CAMERA_INFO*>(reinterpret_cast<char*>(list) +
                                                           offsetof(CAM_CAMERA_LIST, cameras));
        written += genicamCameras().list(records + written, capacity - written);
    }
    list->count = written;
    return CAM_SUCCESS;
}

int32_t CamOpen(uint32_t* handle, void* window)
{
    const uint32_t id =
        handle ? *handle & ~uint32_t(CAM_USE_DEVICE_ID | CAM_ALLOW_FIRMWARE_UPLOAD) : 0;
    // Without simulated cameras every request is the GenICam side's.
    const bool toGenicam = handle && !window && sources().genicam &&
                           (GenicamProvider::ownsDevice(id) || !sources().simulated);
    if (toGenicam)
        return noteLibraryStatus(genicamCameras().open(handle), true);
    return noteLibraryStatus(simulated::CamOpen(handle, window), false);
}

int32_t CamClose(uint32_t handle)
{
    return isGenicam(handle) ? genicamCameras().close(handle) : simulated::CamClose(handle);
}

int32_t CamLastError(uint32_t handle, int32_t* code, char** text)
{
    const bool toGenicam = isGenicam(handle) || (handle == 0 && lastLibraryErrorGenicam);
    return toGenicam ? genicamCameras().lastError(handle, code, text)
                     : simulated::CamLastError(handle, code, text);
}

int32_t CamSensorInfo(uint32_t handle, CAM_SENSOR_INFO* info)
{
    return isGenicam(handle) ? genicamCameras().sensorInfo(handle, info)
                             : simulated::CamSensorInfo(handle, info);
}

int32_t CamDeviceInfo(uint32_t handle, CAM_DEVICE_INFO* info)
{
    return isGenicam(handle) ? genicamCameras().deviceInfo(handle, info)
                             : simulated::CamDeviceInfo(handle, info);
}

int32_t CamDuration(uint32_t handle, uint32_t mode, uint32_t* milliseconds)
{
    return isGenicam(handle) ? genicamCameras().duration(handle)
                             : simulated::CamDuration(handle, mode, milliseconds);
}

int32_t CamColorMode(uint32_t handle, int32_t mode)
{
    return isGenicam(handle) ? genicamCameras().colorMode(handle, mode)
                             : simulated::CamColorMode(handle, mode);
}

int32_t CamImageArea(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return isGenicam(handle) ? genicamCameras().imageArea(handle, command, buffer, size)
                             : simulated::CamImageArea(handle, command, buffer, size);
}

int32_t CamAllocBuffer(uint32_t handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                       char** address, int32_t* memoryId)
{
    return isGenicam(handle)
               ? genicamCameras().allocBuffer(handle, width, height, bitsPerPixel, address,
                                              memoryId)
               : simulated::CamAllocBuffer(handle, width, height, bitsPerPixel, address, memoryId);
}

int32_t CamFreeBuffer(uint32_t handle, char* address, int32_t memoryId)
{
    return isGenicam(handle) ? genicamCameras().freeBuffer(handle, address, memoryId)
                             : simulated::CamFreeBuffer(handle, address, memoryId);
}

int32_t CamRingAdd(uint32_t handle, char* address, int32_t memoryId)
{
    return isGenicam(handle) ? genicamCameras().ringAdd(handle, address, memoryId)
                             : simulated::CamRingAdd(handle, address, memoryId);
}

int32_t CamRingClear(uint32_t handle)
{
    return isGenicam(handle) ? genicamCameras().ringClear(handle) : simulated::CamRingClear(handle);
}

int32_t CamRingLatest(uint32_t handle, int32_t* memoryId, char** current, char** last)
{
    return isGenicam(handle) ? genicamCameras().ringLatest(handle, memoryId, current, last)
                             : simulated::CamRingLatest(handle, memoryId, current, last);
}

int32_t CamRingLock(uint32_t handle, int32_t memoryId, char* address)
{
    return isGenicam(handle) ? genicamCameras().ringLock(handle, memoryId, address)
                             : simulated::CamRingLock(handle, memoryId, address);
}

int32_t CamRingUnlock(uint32_t handle, int32_t memoryId, char* address)
{
    return isGenicam(handle) ? genicamCameras().ringUnlock(handle, memoryId, address)
                             : simulated::CamRingUnlock(handle, memoryId, address);
}

int32_t CamStartCapture(uint32_t handle, int32_t wait)
{
    return isGenicam(handle) ? genicamCameras().startCapture(handle)
                             : simulated::CamStartCapture(handle, wait);
}

int32_t CamStopCapture(uint32_t handle, int32_t wait)
{
    return isGenicam(handle) ? genicamCameras().stopCapture(handle)
                             : simulated::CamStopCapture(handle, wait);
}

int32_t CamPixelClock(uint32_t handle, int32_t clock)
{
    return isGenicam(handle) ? genicamCameras().pixelClock(handle, clock)
                             : simulated::CamPixelClock(handle, clock);
}

int32_t CamPixelClockRange(uint32_t handle, int32_t* min, int32_t* max)
{
    return isGenicam(handle) ? genicamCameras().pixelClockRange(handle, min, max)
                             : simulated::CamPixelClockRange(handle, min, max);
}

int32_t CamFrameTimeRange(uint32_t handle, double* min, double* max, double* interval)
{
    return isGenicam(handle) ? genicamCameras().frameTimeRange(handle, min, max, interval)
                             : simulated::CamFrameTimeRange(handle, min, max, interval);
}

int32_t CamFrameRate(uint32_t handle, double fps, double* actual)
{
    return isGenicam(handle) ? genicamCameras().frameRate(handle, fps, actual)
                             : simulated::CamFrameRate(handle, fps, actual);
}

int32_t CamCurrentFps(uint32_t handle, double* fps)
{
    return isGenicam(handle) ? genicamCameras().currentFps(handle, fps)
                             : simulated::CamCurrentFps(handle, fps);
}

int32_t CamExposure(uint32_t handle, double exposure, double* actual)
{
    return isGenicam(handle) ? genicamCameras().exposure(handle, exposure, actual)
                             : simulated::CamExposure(handle, exposure, actual);
}

int32_t CamExposureRange(uint32_t handle, double* min, double* max, double* increment)
{
    return isGenicam(handle) ? genicamCameras().exposureRange(handle, min, max, increment)
                             : simulated::CamExposureRange(handle, min, max, increment);
}

int32_t CamGain(uint32_t handle, int32_t master, int32_t red, int32_t green, int32_t blue)
{
    return isGenicam(handle) ? genicamCameras().gain(handle, master)
                             : simulated::CamGain(handle, master, red, green, blue);
}

int32_t CamEvent(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return isGenicam(handle) ? genicamCameras().event(handle, command, buffer, size)
                             : simulated::CamEvent(handle, command, buffer, size);
}

int32_t CamHotPixel(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return isGenicam(handle) ? genicamCameras().hotPixel(handle, command, buffer, size)
                             : simulated::CamHotPixel(handle, command, buffer, size);
}

} // extern "C"
