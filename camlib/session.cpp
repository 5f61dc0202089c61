#include "session.h"

#include "camerror.h"
#include "camstatus.h"
#include "kivo_api.h"

#include <cmath>

namespace kivo {

Session::Session(uint32_t sessionHandle, SimCamera& simCamera)
    : handle(sessionHandle)
    , camera(simCamera)
    , reservation(simCamera.config.serial)
    , colorMode(camera.config.forcedColorMode >= 0 ? camera.config.forcedColorMode
                : camera.config.bayer              ? CAM_CM_BAYER_RAW8
                                                   : CAM_CM_MONO8)
    , area{0, 0, camera.config.width, camera.config.height}
    , pixelClock(camera.config.pixelClockInitial)
{
    const SensorTiming t = timing();
    frameTime = t.minFrameTime();
    exposureMs = t.snapExposure(camera.config.startExposureMs, frameTime);
}

SensorTiming Session::timing() const
{
    return SensorTiming(camera.config, area[2], area[3], pixelClock);
}

void Session::rebound()
{
    const SensorTiming t = timing();
    frameTime = t.snapFrameTime(frameTime);
    exposureMs = t.snapExposure(exposureMs, frameTime);
}

void Session::setColorMode(int mode)
{
    if (mode != CAM_CM_RGB32 && mode != CAM_CM_MONO8 && mode != CAM_CM_BAYER_RAW8)
        throw CamError(StatusNotSupported,
                       "Colour mode " + std::to_string(mode) + " is not supported.");
    if (camera.config.forcedColorMode >= 0)
        colorMode = camera.config.forcedColorMode;
    else if (!camera.config.bayer && mode == CAM_CM_BAYER_RAW8)
        colorMode = CAM_CM_MONO8;
    else
        colorMode = mode;
}

void Session::setArea(int x, int y, int width, int height)
{
    if (x < 0 || y < 0 || width < 1 || height < 1 || x > camera.config.width - width ||
        y > camera.config.height - height)
        throw CamError(StatusInvalidParameter, "The image area " + std::to_string(width) + "x" +
                                                   std::to_string(height) + " at " +
                                                   std::to_string(x) + "," + std::to_string(y) +
                                                   " does not fit the sensor.");
    area[0] = x;
    area[1] = y;
    area[2] = width;
    area[3] = height;
    rebound();
}

void Session::setPixelClock(int clock)
{
    if (clock < camera.config.pixelClockMin || clock > camera.config.pixelClockMax)
        throw CamError(StatusInvalidParameter,
                       "Pixel clock " + std::to_string(clock) + " lies outside " +
                           std::to_string(camera.config.pixelClockMin) + " to " +
                           std::to_string(camera.config.pixelClockMax) + " MHz.");
    pixelClock = clock;
    rebound();
}

double Session::setFrameRate(double fps)
{
    if (!std::isfinite(fps) || fps <= 0.0)
        throw CamError(StatusInvalidParameter, "A frame rate must be a positive number.");
    const double previous = frameTime;
    const SensorTiming t = timing();
    frameTime = t.snapFrameTime(1.0 / fps);
    exposureMs = t.snapExposure(exposureMs, frameTime);
    // A shorter frame time takes effect with the next frame, not after the
    // old, longer one.
    if (frameTime < previous)
        nextDue = std::min(nextDue, FpsMeter::Clock::now() +
                                        std::chrono::duration_cast<FpsMeter::Clock::duration>(
                                            std::chrono::duration<double>(frameTime)));
    return 1.0 / frameTime;
}

double Session::setExposure(double ms)
{
    if (std::isnan(ms))
        throw CamError(StatusInvalidParameter, "An exposure must be a number.");
    if (ms == CAM_EXPOSURE_READ)
        return exposureMs;
    const SensorTiming t = timing();
    exposureMs =
        t.snapExposure(ms == CAM_EXPOSURE_DEFAULT ? camera.config.startExposureMs : ms, frameTime);
    return exposureMs;
}

void Session::setGains(int master, int red, int green, int blue)
{
    const int values[4] = {master, red, green, blue};
    for (int v : values) {
        if (v != CAM_IGNORE_PARAMETER && (v < 0 || v > 100))
            throw CamError(StatusInvalidParameter,
                           "Gain " + std::to_string(v) + " lies outside 0 to 100.");
    }
    for (int i = 0; i < 4; ++i) {
        if (values[i] != CAM_IGNORE_PARAMETER)
            gains[i] = values[i];
    }
}

size_t Session::frameBytes() const
{
    return size_t(area[2]) * size_t(area[3]) * size_t(bitsPerPixel() / 8);
}

FrameRequest Session::frameRequest(PixelList& corrected) const
{
    corrected.clear();
    if (correction != CAM_HP_DISABLE) {
        corrected = camera.config.factoryList;
        const PixelList& user = camera.eepromSnapshot();
        corrected.insert(corrected.end(), user.begin(), user.end());
        if (correction == CAM_HP_MODE_SOFTWARE && driverList)
            corrected.insert(corrected.end(), driverList->begin(), driverList->end());
    }
    FrameRequest r;
    r.areaX = area[0];
    r.areaY = area[1];
    r.width = area[2];
    r.height = area[3];
    r.colorMode = colorMode;
    r.bayerSensor = camera.config.bayer;
    r.covered = camera.covered;
    r.exposureMs = exposureMs;
    r.masterGain = gains[0];
    r.redGain = gains[1];
    r.greenGain = gains[2];
    r.blueGain = gains[3];
    r.frameNumber = frameNumber;
    r.hotPixels = &camera.hotPixels;
    r.corrected = &corrected;
    return r;
}

const ImageBuffer* Session::fillingBuffer() const
{
    if (inFlight)
        return inFlight;
    // With every other buffer locked the camera would overwrite the latest
    // image, but a lock on it comes first.
    const ImageBuffer* next = capturing && camera.plugged ? ring.nextTarget() : nullptr;
    return next == ring.latest() ? nullptr : next;
}

void Session::lockBuffer(int32_t memoryId, const char* address)
{
    ImageBuffer& buffer = ring.inRing(memoryId, address);
    if (&buffer == fillingBuffer())
        throw CamError(StatusBufferBusy, "The image memory is being filled by the camera.");
    buffer.locked = true;
}

bool Session::producesFrames() const
{
    return capturing && camera.plugged && !camera.manualFrames && !inFlight && !ring.isEmpty();
}

} // namespace kivo
