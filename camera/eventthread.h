#pragma once

#include <QThread>

#include <atomic>
#include <cstdint>
#include <vector>

// Waits inside the camera library for any of a list of event numbers on one
// handle and re-emits each as eventhappen. A waiting thread is stopped by
// signalling its own wake-up id, taken from a process-wide pool of 200
// numbers (10000 to 10199) and returned to it on destruction.
class EventThread : public QThread
{
    Q_OBJECT

public:
    // Throws std::runtime_error "Too many events :D" when the pool is empty.
    explicit EventThread(QObject* parent = nullptr);
    // Stops the thread if it runs, waits for it without limit and gives the
    // wake-up id back to the pool.
    ~EventThread() override;

    // Registers and enables numbers plus the wake-up id on handle and starts
    // the thread. Returns 0, -1 when a registration failed, or the status of
    // enabling; on failure the thread is not started.
    int initEvents(uint32_t handle, std::vector<uint32_t> numbers);
    // Asks a started thread to leave its wait; does not wait for it.
    void stop();

    uint32_t wakeupId() const { return wakeId; }

signals:
    void eventhappen(uint event);

protected:
    void run() override;

private:
    uint32_t handle = 0;
    std::vector<uint32_t> events;
    // Written in the GUI thread, read by the waiting thread.
    std::atomic<bool> running{false};
    uint32_t wakeId = 0;
};
