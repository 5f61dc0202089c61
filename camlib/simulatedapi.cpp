// The camera library interface for the simulated cameras and the library
// itself (handle 0).

#include "simulatedapi.h"

#include "hotpixelcommands.h"
#include "world.h"

#include <algorithm>
#include <cstring>

using kivo::CamError;
using kivo::Session;
using kivo::World;
using Lock = World::Lock;

namespace {

World& world()
{
    return World::instance();
}

void require(bool ok, const char* what)
{
    if (!ok)
        throw CamError(kivo::StatusInvalidParameter, what);
}

template<size_t N>
void copyText(char (&to)[N], const std::string& from)
{
    const size_t n = std::min(from.size(), N - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

// The calls that only touch one open camera and never wait.
template<class Op>
int32_t onSession(uint32_t handle, const char* operation, Op&& op)
{
    return world().call(handle, operation, std::nullopt,
                        [&](Lock&) { return op(world().session(handle)); });
}

} // namespace

namespace kivo::simulated {

void raiseLibraryEvent(uint32_t id)
{
    world().control([&](Lock&) { world().raise(*world().events(0), id); });
}

int32_t CamCount(int32_t* count)
{
    return world().call(0, "CamCount", std::nullopt, [&](Lock&) {
        require(count, "No place for the count.");
        *count = int32_t(world().connectedCameras().size());
        return CAM_SUCCESS;
    });
}

int32_t CamList(CAM_CAMERA_LIST* list)
{
    return world().call(0, "CamList", std::nullopt, [&](Lock&) {
        require(list, "No camera list buffer.");
        const std::vector<kivo::SimCamera*> cameras = world().connectedCameras();
        const size_t n = std::min(size_t(list->count), cameras.size());
        // The records follow the count; the buffer holds as many as it says.
        char* records = reinterpret_cast<char*>(list) + offsetof(CAM_CAMERA_LIST, cameras);
        for (size_t i = 0; i < n; ++i) {
            const kivo::SimCamera& camera = *cameras[i];
            CAM_CAMERA_INFO info;
            std::memset(&info, 0, sizeof info);
            info.cameraId = camera.config.cameraId;
            info.deviceId = camera.config.deviceId;
            info.sensorId = camera.config.sensorId;
            info.inUse = camera.inUse() ? 1 : 0;
            copyText(info.serial, camera.config.serial);
            copyText(info.model, camera.config.model);
            std::memcpy(records + i * sizeof info, &info, sizeof info);
        }
        list->count = uint32_t(n);
        return CAM_SUCCESS;
    });
}

int32_t CamOpen(uint32_t* handle, void* window)
{
    return world().call(0, "CamOpen", std::nullopt, [&](Lock&) {
        require(handle, "No handle given.");
        require(!window, "Display windows are not supported.");
        *handle = world().open(*handle);
        return CAM_SUCCESS;
    });
}

int32_t CamClose(uint32_t handle)
{
    return world().call(handle, "CamClose", std::nullopt, [&](Lock& lock) {
        world().close(lock, handle);
        return CAM_SUCCESS;
    });
}

int32_t CamLastError(uint32_t handle, int32_t* code, char** text)
{
    return world().lastError(handle, code, text);
}

int32_t CamSensorInfo(uint32_t handle, CAM_SENSOR_INFO* info)
{
    return onSession(handle, "CamSensorInfo", [&](Session& s) {
        require(info, "No sensor record given.");
        const kivo::CameraConfig& config = s.camera.config;
        std::memset(info, 0, sizeof *info);
        info->sensorId = config.sensorId;
        copyText(info->sensorName, config.sensorName);
        info->colorFilter = config.bayer ? 1 : 0;
        info->maxWidth = uint32_t(config.width);
        info->maxHeight = uint32_t(config.height);
        info->pixelSizeNm = config.pixelSizeNm;
        return CAM_SUCCESS;
    });
}

int32_t CamDeviceInfo(uint32_t handle, CAM_DEVICE_INFO* info)
{
    return onSession(handle, "CamDeviceInfo", [&](Session& s) {
        require(info, "No device record given.");
        const kivo::CameraConfig& config = s.camera.config;
        std::memset(info, 0, sizeof *info);
        copyText(info->serial, config.serial);
        copyText(info->model, config.model);
        copyText(info->version, config.firmwareVersion);
        copyText(info->date, config.firmwareDate);
        return CAM_SUCCESS;
    });
}

int32_t CamDuration(uint32_t handle, uint32_t mode, uint32_t* milliseconds)
{
    return world().call(handle, "CamDuration", std::nullopt, [&](Lock&) {
        require(milliseconds, "No place for the duration.");
        if (mode != CAM_DURATION_FIRMWARE_UPLOAD)
            throw CamError(kivo::StatusNotSupported,
                           "Unknown duration " + std::to_string(mode) + ".");
        // Before an upload the camera is not open yet: the handle is then the
        // device id with CAM_USE_DEVICE_ID, as given to CamOpen.
        *milliseconds = world().cameraForDuration(handle).config.firmwareUploadMs;
        return CAM_SUCCESS;
    });
}

int32_t CamColorMode(uint32_t handle, int32_t mode)
{
    return onSession(handle, "CamColorMode", [&](Session& s) {
        if (mode == CAM_GET_CURRENT)
            return int32_t(s.colorMode);
        s.setColorMode(mode);
        return CAM_SUCCESS;
    });
}

int32_t CamImageArea(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return onSession(handle, "CamImageArea", [&](Session& s) {
        int32_t values[4] = {0, 0, 0, 0};
        switch (command) {
        case CAM_AOI_GET_MAX_SIZE:
            require(buffer && size == 8, "The maximum size needs a buffer of 8 bytes.");
            values[0] = s.camera.config.width;
            values[1] = s.camera.config.height;
            std::memcpy(buffer, values, 8);
            break;
        case CAM_AOI_SET:
            require(buffer && size == 16, "An image area needs a buffer of 16 bytes.");
            std::memcpy(values, buffer, 16);
            s.setArea(values[0], values[1], values[2], values[3]);
            world().wakeFrameThread();
            break;
        default:
            throw CamError(kivo::StatusNotSupported,
                           "Unknown image area command " + std::to_string(command) + ".");
        }
        return CAM_SUCCESS;
    });
}

int32_t CamAllocBuffer(uint32_t handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                       char** address, int32_t* memoryId)
{
    return onSession(handle, "CamAllocBuffer", [&](Session& s) {
        require(address && memoryId, "No place for the address or the memory id.");
        const kivo::ImageBuffer& buffer = s.ring.allocate(width, height, bitsPerPixel);
        *address = buffer.address();
        *memoryId = buffer.memoryId;
        return CAM_SUCCESS;
    });
}

int32_t CamFreeBuffer(uint32_t handle, char* address, int32_t memoryId)
{
    return world().call(handle, "CamFreeBuffer", std::nullopt, [&](Lock& lock) {
        require(address, "No image memory given.");
        // Never free memory that a frame is being written into.
        world().waitForFrame(lock, handle).ring.release(address, memoryId);
        return CAM_SUCCESS;
    });
}

int32_t CamRingAdd(uint32_t handle, char* address, int32_t memoryId)
{
    return onSession(handle, "CamRingAdd", [&](Session& s) {
        require(address, "No image memory given.");
        s.ring.add(address, memoryId);
        world().wakeFrameThread();
        return CAM_SUCCESS;
    });
}

int32_t CamRingClear(uint32_t handle)
{
    return world().call(handle, "CamRingClear", std::nullopt, [&](Lock& lock) {
        world().waitForFrame(lock, handle).ring.clear();
        return CAM_SUCCESS;
    });
}

int32_t CamRingLatest(uint32_t handle, int32_t* memoryId, char** current, char** last)
{
    return onSession(handle, "CamRingLatest", [&](Session& s) {
        const kivo::ImageBuffer* latest = s.ring.latest();
        if (!latest)
            throw CamError(kivo::StatusNoImage, "No image has been captured yet.");
        const kivo::ImageBuffer* filling = s.inFlight ? s.inFlight : s.ring.nextTarget();
        if (memoryId)
            *memoryId = latest->memoryId;
        if (current)
            *current = (filling ? filling : latest)->address();
        if (last)
            *last = latest->address();
        return CAM_SUCCESS;
    });
}

int32_t CamRingLock(uint32_t handle, int32_t memoryId, char* address)
{
    return onSession(handle, "CamRingLock", [&](Session& s) {
        s.lockBuffer(memoryId, address);
        return CAM_SUCCESS;
    });
}

int32_t CamRingUnlock(uint32_t handle, int32_t memoryId, char* address)
{
    return onSession(handle, "CamRingUnlock", [&](Session& s) {
        s.ring.inRing(memoryId, address).locked = false;
        world().wakeFrameThread();
        return CAM_SUCCESS;
    });
}

int32_t CamStartCapture(uint32_t handle, int32_t)
{
    return onSession(handle, "CamStartCapture", [&](Session& s) {
        world().startCapture(s);
        return CAM_SUCCESS;
    });
}

int32_t CamStopCapture(uint32_t handle, int32_t wait)
{
    return world().call(handle, "CamStopCapture", std::nullopt, [&](Lock& lock) {
        world().stopCapture(lock, world().session(handle), wait != 0);
        return CAM_SUCCESS;
    });
}

int32_t CamPixelClock(uint32_t handle, int32_t clock)
{
    return onSession(handle, "CamPixelClock", [&](Session& s) {
        if (clock == CAM_GET_CURRENT)
            return int32_t(s.pixelClock);
        if (clock == CAM_GET_DEFAULT)
            return int32_t(s.camera.config.pixelClockInitial);
        s.setPixelClock(clock);
        world().wakeFrameThread();
        return CAM_SUCCESS;
    });
}

int32_t CamPixelClockRange(uint32_t handle, int32_t* min, int32_t* max)
{
    return onSession(handle, "CamPixelClockRange", [&](Session& s) {
        require(min && max, "No place for the range.");
        *min = s.camera.config.pixelClockMin;
        *max = s.camera.config.pixelClockMax;
        return CAM_SUCCESS;
    });
}

int32_t CamFrameTimeRange(uint32_t handle, double* min, double* max, double* interval)
{
    return onSession(handle, "CamFrameTimeRange", [&](Session& s) {
        require(min && max && interval, "No place for the range.");
        const kivo::SensorTiming t = s.timing();
        *min = t.minFrameTime();
        *max = t.maxFrameTime();
        *interval = t.frameTimeStep();
        return CAM_SUCCESS;
    });
}

int32_t CamFrameRate(uint32_t handle, double fps, double* actual)
{
    return onSession(handle, "CamFrameRate", [&](Session& s) {
        require(actual, "No place for the actual frame rate.");
        *actual = s.setFrameRate(fps);
        world().wakeFrameThread();
        return CAM_SUCCESS;
    });
}

int32_t CamCurrentFps(uint32_t handle, double* fps)
{
    return onSession(handle, "CamCurrentFps", [&](Session& s) {
        require(fps, "No place for the frame rate.");
        // Until two frames have come, the rate is the one the camera was set to.
        if (!s.capturing)
            *fps = 0.0;
        else if (!s.meter.measuring())
            *fps = 1.0 / s.frameTime;
        else
            *fps = s.meter.fps(kivo::FpsMeter::Clock::now(), s.frameTime);
        return CAM_SUCCESS;
    });
}

int32_t CamExposure(uint32_t handle, double exposure, double* actual)
{
    return onSession(handle, "CamExposure", [&](Session& s) {
        require(actual, "No place for the actual exposure.");
        *actual = s.setExposure(exposure);
        return CAM_SUCCESS;
    });
}

int32_t CamExposureRange(uint32_t handle, double* min, double* max, double* increment)
{
    return onSession(handle, "CamExposureRange", [&](Session& s) {
        require(min && max && increment, "No place for the range.");
        const kivo::SensorTiming t = s.timing();
        *min = t.minExposure();
        *max = t.maxExposure(s.frameTime);
        *increment = t.exposureStep();
        return CAM_SUCCESS;
    });
}

int32_t CamGain(uint32_t handle, int32_t master, int32_t red, int32_t green, int32_t blue)
{
    return onSession(handle, "CamGain", [&](Session& s) {
        if (master == CAM_GET_CURRENT)
            return int32_t(s.gains[0]);
        s.setGains(master, red, green, blue);
        return CAM_SUCCESS;
    });
}

int32_t CamEvent(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return world().call(handle, "CamEvent", command, [&](Lock& lock) {
        world().eventCommand(lock, handle, command, buffer, size);
        return CAM_SUCCESS;
    });
}

int32_t CamHotPixel(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return world().call(handle, "CamHotPixel", command, [&](Lock& lock) {
        kivo::runHotPixelCommand(lock, world().session(handle), command, buffer, size);
        return CAM_SUCCESS;
    });
}

} // namespace kivo::simulated
