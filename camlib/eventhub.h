#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace kivo {

// The events of one handle. An event is latched (auto-reset) only while it is
// registered and enabled, and a wait consumes it. Not locked itself: the
// library's mutex guards every call.
class EventHub
{
public:
    void registerEvent(uint32_t id);
    // Both throw CamError when an id is not registered; nothing changes then.
    void enable(const std::vector<uint32_t>& ids);
    void disable(const std::vector<uint32_t>& ids);

    // Latches id when it is registered and enabled; returns whether it did.
    bool raise(uint32_t id);
    bool isRegistered(uint32_t id) const { return events.count(id) != 0; }
    // Throws CamError naming the first id that is not registered.
    void requireRegistered(const std::vector<uint32_t>& ids) const;

    // Consumes the first latched id of ids (all of them with waitAll) and
    // returns true with it in signalled; false when the wait must go on.
    bool consume(const std::vector<uint32_t>& ids, bool waitAll, uint32_t& signalled);

    // Waits on changed, under the lock that guards this hub, until
    // consume succeeds; throws CamError for an unregistered id, a closed
    // handle or the timeout (CAM_EVENT_INFINITE waits without one).
    uint32_t wait(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                  const std::vector<uint32_t>& ids, bool waitAll, uint32_t timeoutMs);

    void dropPending();
    void close() { closed = true; }
    bool isClosed() const { return closed; }

private:
    struct State
    {
        bool enabled = false;
        bool latched = false;
    };

    std::map<uint32_t, State> events;
    bool closed = false;
};

} // namespace kivo
