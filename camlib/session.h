#pragma once

#include "cameralock.h"
#include "eventhub.h"
#include "fpsmeter.h"
#include "framerenderer.h"
#include "imagering.h"
#include "sensortiming.h"
#include "simcamera.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace kivo {

// A camera opened through CamOpen: its image memory, capture state and
// settings. Guarded by the library's mutex, except the renderer, which only
// the thread producing the frame in flight touches.
class Session
{
public:
    // Throws CamError(StatusCameraInUse) when another program holds the camera.
    Session(uint32_t handle, SimCamera& camera);

    SensorTiming timing() const;

    void setColorMode(int mode);
    void setArea(int x, int y, int width, int height);
    void setPixelClock(int clock);
    // Each returns the value now in force.
    double setFrameRate(double fps);
    double setExposure(double ms);
    void setGains(int master, int red, int green, int blue);

    int bitsPerPixel() const { return FrameRenderer::bitsPerPixel(colorMode); }
    size_t frameBytes() const;
    // The correction list is copied into corrected, which the request points to.
    FrameRequest frameRequest(PixelList& corrected) const;
    // Capturing, connected and not fed by hand: the frame thread's business.
    bool producesFrames() const;
    // The buffer the camera is writing, or will write its next frame into
    // while it captures, unless that holds the latest image; null when none.
    const ImageBuffer* fillingBuffer() const;
    // Throws CamError(StatusBufferBusy) for the buffer the camera fills.
    void lockBuffer(int32_t memoryId, const char* address);

    const uint32_t handle;
    SimCamera& camera;
    // Held for as long as the camera is open here.
    const CameraLock reservation;
    const std::shared_ptr<EventHub> events = std::make_shared<EventHub>();
    ImageRing ring;
    FrameRenderer renderer;
    FpsMeter meter;

    int colorMode;
    int area[4];
    int pixelClock;
    double frameTime;
    double exposureMs;
    int gains[4] = {0, 0, 0, 0};
    bool capturing = false;
    // CAM_HP_DISABLE, CAM_HP_MODE_SOFTWARE or CAM_HP_MODE_CAMERA.
    int correction = 0;
    std::optional<PixelList> driverList;

    // The buffer being written outside the lock, or null.
    const ImageBuffer* inFlight = nullptr;
    uint64_t frameNumber = 0;
    FpsMeter::Clock::time_point nextDue;

private:
    void rebound();
};

} // namespace kivo
