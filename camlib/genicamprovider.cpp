#include "genicamprovider.h"

#include "eventcommand.h"
#include "genicamhotpixelcommand.h"

#include "gvcpprobe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace kivo {

namespace {

using genicam::FoundCamera;

void require(bool ok, const char* what)
{
    if (!ok)
        throw CamError(StatusInvalidParameter, what);
}

template<size_t N>
void copyText(char (&to)[N], const std::string& from)
{
    const size_t n = std::min(from.size(), N - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

// Frame time steps for a rate feature: the seconds between two rates one
// increment apart, spread evenly over the frame time range.
double frameTimeStep(double minFps, double maxFps, double fpsStep)
{
    if (fpsStep <= 0.0 || maxFps <= minFps)
        return 0.0;
    const double steps = (maxFps - minFps) / fpsStep;
    return (1.0 / minFps - 1.0 / maxFps) / steps;
}

constexpr double microsecondsPerMs = 1000.0;

} // namespace

GenicamProvider::GenicamProvider(std::vector<std::string> addresses,
                                 std::function<void(uint32_t)> raiseEvent)
    : raiseLibraryEvent(std::move(raiseEvent))
    , directory(std::move(addresses),
                [this](const std::vector<uint32_t>& arrived, const std::vector<uint32_t>& gone) {
                    camerasChanged(arrived, gone);
                })
{}

void GenicamProvider::recordError(uint32_t handle, int32_t code, const std::string& text)
{
    errors.record(sessions.count(handle) ? handle : 0, code, text);
}

int32_t GenicamProvider::lastError(uint32_t handle, int32_t* code, char** text)
{
    if (!code || !text)
        return StatusInvalidParameter;
    Lock lock(mutex);
    return errors.report(handle, handle == 0 || sessions.count(handle), code, text);
}

GenicamSession& GenicamProvider::session(uint32_t handle)
{
    const auto it = sessions.find(handle);
    if (it == sessions.end())
        throw CamError(StatusInvalidHandle,
                       "Unknown camera handle " + std::to_string(handle) + ".");
    return *it->second;
}

void GenicamProvider::raise(GenicamSession& s, uint32_t id)
{
    if (s.events->raise(id))
        eventsChanged.notify_all();
}

uint32_t GenicamProvider::count() const
{
    return uint32_t(directory.cameras().size());
}

uint32_t GenicamProvider::list(CAM_CAMERA_INFO* records, uint32_t capacity)
{
    const std::vector<FoundCamera> cameras = directory.cameras();
    Lock lock(mutex);
    const uint32_t n = std::min(capacity, uint32_t(cameras.size()));
    for (uint32_t i = 0; i < n; ++i) {
        const FoundCamera& camera = cameras[i];
        const bool openHere = std::any_of(sessions.begin(), sessions.end(), [&](const auto& item) {
            return item.second->number == camera.number;
        });
        CAM_CAMERA_INFO info;
        std::memset(&info, 0, sizeof info);
        info.cameraId = firstDeviceId + camera.number;
        info.deviceId = firstDeviceId + camera.number;
        info.sensorId = sensorId;
        info.inUse = (openHere || camera.inUse) ? 1 : 0;
        copyText(info.serial, camera.serial);
        copyText(info.model, camera.model);
        std::memcpy(&records[i], &info, sizeof info);
    }
    return n;
}

FoundCamera GenicamProvider::cameraFor(uint32_t request) const
{
    const uint32_t id = request & ~uint32_t(CAM_USE_DEVICE_ID | CAM_ALLOW_FIRMWARE_UPLOAD);
    const std::vector<FoundCamera> cameras = directory.cameras();
    // Camera id 0 asks for the first camera that is free.
    const auto it = std::find_if(cameras.begin(), cameras.end(), [&](const FoundCamera& camera) {
        return id == 0 ? !camera.inUse : firstDeviceId + camera.number == id;
    });
    if (it == cameras.end())
        throw CamError(StatusNoSuchCamera,
                       "No camera with device id " + std::to_string(id) + " is connected.");
    return *it;
}

int32_t GenicamProvider::open(uint32_t* handle)
{
    return call(0, [&](Lock& lock) {
        const FoundCamera found = cameraFor(*handle);
        for (const auto& item : sessions) {
            if (item.second->number == found.number)
                throw CamError(StatusCameraInUse,
                               "Camera " + found.serial + " is already open in this program.");
        }
        // Asking first spares the seconds a refused control request takes.
        if (found.isGigE() && genicam::GvcpProbe(found.address).controlHeld().value_or(false))
            throw CamError(StatusCameraInUse,
                           "Camera " + found.serial + " is in use by another program.");
        // Opening talks to the camera; frames of other cameras go on meanwhile.
        lock.unlock();
        auto camera =
            std::make_unique<genicam::GenicamCamera>(directory.openDevice(found), found.serial);
        GenicamSession::Identity identity{camera->model(), camera->serial(), camera->version(),
                                          camera->maxSize(), camera->offersBayer()};
        lock.lock();
        uint32_t next = lastHandle;
        do
            next = (next + 1) % handleBit;
        while (next == 0 || sessions.count(next | handleBit));
        lastHandle = next;
        auto s = std::make_unique<GenicamSession>(next | handleBit, found.number, std::move(camera),
                                                  std::move(identity));
        s->area[2] = s->identity.maxSize.first;
        s->area[3] = s->identity.maxSize.second;
        *handle = s->handle;
        sessions[s->handle] = std::move(s);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::close(uint32_t handle)
{
    return call(handle, [&](Lock& lock) {
        stopCapture(lock, handle);
        GenicamSession& s = session(handle);
        s.events->close();
        eventsChanged.notify_all();
        std::unique_ptr<GenicamSession> closing = std::move(sessions.at(handle));
        sessions.erase(handle);
        errors.forget(handle);
        // Releasing the camera talks to it: not under the lock. One that has
        // vanished answers nothing, and Aravis waits out its retries: that
        // wait must not hold up the caller.
        if (closing->gone) {
            std::thread([vanished = std::move(closing)]() mutable { vanished.reset(); }).detach();
        } else {
            lock.unlock();
            closing.reset();
            lock.lock();
        }
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::sensorInfo(uint32_t handle, CAM_SENSOR_INFO* info)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(info, "No sensor record given.");
        std::memset(info, 0, sizeof *info);
        info->sensorId = uint16_t(sensorId);
        copyText(info->sensorName, s.identity.model);
        info->colorFilter = s.identity.bayer ? 1 : 0;
        info->maxWidth = uint32_t(s.identity.maxSize.first);
        info->maxHeight = uint32_t(s.identity.maxSize.second);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::deviceInfo(uint32_t handle, CAM_DEVICE_INFO* info)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(info, "No device record given.");
        std::memset(info, 0, sizeof *info);
        copyText(info->serial, s.identity.serial);
        copyText(info->model, s.identity.model);
        copyText(info->version, s.identity.version);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::colorMode(uint32_t handle, int32_t mode)
{
    return onSession(handle, [&](GenicamSession& s) {
        if (mode == CAM_GET_CURRENT)
            return int32_t(s.colorMode);
        if (mode != CAM_CM_BAYER_RAW8 && mode != CAM_CM_MONO8)
            throw CamError(StatusNotSupported,
                           "GenICam cameras deliver only 8-bit mono or raw Bayer images.");
        require(!s.capturing, "The colour mode cannot change during capture.");
        const bool bayer = s.connected().selectFormat(mode == CAM_CM_BAYER_RAW8);
        s.colorMode = bayer ? CAM_CM_BAYER_RAW8 : CAM_CM_MONO8;
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::imageArea(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return onSession(handle, [&](GenicamSession& s) {
        int32_t values[4] = {0, 0, 0, 0};
        switch (command) {
        case CAM_AOI_GET_MAX_SIZE: {
            require(buffer && size == 8, "The maximum size needs a buffer of 8 bytes.");
            values[0] = s.identity.maxSize.first;
            values[1] = s.identity.maxSize.second;
            std::memcpy(buffer, values, 8);
            break;
        }
        case CAM_AOI_SET:
            require(buffer && size == 16, "An image area needs a buffer of 16 bytes.");
            require(!s.capturing, "The image area cannot change during capture.");
            std::memcpy(values, buffer, 16);
            s.connected().setRegion(values[0], values[1], values[2], values[3]);
            std::copy(values, values + 4, s.area);
            break;
        default:
            throw CamError(StatusNotSupported,
                           "Unknown image area command " + std::to_string(command) + ".");
        }
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::allocBuffer(uint32_t handle, int32_t width, int32_t height,
                                     int32_t bitsPerPixel, char** address, int32_t* memoryId)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(address && memoryId, "No place for the address or the memory id.");
        const ImageBuffer& buffer = s.ring.allocate(width, height, bitsPerPixel);
        *address = buffer.address();
        *memoryId = buffer.memoryId;
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::freeBuffer(uint32_t handle, char* address, int32_t memoryId)
{
    return call(handle, [&](Lock& lock) {
        require(address, "No image memory given.");
        // The stream must hold no memory that goes away.
        stopCapture(lock, handle);
        session(handle).ring.release(address, memoryId);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::ringAdd(uint32_t handle, char* address, int32_t memoryId)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(address, "No image memory given.");
        s.ring.add(address, memoryId);
        if (s.capturing)
            s.lendFreeBuffers();
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::ringClear(uint32_t handle)
{
    return call(handle, [&](Lock& lock) {
        stopCapture(lock, handle);
        session(handle).ring.clear();
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::ringLatest(uint32_t handle, int32_t* memoryId, char** current, char** last)
{
    return onSession(handle, [&](GenicamSession& s) {
        const ImageBuffer* latest = s.ring.latest();
        if (!latest)
            throw CamError(StatusNoImage, "No image has been captured yet.");
        if (memoryId)
            *memoryId = latest->memoryId;
        // Which lent buffer the stream fills next is Aravis's business.
        if (current)
            *current = latest->address();
        if (last)
            *last = latest->address();
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::ringLock(uint32_t handle, int32_t memoryId, char* address)
{
    return onSession(handle, [&](GenicamSession& s) {
        s.lock(s.ring.inRing(memoryId, address));
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::ringUnlock(uint32_t handle, int32_t memoryId, char* address)
{
    return onSession(handle, [&](GenicamSession& s) {
        s.unlock(s.ring.inRing(memoryId, address));
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::startCapture(uint32_t handle)
{
    return onSession(handle, [&](GenicamSession& s) {
        if (s.capturing)
            return CAM_SUCCESS;
        if (s.ring.isEmpty())
            throw CamError(StatusNoImage, "Capture needs image memory in the ring.");
        const size_t payload = s.connected().payload();
        for (const ImageBuffer* buffer : s.ring.buffers()) {
            if (buffer->bytes() < payload)
                throw CamError(StatusInvalidParameter,
                               "The image memory is smaller than the camera's images (" +
                                   std::to_string(payload) + " bytes).");
        }
        s.stream = std::make_unique<genicam::FrameStream>(
            s.camera->arvCamera(), [this, handle](const char* block, bool complete) {
                blockReturned(handle, block, complete);
            });
        s.ring.markWritten(nullptr);
        s.capturing = true;
        s.meter.reset();
        // Without a rate feature the camera sets its own pace; the meter
        // measures it all the same.
        const genicam::NumericFeature& rate = s.connected().frameRate();
        s.frameTime = rate.exists() ? 1.0 / rate.value() : 1.0;
        s.lendFreeBuffers();
        s.connected().startAcquisition();
        return CAM_SUCCESS;
    });
}

void GenicamProvider::blockReturned(uint32_t handle, const char* block, bool complete)
{
    Lock lock(mutex);
    const auto it = sessions.find(handle);
    if (it == sessions.end())
        return;
    if (const uint32_t event = it->second->blockReturned(block, complete))
        raise(*it->second, event);
}

void GenicamProvider::stopCapture(Lock& lock, uint32_t handle)
{
    GenicamSession& s = session(handle);
    s.capturing = false;
    // Closing the stream of a vanished camera waits out the protocol's
    // retries; it goes with the session (see close).
    if (!s.stream || s.gone)
        return;
    std::unique_ptr<genicam::FrameStream> stream = std::move(s.stream);
    genicam::GenicamCamera& camera = *s.camera;
    lock.unlock();
    try {
        camera.stopAcquisition();
    } catch (const genicam::GenicamError&) {
        // The stream closes all the same.
    }
    stream.reset();
    lock.lock();
    session(handle).streamClosed();
}

int32_t GenicamProvider::stopCapture(uint32_t handle)
{
    return call(handle, [&](Lock& lock) {
        stopCapture(lock, handle);
        session(handle).meter.reset();
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::pixelClock(uint32_t handle, int32_t clock)
{
    return onSession(handle, [&](GenicamSession&) {
        // GenICam cameras have no pixel clock to choose: one fixed step.
        if (clock == CAM_GET_CURRENT || clock == CAM_GET_DEFAULT)
            return int32_t(1);
        if (clock != 1)
            throw CamError(StatusNotSupported, "GenICam cameras have no pixel clock to set.");
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::pixelClockRange(uint32_t handle, int32_t* min, int32_t* max)
{
    return onSession(handle, [&](GenicamSession&) {
        require(min && max, "No place for the range.");
        *min = 1;
        *max = 1;
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::frameTimeRange(uint32_t handle, double* min, double* max, double* interval)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(min && max && interval, "No place for the range.");
        const genicam::NumericFeature& rate = s.connected().frameRate();
        const auto [slowest, fastest] = rate.bounds();
        if (!(slowest > 0.0))
            throw CamError(StatusDeviceError, "The camera reports no usable frame rate range.");
        *min = 1.0 / fastest;
        *max = 1.0 / slowest;
        *interval = frameTimeStep(slowest, fastest, rate.increment());
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::frameRate(uint32_t handle, double fps, double* actual)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(actual, "No place for the actual frame rate.");
        require(std::isfinite(fps) && fps > 0.0, "A frame rate must be a positive number.");
        *actual = s.connected().setFrameRate(fps);
        s.frameTime = 1.0 / *actual;
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::currentFps(uint32_t handle, double* fps)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(fps, "No place for the frame rate.");
        // Until two frames have come, the rate is the one the camera was set to.
        if (!s.capturing)
            *fps = 0.0;
        else if (!s.meter.measuring())
            *fps = 1.0 / s.frameTime;
        else
            *fps = s.meter.fps(FpsMeter::Clock::now(), s.frameTime);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::exposure(uint32_t handle, double ms, double* actual)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(actual, "No place for the actual exposure.");
        require(!std::isnan(ms), "An exposure must be a number.");
        const genicam::NumericFeature& feature = s.connected().exposure();
        // The camera's own exposure is its starting one.
        const bool readOnly = ms == CAM_EXPOSURE_READ || ms == CAM_EXPOSURE_DEFAULT;
        *actual =
            (readOnly ? feature.value() : feature.set(ms * microsecondsPerMs)) / microsecondsPerMs;
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::exposureRange(uint32_t handle, double* min, double* max, double* increment)
{
    return onSession(handle, [&](GenicamSession& s) {
        require(min && max && increment, "No place for the range.");
        const genicam::NumericFeature& feature = s.connected().exposure();
        const auto [low, high] = feature.bounds();
        *min = low / microsecondsPerMs;
        *max = high / microsecondsPerMs;
        *increment = feature.increment() / microsecondsPerMs;
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::gain(uint32_t handle, int32_t master)
{
    return onSession(handle, [&](GenicamSession& s) {
        // Master gain 0 to 100 spans the camera's whole gain range; the
        // colour gains are left to the camera.
        const genicam::NumericFeature& feature = s.connected().gain();
        const auto [low, high] = feature.bounds();
        const double span = high - low;
        if (master == CAM_GET_CURRENT)
            return int32_t(span > 0.0 ? std::lround((feature.value() - low) * 100.0 / span) : 0);
        if (master == CAM_IGNORE_PARAMETER)
            return CAM_SUCCESS;
        require(master >= 0 && master <= 100, "A gain lies between 0 and 100.");
        feature.set(low + span * master / 100.0);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::event(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return call(handle, [&](Lock& lock) {
        // The hub stays alive while this thread waits, even if the handle closes.
        const std::shared_ptr<EventHub> hub = session(handle).events;
        runEventCommand(*hub, lock, eventsChanged, command, buffer, size);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::hotPixel(uint32_t handle, uint32_t command, void* buffer, uint32_t size)
{
    return onSession(handle, [&](GenicamSession& s) {
        runGenicamHotPixelCommand(s, command, buffer, size);
        return CAM_SUCCESS;
    });
}

int32_t GenicamProvider::duration(uint32_t handle)
{
    return onSession(handle, [&](GenicamSession&) -> int32_t {
        throw CamError(StatusNotSupported, "GenICam cameras take no firmware upload.");
    });
}

void GenicamProvider::camerasChanged(const std::vector<uint32_t>& arrived,
                                     const std::vector<uint32_t>& gone)
{
    {
        Lock lock(mutex);
        for (const auto& item : sessions) {
            GenicamSession& s = *item.second;
            if (!s.gone && std::find(gone.begin(), gone.end(), s.number) != gone.end()) {
                s.gone = true;
                raise(s, CAM_EV_DEVICE_REMOVED);
            }
        }
    }
    for (size_t i = 0; i < gone.size(); ++i)
        raiseLibraryEvent(CAM_EV_REMOVAL);
    for (size_t i = 0; i < arrived.size(); ++i)
        raiseLibraryEvent(CAM_EV_NEW_DEVICE);
}

} // namespace kivo
