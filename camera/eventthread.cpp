#include "eventthread.h"

#include "kivo_api.h"

#include <deque>
#include <mutex>
#include <stdexcept>

namespace {

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
    CamEvent(handle, CAM_EVENT_SIGNAL, &id, sizeof id);
}

void EventThread::run()
{
    CAM_EVENT_WAIT_RECORD record{events.data(), static_cast<uint32_t>(events.size()), 0,
                                 CAM_EVENT_INFINITE, 0};
    while (running) {
        if (CamEvent(handle, CAM_EVENT_WAIT, &record, sizeof record) != CAM_SUCCESS)
            continue;
        // stop() clears the flag before it signals, so the wake-up id itself
        // is never passed on.
        if (!running)
            break;
        emit eventhappen(record.signalled);
    }
    running = false;
    CamEvent(handle, CAM_EVENT_DISABLE, events.data(),
             static_cast<uint32_t>(events.size() * sizeof(uint32_t)));
}
