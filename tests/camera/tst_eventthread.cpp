#include "eventthread.h"

#include "kivo_control.h"
#include "testutils.h"

#include <QTest>

#include <memory>
#include <stdexcept>
#include <vector>

class TestEventThread : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstThreadsHoldTheTopIds();
    void freedIdReturnsToTheBack();
    void poolOf200Threads();
    void stopOnUnstartedThreadCallsNothing();
    void deliversDeviceEvents();
    void stopEmitsNothingForTheWakeupId();
    void failedSetupDoesNotStart_data();
    void failedSetupDoesNotStart();

private:
    std::shared_ptr<std::vector<uint>> record(EventThread& thread);

    TestUtils::IsolatedEnvironment environment;
};

void TestEventThread::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
}

void TestEventThread::firstThreadsHoldTheTopIds()
{
    EventThread first;
    EventThread second;
    QCOMPARE(first.wakeupId(), 10199u);
    QCOMPARE(second.wakeupId(), 10198u);
}

void TestEventThread::freedIdReturnsToTheBack()
{
    auto first = std::make_unique<EventThread>();
    EventThread second;
    const uint32_t firstId = first->wakeupId();
    first.reset();
    EventThread third;
    QCOMPARE(third.wakeupId(), firstId);
    EventThread fourth;
    QCOMPARE(fourth.wakeupId(), second.wakeupId() - 1);
}

void TestEventThread::poolOf200Threads()
{
    std::vector<std::unique_ptr<EventThread>> threads;
    for (int i = 0; i < 200; ++i)
        threads.push_back(std::make_unique<EventThread>());
    QCOMPARE(threads.back()->wakeupId(), 10000u);

    try {
        EventThread tooMany;
        QFAIL("the 201st thread got a wake-up id");
    } catch (const std::runtime_error& error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("Too many events :D"));
    }

    // The refused thread took nothing: one freed id makes room for exactly one.
    threads.pop_back();
    EventThread again;
    QCOMPARE(again.wakeupId(), 10000u);
}

void TestEventThread::stopOnUnstartedThreadCallsNothing()
{
    // A pending fault on the signal command shows whether stop() used it.
    QCOMPARE(KivoSimInjectFault("CamEvent:0x5", 1, 42), 0);
    EventThread thread;
    thread.stop();
    QVERIFY(!thread.isRunning());
    uint32_t id = thread.wakeupId();
    QCOMPARE(CamEvent(0, CAM_EVENT_SIGNAL, &id, sizeof id), 42);
}

void TestEventThread::deliversDeviceEvents()
{
    EventThread thread;
    const auto received = record(thread);
    QCOMPARE(thread.initEvents(0, {CAM_EV_NEW_DEVICE, CAM_EV_REMOVAL}), 0);
    QVERIFY(thread.isRunning());

    // One at a time: two pending events are reported in list order.
    QCOMPARE(KivoSimSetPlugged("SIM0000752", 0), 0);
    QTRY_COMPARE(received->size(), std::size_t{1});
    QCOMPARE(KivoSimSetPlugged("SIM0000752", 1), 0);
    QTRY_COMPARE(received->size(), std::size_t{2});
    QCOMPARE(received->at(0), uint(CAM_EV_REMOVAL));
    QCOMPARE(received->at(1), uint(CAM_EV_NEW_DEVICE));
}

void TestEventThread::stopEmitsNothingForTheWakeupId()
{
    EventThread thread;
    const auto received = record(thread);
    QCOMPARE(thread.initEvents(0, {CAM_EV_NEW_DEVICE, CAM_EV_REMOVAL}), 0);

    thread.stop();
    QVERIFY(thread.wait(5000));
    // A stopped thread no longer passes device events on either.
    QCOMPARE(KivoSimSetPlugged("SIM0000752", 0), 0);
    QCoreApplication::processEvents();
    QVERIFY(received->empty());
}

std::shared_ptr<std::vector<uint>> TestEventThread::record(EventThread& thread)
{
    // Queued into this thread, so the list is only touched here.
    auto received = std::make_shared<std::vector<uint>>();
    connect(&thread, &EventThread::eventhappen, this,
            [received](uint event) { received->push_back(event); });
    return received;
}

void TestEventThread::failedSetupDoesNotStart_data()
{
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<int>("expected");

    QTest::newRow("registration fails") << QByteArray("CamEvent:0x1") << -1;
    QTest::newRow("enabling fails") << QByteArray("CamEvent:0x3") << 7;
}

void TestEventThread::failedSetupDoesNotStart()
{
    QFETCH(QByteArray, operation);
    QFETCH(int, expected);

    QCOMPARE(KivoSimInjectFault(operation.constData(), 1, 7), 0);
    EventThread thread;
    QCOMPARE(thread.initEvents(0, {CAM_EV_NEW_DEVICE}), expected);
    QVERIFY(!thread.isRunning());
}

QTEST_GUILESS_MAIN(TestEventThread)
#include "tst_eventthread.moc"
