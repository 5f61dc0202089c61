#include "eventthread.h"

#include "kivo_control.h"
#include "testutils.h"

#include <QTest>

#include <memory>
#include <utility>
#include <vector>

class TestEventThread : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void wakeupIdPool();
    void deliversEventsUntilStopped();
    void failedSetupDoesNotStartOrStop();

private:
    TestUtils::IsolatedEnvironment environment;
};

void TestEventThread::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    KivoSimClearFaults();
}

void TestEventThread::wakeupIdPool()
{
    // Runs first: the pool is as the program starts.
    std::vector<std::unique_ptr<EventThread>> threads;
    for (int i = 0; i < 199; ++i)
        threads.push_back(std::make_unique<EventThread>());
    QCOMPARE(threads[1]->wakeupId(), 10198u);

    // A freed id goes to the back, where the next thread takes it from.
    const uint32_t freed = threads[5]->wakeupId();
    threads.erase(threads.begin() + 5);
    threads.push_back(std::make_unique<EventThread>());
    QCOMPARE(threads.back()->wakeupId(), freed);
    threads.push_back(std::make_unique<EventThread>());
    QCOMPARE(threads.back()->wakeupId(), 10000u);

    // The 201st live thread gets no id and takes nothing.
    QCOMPARE(TestUtils::errorText([] { EventThread tooMany; }),
             QStringLiteral("Too many events :D"));
    threads.pop_back();
    EventThread again;
    QCOMPARE(again.wakeupId(), 10000u);
}

void TestEventThread::deliversEventsUntilStopped()
{
    QList<uint> received;
    EventThread thread;
    connect(&thread, &EventThread::eventhappen, this,
            [&received](uint event) { received << event; });
    QCOMPARE(thread.initEvents(0, {CAM_EV_NEW_DEVICE, CAM_EV_REMOVAL}), 0);
    QVERIFY(thread.isRunning());

    QCOMPARE(KivoSimSetPlugged("SIM0000752", 0), 0);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(KivoSimSetPlugged("SIM0000752", 1), 0);
    QTRY_COMPARE(received, (QList<uint>{CAM_EV_REMOVAL, CAM_EV_NEW_DEVICE}));

    // A refused wake-up is sent again.
    QCOMPARE(KivoSimInjectFault("CamEvent:0x5", 1, 42), 0);
    thread.stop();
    QVERIFY(thread.wait(5000));
    // Neither the wake-up id nor a later event reaches the receiver.
    QCOMPARE(KivoSimSetPlugged("SIM0000752", 0), 0);
    QCoreApplication::processEvents();
    QCOMPARE(received.size(), 2);
}

void TestEventThread::failedSetupDoesNotStartOrStop()
{
    // Registration fails with -1, enabling with the library's status.
    for (const auto& [operation, expected] : {std::pair("CamEvent:0x1", -1), {"CamEvent:0x3", 7}}) {
        QCOMPARE(KivoSimInjectFault(operation, 1, 7), 0);
        EventThread thread;
        QCOMPARE(thread.initEvents(0, {CAM_EV_NEW_DEVICE}), expected);
        QVERIFY(!thread.isRunning());
        // Stopping it sends no wake-up: a pending fault on the signal stays.
        QCOMPARE(KivoSimInjectFault("CamEvent:0x5", 1, 42), 0);
        thread.stop();
        uint32_t id = thread.wakeupId();
        QCOMPARE(CamEvent(0, CAM_EVENT_SIGNAL, &id, sizeof id), 42);
    }
}

QTEST_GUILESS_MAIN(TestEventThread)
#include "tst_eventthread.moc"
