#pragma once

#include "camerror.h"
#include "camstatus.h"
#include "errorbook.h"
#include "genicamsession.h"
#include "kivo_api.h"

#include "cameradirectory.h"
#include "genicamerror.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace kivo {

// The GenICam cameras' side of the library interface. Their device ids
// (also their camera ids) are 0x7000 to 0x7FFF, their handles have bit 20
// set, so neither meets the simulated cameras'. Device events on handle 0
// go to the simulated side, which serves that handle.
class GenicamProvider
{
public:
    static constexpr uint32_t firstDeviceId = 0x7000;
    static constexpr uint32_t handleBit = 0x100000;
    // In the camera and sensor records, so that no sensor entry of the
    // parameter file meets a GenICam camera.
    static constexpr uint32_t sensorId = 0xFFFF;

    static bool ownsDevice(uint32_t id)
    {
        return id >= firstDeviceId && id < firstDeviceId + genicam::CameraDirectory::maxCameras;
    }
    static bool ownsHandle(uint32_t handle) { return (handle & handleBit) != 0; }

    // addresses: the GigE Vision addresses to ask; empty searches with Aravis.
    GenicamProvider(std::vector<std::string> addresses,
                    std::function<void(uint32_t)> raiseLibraryEvent);

    uint32_t count() const;
    // Writes at most capacity records; returns how many it wrote.
    uint32_t list(CAM_CAMERA_INFO* records, uint32_t capacity);
    int32_t open(uint32_t* handle);
    int32_t close(uint32_t handle);
    int32_t lastError(uint32_t handle, int32_t* code, char** text);

    int32_t sensorInfo(uint32_t handle, CAM_SENSOR_INFO* info);
    int32_t deviceInfo(uint32_t handle, CAM_DEVICE_INFO* info);
    int32_t colorMode(uint32_t handle, int32_t mode);
    int32_t imageArea(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
    int32_t allocBuffer(uint32_t handle, int32_t width, int32_t height, int32_t bitsPerPixel,
                        char** address, int32_t* memoryId);
    int32_t freeBuffer(uint32_t handle, char* address, int32_t memoryId);
    int32_t ringAdd(uint32_t handle, char* address, int32_t memoryId);
    int32_t ringClear(uint32_t handle);
    int32_t ringLatest(uint32_t handle, int32_t* memoryId, char** current, char** last);
    int32_t ringLock(uint32_t handle, int32_t memoryId, char* address);
    int32_t ringUnlock(uint32_t handle, int32_t memoryId, char* address);
    int32_t startCapture(uint32_t handle);
    int32_t stopCapture(uint32_t handle);

    int32_t pixelClock(uint32_t handle, int32_t clock);
    int32_t pixelClockRange(uint32_t handle, int32_t* min, int32_t* max);
    int32_t frameTimeRange(uint32_t handle, double* min, double* max, double* interval);
    int32_t frameRate(uint32_t handle, double fps, double* actual);
    int32_t currentFps(uint32_t handle, double* fps);
    int32_t exposure(uint32_t handle, double exposure, double* actual);
    int32_t exposureRange(uint32_t handle, double* min, double* max, double* increment);
    int32_t gain(uint32_t handle, int32_t master);

    int32_t event(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
    int32_t hotPixel(uint32_t handle, uint32_t command, void* buffer, uint32_t size);
    // The firmware of a GenICam camera is never uploaded.
    int32_t duration(uint32_t handle);

private:
    using Lock = std::unique_lock<std::mutex>;

    template<class Op>
    int32_t call(uint32_t handle, Op&& op)
    {
        Lock lock(mutex);
        // op may fail while it has let the lock go to talk to a camera.
        auto fail = [&](int32_t status, const std::string& text) {
            if (!lock.owns_lock())
                lock.lock();
            recordError(handle, status, text);
            return status;
        };
        try {
            return op(lock);
        } catch (const CamError& e) {
            return fail(e.status(), e.what());
        } catch (const genicam::GenicamError& e) {
            return fail(StatusDeviceError, e.what());
        } catch (const std::bad_alloc&) {
            return fail(StatusOutOfMemory, "Out of memory.");
        }
    }

    // The calls that touch one open camera.
    template<class Op>
    int32_t onSession(uint32_t handle, Op&& op)
    {
        return call(handle, [&](Lock&) { return op(session(handle)); });
    }

    GenicamSession& session(uint32_t handle);
    genicam::FoundCamera cameraFor(uint32_t request) const;
    void recordError(uint32_t handle, int32_t code, const std::string& text);
    void camerasChanged(const std::vector<uint32_t>& arrived, const std::vector<uint32_t>& gone);
    void blockReturned(uint32_t handle, const char* block, bool complete);
    // Stops the stream outside the lock, whose thread takes it.
    void stopCapture(Lock& lock, uint32_t handle);
    void raise(GenicamSession& s, uint32_t id);

    const std::function<void(uint32_t)> raiseLibraryEvent;
    mutable std::mutex mutex;
    std::condition_variable eventsChanged;
    std::map<uint32_t, std::unique_ptr<GenicamSession>> sessions;
    ErrorBook errors;
    uint32_t lastHandle = 0;
    // Last: its thread calls back into the members above.
    genicam::CameraDirectory directory;
};

} // namespace kivo
