#include "eventthread.h"

#include "kivo_api.h"

#include <deque>
#include <mutex>
#include <stdexcept>

namespace {

constexpr int wakeAttempts = 3;

// The wake-up ids of the whole process. Ids are taken from and returned to
// the back, so the most recently freed id is handed out next.
class WakeIdPool
{
public:
    WakeIdPool()
    {
        for (uint32_t id = 10000; id < 10200; ++id)
            ids.push_back(id);
    }

    uint32_t take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (ids.empty())
            throw std::runtime_error("Too many events :D");
        const uint32_t id = ids.back();
        ids.pop_back();
        return id;
    }

    void giveBack(uint32_t id)
    {
        std::lock_guard<std::mutex> lock(mutex);
        ids.push_back(id);
    }

private:
    std::mutex mutex;
    std::deque<uint32_t> ids;
};

WakeIdPool& wakeIdPool()
{
    static WakeIdPool pool;
    return pool;
}

} // namespace

EventThread::EventThread(QObject* parent)
    : QThread(parent)
    , wakeId(wakeIdPool().take())
{}

EventThread::~EventThread()
{
    stop();
    wait();
    // Reads the body's last store to the flag, which orders the end of the
    // body before this object goes, also for the race detector, which cannot
    // see inside QThread::wait.
    static_cast<void>(running.load(std::memory_order_acquire));
    wakeIdPool().giveBack(wakeId);
}

int EventThread::initEvents(uint32_t handle, std::vector<uint32_t> numbers)
{
    this->handle = handle;
    events = std::move(numbers);
    events.push_back(wakeId);
    for (const uint32_t id : events) {
        CAM_EVENT_INIT_RECORD record{id, 0, 0};
        if (CamEvent(handle, CAM_EVENT_INIT, &record, sizeof record) != CAM_SUCCESS)
            return -1;
    }
    const int status = CamEvent(handle, CAM_EVENT_ENABLE, events.data(),
                                static_cast<uint32_t>(events.size() * sizeof(uint32_t)));
    if (status == CAM_SUCCESS) {
        running = true;
        start(QThread::InheritPriority);
    }
    return status;
}

void EventThread::stop()
{
    if (!running)
        return;
    running = false;
    uint32_t id = wakeId;
    // A refused wake-up is sent again: a thread left waiting would have to be
    // terminated inside the library.
    for (int attempt = 0; attempt < wakeAttempts; ++attempt) {
        if (CamEvent(handle, CAM_EVENT_SIGNAL, &id, sizeof id) == CAM_SUCCESS)
            return;
    }
}

void EventThread::run()
{
    // The body keeps its own copies: the GUI thread rewrites the members on
    // the next initEvents, and the join inside QThread::wait is invisible to
    // the race detector.
    const uint32_t waitHandle = handle;
    std::vector<uint32_t> ids = events;
    const auto bytes = static_cast<uint32_t>(ids.size() * sizeof(uint32_t));
    CAM_EVENT_WAIT_RECORD record{ids.data(), static_cast<uint32_t>(ids.size()), 0,
                                 CAM_EVENT_INFINITE, 0};
    while (running) {
        if (CamEvent(waitHandle, CAM_EVENT_WAIT, &record, sizeof record) != CAM_SUCCESS)
            continue;
        // stop() clears the flag before it signals, so the wake-up id itself
        // is never passed on.
        if (!running)
            break;
        emit eventhappen(record.signalled);
    }
    running = false;
    CamEvent(waitHandle, CAM_EVENT_DISABLE, ids.data(), bytes);
}
