#include "eventcommand.h"

#include "camerror.h"
#include "camstatus.h"
#include "kivo_api.h"

#include <cstring>
#include <string>
#include <vector>

namespace kivo {

namespace {

void require(bool ok, const char* what)
{
    if (!ok)
        throw CamError(StatusInvalidParameter, what);
}

} // namespace

void runEventCommand(EventHub& hub, std::unique_lock<std::mutex>& lock,
                     std::condition_variable& changed, uint32_t command, void* buffer,
                     uint32_t size)
{
    // An id list is capped so that a wrong size cannot walk far.
    constexpr uint32_t maxIds = 1024;
    switch (command) {
    case CAM_EVENT_INIT: {
        require(buffer && size == sizeof(CAM_EVENT_INIT_RECORD),
                "Registering an event takes a 12-byte record.");
        CAM_EVENT_INIT_RECORD record;
        std::memcpy(&record, buffer, sizeof record);
        if (record.manualReset != 0 || record.initialState != 0)
            throw CamError(StatusNotSupported,
                           "Only auto-reset events that start unsignalled are supported.");
        hub.registerEvent(record.id);
        break;
    }
    case CAM_EVENT_ENABLE:
    case CAM_EVENT_DISABLE: {
        require(buffer && size >= 4 && size % 4 == 0 && size / 4 <= maxIds,
                "An event list takes 4 bytes per id.");
        std::vector<uint32_t> ids(size / 4);
        std::memcpy(ids.data(), buffer, size);
        if (command == CAM_EVENT_ENABLE)
            hub.enable(ids);
        else
            hub.disable(ids);
        break;
    }
    case CAM_EVENT_SIGNAL: {
        require(buffer && size == 4, "Signalling takes one 4-byte id.");
        uint32_t id = 0;
        std::memcpy(&id, buffer, 4);
        hub.requireRegistered({id});
        if (hub.raise(id))
            changed.notify_all();
        break;
    }
    case CAM_EVENT_WAIT: {
        require(buffer && size == sizeof(CAM_EVENT_WAIT_RECORD), "Waiting takes a 24-byte record.");
        CAM_EVENT_WAIT_RECORD record;
        std::memcpy(&record, buffer, sizeof record);
        require(record.events && record.count >= 1 && record.count <= maxIds,
                "A wait needs 1 to 1024 event ids.");
        const std::vector<uint32_t> ids(record.events, record.events + record.count);
        const uint32_t signalled =
            hub.wait(lock, changed, ids, record.waitAll != 0, record.timeoutMs);
        std::memcpy(static_cast<char*>(buffer) + offsetof(CAM_EVENT_WAIT_RECORD, signalled),
                    &signalled, sizeof signalled);
        break;
    }
    default:
        throw CamError(StatusNotSupported,
                       "Unknown event command " + std::to_string(command) + ".");
    }
}

} // namespace kivo
