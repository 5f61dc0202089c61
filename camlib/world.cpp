#include "world.h"

#include "atomicfile.h"
#include "cameralock.h"
#include "controlserver.h"
#include "eepromstore.h"
#include "eventcommand.h"
#include "worldconfig.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string_view>

namespace kivo {

namespace {

using Clock = FpsMeter::Clock;

Clock::duration seconds(double s)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

// Handles stay below CAM_USE_DEVICE_ID, so that CamDuration can tell an open
// handle from a device id with that flag.
constexpr uint32_t maxHandle = CAM_USE_DEVICE_ID - 1;

} // namespace

World& World::instance()
{
    static World* const world = new World();
    static std::once_flag server;
    std::call_once(server, startControlServer);
    return *world;
}

World::World()
{
    // Temporaries of writers killed in an earlier run.
    AtomicFile::removeStaleTemporaries(EepromStore::directory());
    for (const CameraConfig& config : WorldConfig::fromEnvironment())
        cameras.push_back(std::make_unique<SimCamera>(config));
}

void World::recordError(uint32_t handle, int32_t code, const std::string& text)
{
    const uint32_t key = sessions.count(handle) ? handle : 0;
    errors.record(key, code, text);
}

void World::requireDevice(uint32_t handle, const char* operation) const
{
    // Image memory, the ring, events and the driver's own list live in the
    // computer; everything else asks the camera. CamHotPixel decides per command.
    static const std::set<std::string_view> deviceCalls = {
        "CamSensorInfo",     "CamDeviceInfo",  "CamColorMode",  "CamImageArea",
        "CamStartCapture",   "CamStopCapture", "CamPixelClock", "CamPixelClockRange",
        "CamFrameTimeRange", "CamFrameRate",   "CamCurrentFps", "CamExposure",
        "CamExposureRange",  "CamGain"};
    const auto open = sessions.find(handle);
    if (open == sessions.end() || open->second->camera.plugged || !deviceCalls.count(operation))
        return;
    throw CamError(StatusCameraRemoved,
                   "Camera " + open->second->camera.config.serial + " is not connected.");
}

int32_t World::lastError(uint32_t handle, int32_t* code, char** text)
{
    if (!code || !text)
        return StatusInvalidParameter;
    Lock lock(mutex);
    return errors.report(handle, handle == 0 || sessions.count(handle), code, text);
}

std::vector<SimCamera*> World::connectedCameras() const
{
    std::vector<SimCamera*> result;
    for (const auto& camera : cameras) {
        if (camera->plugged)
            result.push_back(camera.get());
    }
    return result;
}

SimCamera& World::cameraForDuration(uint32_t handleOrDevice)
{
    const auto open = sessions.find(handleOrDevice);
    if (open != sessions.end())
        return open->second->camera;
    if (handleOrDevice & CAM_USE_DEVICE_ID) {
        const uint32_t device =
            handleOrDevice & ~uint32_t(CAM_USE_DEVICE_ID | CAM_ALLOW_FIRMWARE_UPLOAD);
        for (const auto& camera : cameras) {
            if (camera->config.deviceId == device && camera->plugged)
                return *camera;
        }
        throw CamError(StatusNoSuchCamera,
                       "No camera with device id " + std::to_string(device) + " is connected.");
    }
    throw CamError(StatusInvalidHandle,
                   "Unknown camera handle " + std::to_string(handleOrDevice) + ".");
}

Session& World::session(uint32_t handle)
{
    const auto it = sessions.find(handle);
    if (it == sessions.end())
        throw CamError(StatusInvalidHandle,
                       "Unknown camera handle " + std::to_string(handle) + ".");
    return *it->second;
}

std::shared_ptr<EventHub> World::events(uint32_t handle)
{
    return handle == 0 ? libraryEvents : session(handle).events;
}

SimCamera& World::camera(const char* serial)
{
    if (!serial)
        throw std::invalid_argument("no serial number given");
    for (const auto& camera : cameras) {
        if (camera->config.serial == serial)
            return *camera;
    }
    throw std::invalid_argument("no camera with serial number \"" + std::string(serial) + "\"");
}

Session& World::openSession(SimCamera& camera)
{
    if (!camera.openHandle)
        throw std::invalid_argument("camera " + camera.config.serial + " is not open");
    return *sessions.at(camera.openHandle);
}

uint32_t World::newHandle() const
{
    uint32_t handle = lastHandle;
    do
        handle = handle % maxHandle + 1;
    while (sessions.count(handle));
    return handle;
}

uint32_t World::open(uint32_t request)
{
    const uint32_t flags = CAM_USE_DEVICE_ID | CAM_ALLOW_FIRMWARE_UPLOAD;
    const uint32_t id = request & ~flags;
    if (id > maxHandle)
        throw CamError(StatusInvalidParameter,
                       "Bad camera request " + std::to_string(request) + ".");
    SimCamera* camera = nullptr;
    for (SimCamera* candidate : connectedCameras()) {
        const bool byDevice = request & CAM_USE_DEVICE_ID;
        // Camera id 0 asks for the first camera that is free.
        const bool matches = byDevice  ? candidate->config.deviceId == id
                             : id == 0 ? !candidate->inUse()
                                       : candidate->config.cameraId == id;
        if (matches) {
            camera = candidate;
            break;
        }
    }
    if (!camera)
        throw CamError(StatusNoSuchCamera,
                       std::string("No ") +
                           (request & CAM_USE_DEVICE_ID ? "camera with device id "
                                                        : "camera with camera id ") +
                           std::to_string(id) + " is connected.");
    const std::string& serial = camera->config.serial;
    if (camera->openHandle)
        throw CamError(StatusCameraInUse, "Camera " + serial + " is already open in this program.");
    if (camera->inUseElsewhere)
        throw CamError(StatusCameraInUse, "Camera " + serial + " is in use by another program.");
    if (camera->firmwareNeeded) {
        if (!(request & CAM_ALLOW_FIRMWARE_UPLOAD))
            throw CamError(CAM_FIRMWARE_UPLOAD_NEEDED,
                           "Camera " + serial +
                               " needs a firmware upload before it can be opened.");
        camera->firmwareNeeded = false;
    }
    const uint32_t handle = newHandle();
    sessions[handle] = std::make_unique<Session>(handle, *camera);
    lastHandle = handle;
    camera->openHandle = handle;
    camera->framesProduced = 0;
    camera->framesDropped = 0;
    camera->reloadEeprom();
    return handle;
}

void World::close(Lock& lock, uint32_t handle)
{
    // A write under way on another thread finishes first.
    eepromIdle.wait(lock, [&] { return !session(handle).camera.eepromBusy; });
    session(handle).capturing = false;
    Session& s = waitForFrame(lock, handle);
    s.events->close();
    eventsChanged.notify_all();
    s.camera.openHandle = 0;
    errors.forget(handle);
    sessions.erase(handle);
}

void World::raise(EventHub& hub, uint32_t id)
{
    if (hub.raise(id))
        eventsChanged.notify_all();
}

void World::eventCommand(Lock& lock, uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    // The hub stays alive while this thread waits, even if the handle closes.
    const std::shared_ptr<EventHub> hub = events(handle);
    runEventCommand(*hub, lock, eventsChanged, command, buffer, size);
}

void World::startCapture(Session& s)
{
    if (s.ring.isEmpty())
        throw CamError(StatusNoImage, "Capture needs image memory in the ring.");
    if (s.capturing)
        return;
    s.capturing = true;
    s.meter.reset();
    s.nextDue = Clock::now() + seconds(s.frameTime);
    if (!frameThread.joinable())
        frameThread = std::thread(&World::runFrames, this);
    frameWake.notify_all();
}

void World::stopCapture(Lock& lock, Session& s, bool wait)
{
    s.capturing = false;
    s.meter.reset();
    if (wait)
        waitForFrame(lock, s.handle);
}

Session& World::waitForFrame(Lock& lock, uint32_t handle)
{
    frameDone.wait(lock, [this, handle] {
        const auto it = sessions.find(handle);
        return it == sessions.end() || !it->second->inFlight;
    });
    return session(handle);
}

void World::deliverFrame(Lock& lock, Session& s, const uint8_t* pixels)
{
    SimCamera& camera = s.camera;
    if (camera.pendingFailures > 0) {
        --camera.pendingFailures;
        raise(*s.events, CAM_EV_CAPTURE_FAILED);
        return;
    }
    ImageBuffer* target = s.ring.nextTarget();
    // With every buffer locked the camera has nowhere to put the frame: it is
    // lost, and reported as a failed capture.
    if (!target) {
        ++camera.framesDropped;
        raise(*s.events, CAM_EV_CAPTURE_FAILED);
        return;
    }
    if (target->width != s.area[2] || target->height != s.area[3] ||
        target->bitsPerPixel != s.bitsPerPixel()) {
        raise(*s.events, CAM_EV_CAPTURE_FAILED);
        return;
    }
    PixelList corrected;
    const FrameRequest request = s.frameRequest(corrected);
    s.inFlight = target;
    uint8_t* out = target->pixels.get();
    const size_t bytes = target->bytes();
    lock.unlock();
    if (pixels)
        std::memcpy(out, pixels, bytes);
    else
        s.renderer.render(request, out);
    lock.lock();
    s.inFlight = nullptr;
    frameDone.notify_all();
    // The frame thread skips a session with a frame in flight; it may be due now.
    frameWake.notify_all();
    // Capture may have stopped, or the ring changed, while the frame was drawn.
    if (!s.capturing || !camera.plugged || !s.ring.contains(target))
        return;
    s.ring.markWritten(target);
    ++s.frameNumber;
    ++camera.framesProduced;
    s.meter.frame(Clock::now());
    raise(*s.events, CAM_EV_FRAME);
}

void World::runFrames()
{
    Lock lock(mutex);
    for (;;) {
        Session* due = nullptr;
        for (const auto& item : sessions) {
            Session& s = *item.second;
            if (s.producesFrames() && (!due || s.nextDue < due->nextDue))
                due = &s;
        }
        if (!due) {
            frameWake.wait(lock);
            continue;
        }
        const auto now = Clock::now();
        // A copy: the session may close while this thread waits.
        const Clock::time_point when = due->nextDue;
        if (now < when) {
            frameWake.wait_until(lock, when);
            continue;
        }
        // Keep the rate without bursts after a stall.
        due->nextDue += seconds(due->frameTime);
        if (due->nextDue < now)
            due->nextDue = now + seconds(due->frameTime);
        deliverFrame(lock, *due, nullptr);
    }
}

void World::writeEeprom(Lock& lock, SimCamera& camera, const PixelList& list)
{
    if (camera.eepromBusy)
        throw CamError(StatusCameraInUse,
                       "The EEPROM of camera " + camera.config.serial + " is being written.");
    camera.eepromBusy = true;
    try {
        camera.writeEeprom(list, [&](std::chrono::duration<double, std::milli> time) {
            lock.unlock();
            std::this_thread::sleep_for(time);
            lock.lock();
            if (!camera.plugged)
                throw CamError(StatusCameraRemoved, "Camera " + camera.config.serial +
                                                        " was unplugged during the EEPROM write.");
        });
    } catch (...) {
        camera.eepromBusy = false;
        eepromIdle.notify_all();
        throw;
    }
    camera.eepromBusy = false;
    eepromIdle.notify_all();
}

void World::loadWorld(Lock& lock, const std::vector<CameraConfig>& specs)
{
    eepromIdle.wait(lock, [this] {
        return std::none_of(cameras.begin(), cameras.end(),
                            [](const auto& camera) { return camera->eepromBusy; });
    });
    while (!sessions.empty())
        close(lock, sessions.begin()->first);
    libraryEvents->dropPending();
    faults.clear();
    errors.clear();
    cameras.clear();
    for (const CameraConfig& config : specs)
        cameras.push_back(std::make_unique<SimCamera>(config));
}

void World::setPlugged(SimCamera& camera, bool plugged)
{
    if (camera.plugged == plugged)
        return;
    camera.plugged = plugged;
    raise(*libraryEvents, plugged ? CAM_EV_NEW_DEVICE : CAM_EV_REMOVAL);
    if (!camera.openHandle)
        return;
    Session& s = *sessions.at(camera.openHandle);
    raise(*s.events, plugged ? CAM_EV_DEVICE_RECONNECTED : CAM_EV_DEVICE_REMOVED);
    if (plugged) {
        s.nextDue = Clock::now() + seconds(s.frameTime);
        frameWake.notify_all();
    }
}

} // namespace kivo
