#include "eventhub.h"

#include "camerror.h"
#include "camstatus.h"
#include "kivo_api.h"

#include <algorithm>
#include <chrono>

namespace kivo {

void EventHub::registerEvent(uint32_t id)
{
    events.emplace(id, State());
}

void EventHub::requireRegistered(const std::vector<uint32_t>& ids) const
{
    for (uint32_t id : ids) {
        if (!isRegistered(id))
            throw CamError(StatusEventNotRegistered,
                           "Event " + std::to_string(id) + " is not registered.");
    }
}

void EventHub::enable(const std::vector<uint32_t>& ids)
{
    requireRegistered(ids);
    for (uint32_t id : ids)
        events[id].enabled = true;
}

void EventHub::disable(const std::vector<uint32_t>& ids)
{
    requireRegistered(ids);
    for (uint32_t id : ids)
        events[id] = State();
}

bool EventHub::raise(uint32_t id)
{
    const auto it = events.find(id);
    if (it == events.end() || !it->second.enabled)
        return false;
    it->second.latched = true;
    return true;
}

bool EventHub::consume(const std::vector<uint32_t>& ids, bool waitAll, uint32_t& signalled)
{
    auto latched = [this](uint32_t id) {
        const auto it = events.find(id);
        return it != events.end() && it->second.latched;
    };
    if (waitAll) {
        if (!std::all_of(ids.begin(), ids.end(), latched))
            return false;
        for (uint32_t id : ids)
            events[id].latched = false;
        signalled = ids.front();
        return true;
    }
    const auto it = std::find_if(ids.begin(), ids.end(), latched);
    if (it == ids.end())
        return false;
    events[*it].latched = false;
    signalled = *it;
    return true;
}

uint32_t EventHub::wait(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                        const std::vector<uint32_t>& ids, bool waitAll, uint32_t timeoutMs)
{
    requireRegistered(ids);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    uint32_t signalled = 0;
    for (;;) {
        if (consume(ids, waitAll, signalled))
            return signalled;
        if (isClosed())
            throw CamError(StatusHandleClosed, "The handle was closed during the wait.");
        if (timeoutMs == CAM_EVENT_INFINITE) {
            changed.wait(lock);
        } else if (changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (consume(ids, waitAll, signalled))
                return signalled;
            throw CamError(StatusTimeout, "No event within " + std::to_string(timeoutMs) + " ms.");
        }
    }
}

void EventHub::dropPending()
{
    for (auto& item : events)
        item.second.latched = false;
}

} // namespace kivo
