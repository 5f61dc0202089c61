#pragma once

#include "cameraconfig.h"
#include "camerror.h"
#include "camstatus.h"
#include "errorbook.h"
#include "eventhub.h"
#include "faulttable.h"
#include "kivo_api.h"
#include "session.h"
#include "simcamera.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kivo {

// The simulated cameras, the open sessions and the library's events: the one
// state behind both C interfaces, guarded by one mutex. Frames are drawn
// outside the mutex by the frame thread or a KivoSimDeliverFrame caller.
class World
{
public:
    using Lock = std::unique_lock<std::mutex>;

    // Loads the world of KIVO_SIM_CONFIG (or the default) on the first call.
    // The world lives until the process ends, so that threads still waiting
    // in the library at exit never meet a destroyed mutex.
    static World& instance();

    // Runs op(lock) under the mutex. An injected fault, or a CamError thrown by
    // op, becomes the returned status and the handle's last error.
    template<class Op>
    int32_t call(uint32_t handle, const char* operation, std::optional<uint32_t> command, Op&& op)
    {
        Lock lock(mutex);
        if (const int32_t injected = faults.take(operation, command)) {
            recordError(handle, injected,
                        "Simulated failure of " + std::string(operation) + " (status " +
                            std::to_string(injected) + ").");
            return injected;
        }
        try {
            requireDevice(handle, operation);
            return op(lock);
        } catch (const CamError& e) {
            recordError(handle, e.status(), e.what());
            return e.status();
        } catch (const std::bad_alloc&) {
            recordError(handle, StatusOutOfMemory, "Out of memory.");
            return StatusOutOfMemory;
        }
    }

    // Runs op(lock) under the mutex for the control interface.
    template<class Op>
    auto control(Op&& op)
    {
        Lock lock(mutex);
        return op(lock);
    }

    int32_t lastError(uint32_t handle, int32_t* code, char** text);

    // Cameras and sessions; each throws CamError when there is none.
    std::vector<SimCamera*> connectedCameras() const;
    SimCamera& cameraForDuration(uint32_t handleOrDevice);
    Session& session(uint32_t handle);
    std::shared_ptr<EventHub> events(uint32_t handle);
    // For the control interface; throws std::invalid_argument.
    SimCamera& camera(const char* serial);
    Session& openSession(SimCamera& camera);

    uint32_t open(uint32_t request);
    void close(Lock& lock, uint32_t handle);

    void raise(EventHub& hub, uint32_t id);
    // CamEvent on the handle's events.
    void eventCommand(Lock& lock, uint32_t handle, uint32_t command, void* buffer, uint32_t size);

    void startCapture(Session& session);
    void stopCapture(Lock& lock, Session& session, bool wait);
    // Waits until no frame is being written into the session's memory and
    // returns the session, which another thread may have closed meanwhile
    // (CamError then). References into it taken before are stale.
    Session& waitForFrame(Lock& lock, uint32_t handle);
    // A new frame rate or the return of a camera changes the frame thread's plan.
    void wakeFrameThread() { frameWake.notify_all(); }

    // Produces one frame of the session in the calling thread; pixels, when
    // given, are the image's exact bytes.
    void deliverFrame(Lock& lock, Session& session, const uint8_t* pixels);

    // Programs the camera's EEPROM with the library unlocked while each page
    // programs, so that an unplug can cut the write off (CamError then).
    void writeEeprom(Lock& lock, SimCamera& camera, const PixelList& list);

    void loadWorld(Lock& lock, const std::vector<CameraConfig>& specs);
    void setPlugged(SimCamera& camera, bool plugged);

    FaultTable& faultTable() { return faults; }

private:
    World();

    void recordError(uint32_t handle, int32_t code, const std::string& text);
    // Throws CamError(StatusCameraRemoved) when the operation needs the camera
    // itself and the camera of the open handle is unplugged.
    void requireDevice(uint32_t handle, const char* operation) const;
    uint32_t newHandle() const;
    void runFrames();

    std::mutex mutex;
    std::condition_variable eventsChanged;
    std::condition_variable frameDone;
    std::condition_variable frameWake;
    std::condition_variable eepromIdle;

    std::vector<std::unique_ptr<SimCamera>> cameras;
    std::map<uint32_t, std::unique_ptr<Session>> sessions;
    const std::shared_ptr<EventHub> libraryEvents = std::make_shared<EventHub>();
    FaultTable faults;
    ErrorBook errors;
    uint32_t lastHandle = 0;
    std::thread frameThread;
};

} // namespace kivo
