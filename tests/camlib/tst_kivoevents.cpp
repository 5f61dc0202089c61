#include "kivo_api.h"
#include "kivo_control.h"
#include "kivotestsession.h"
#include "testutils.h"

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <future>
#include <thread>

namespace {

constexpr uint32_t wakeId = 10000;
constexpr uint32_t otherId = 10001;

int32_t registerEvent(uint32_t handle, uint32_t id)
{
    CAM_EVENT_INIT_RECORD record = {id, 0, 0};
    return CamEvent(handle, CAM_EVENT_INIT, &record, sizeof record);
}

int32_t enable(uint32_t handle, uint32_t id)
{
    return CamEvent(handle, CAM_EVENT_ENABLE, &id, sizeof id);
}

int32_t signal(uint32_t handle, uint32_t id)
{
    return CamEvent(handle, CAM_EVENT_SIGNAL, &id, sizeof id);
}

struct Waited
{
    int32_t status = -1;
    uint32_t signalled = 0;
};

Waited waitFor(uint32_t handle, std::vector<uint32_t> ids, uint32_t timeoutMs, bool all = false)
{
    CAM_EVENT_WAIT_RECORD record = {ids.data(), uint32_t(ids.size()), all ? 1U : 0U, timeoutMs, 0};
    Waited w;
    w.status = CamEvent(handle, CAM_EVENT_WAIT, &record, sizeof record);
    w.signalled = record.signalled;
    return w;
}

// Starts a wait without limit in a thread of its own.
std::future<Waited> waitInThread(uint32_t handle, std::vector<uint32_t> ids)
{
    return std::async(std::launch::async,
                      [handle, ids] { return waitFor(handle, ids, CAM_EVENT_INFINITE); });
}

// True when the future is still pending after a short while, i.e. the wait blocks.
bool blocks(std::future<Waited>& f)
{
    return f.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout;
}

Waited finished(std::future<Waited>& f)
{
    if (f.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        return Waited();
    return f.get();
}

} // namespace

class TestKivoEvents : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalEndsPendingWait_data();
    void signalEndsPendingWait();
    void timeoutIsHonoured_data();
    void timeoutIsHonoured();
    void eventsAreLatchedOnceAndConsumed();
    void disabledEventsAreNotLatched();
    void waitAllNeedsEveryEvent();
    void malformedCallsAreRefused_data();
    void malformedCallsAreRefused();
    void unplugAndPlugRaiseEvents();
    void closingEndsAWaitOnTheHandle();
    void reloadingKeepsLibraryRegistrations();

private:
    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;
};

void TestKivoEvents::init()
{
    camera.close();
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    // Registrations on handle 0 outlive a world; start each test disabled.
    uint32_t ids[] = {wakeId, otherId};
    for (uint32_t id : ids)
        QCOMPARE(registerEvent(0, id), CAM_SUCCESS);
    QCOMPARE(CamEvent(0, CAM_EVENT_DISABLE, ids, sizeof ids), CAM_SUCCESS);
}

void TestKivoEvents::signalEndsPendingWait_data()
{
    QTest::addColumn<bool>("onCamera");
    QTest::newRow("library handle 0, no camera open") << false;
    QTest::newRow("camera handle") << true;
}

void TestKivoEvents::signalEndsPendingWait()
{
    QFETCH(bool, onCamera);
    uint32_t handle = 0;
    if (onCamera) {
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        handle = camera.handle();
    }
    QCOMPARE(registerEvent(handle, wakeId), CAM_SUCCESS);
    QCOMPARE(registerEvent(handle, otherId), CAM_SUCCESS);
    QCOMPARE(enable(handle, wakeId), CAM_SUCCESS);
    QCOMPARE(enable(handle, otherId), CAM_SUCCESS);

    auto pending = waitInThread(handle, {otherId, wakeId});
    QVERIFY(blocks(pending));
    QCOMPARE(signal(handle, wakeId), CAM_SUCCESS);
    const Waited w = finished(pending);
    QCOMPARE(w.status, CAM_SUCCESS);
    QCOMPARE(w.signalled, wakeId);
}

void TestKivoEvents::timeoutIsHonoured_data()
{
    QTest::addColumn<uint32_t>("timeoutMs");
    QTest::newRow("poll") << 0U;
    QTest::newRow("80 ms") << 80U;
}

void TestKivoEvents::timeoutIsHonoured()
{
    QFETCH(uint32_t, timeoutMs);
    QCOMPARE(registerEvent(0, wakeId), CAM_SUCCESS);
    QCOMPARE(enable(0, wakeId), CAM_SUCCESS);
    QElapsedTimer timer;
    timer.start();
    const Waited w = waitFor(0, {wakeId}, timeoutMs);
    const qint64 elapsed = timer.elapsed();
    QVERIFY(w.status != CAM_SUCCESS);
    QVERIFY(!lastErrorText(0).isEmpty());
    QVERIFY2(elapsed >= qint64(timeoutMs) && elapsed < qint64(timeoutMs) + 1000,
             QByteArray::number(elapsed));
}

void TestKivoEvents::eventsAreLatchedOnceAndConsumed()
{
    QCOMPARE(registerEvent(0, wakeId), CAM_SUCCESS);
    QCOMPARE(enable(0, wakeId), CAM_SUCCESS);
    // Two signals before anyone waits make one event, not two, and none is lost.
    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    const Waited first = waitFor(0, {wakeId}, 0);
    QCOMPARE(first.status, CAM_SUCCESS);
    QCOMPARE(first.signalled, wakeId);
    QVERIFY(waitFor(0, {wakeId}, 50).status != CAM_SUCCESS);
}

void TestKivoEvents::disabledEventsAreNotLatched()
{
    QCOMPARE(registerEvent(0, wakeId), CAM_SUCCESS);
    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    QCOMPARE(enable(0, wakeId), CAM_SUCCESS);
    QVERIFY(waitFor(0, {wakeId}, 0).status != CAM_SUCCESS);

    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    QCOMPARE(CamEvent(0, CAM_EVENT_DISABLE, const_cast<uint32_t*>(&wakeId), 4), CAM_SUCCESS);
    QCOMPARE(enable(0, wakeId), CAM_SUCCESS);
    QVERIFY(waitFor(0, {wakeId}, 0).status != CAM_SUCCESS);
}

void TestKivoEvents::waitAllNeedsEveryEvent()
{
    for (uint32_t id : {wakeId, otherId}) {
        QCOMPARE(registerEvent(0, id), CAM_SUCCESS);
        QCOMPARE(enable(0, id), CAM_SUCCESS);
    }
    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    QVERIFY(waitFor(0, {wakeId, otherId}, 0, true).status != CAM_SUCCESS);
    QCOMPARE(signal(0, otherId), CAM_SUCCESS);
    QCOMPARE(waitFor(0, {wakeId, otherId}, 0, true).status, CAM_SUCCESS);
    QVERIFY(waitFor(0, {wakeId, otherId}, 0).status != CAM_SUCCESS);
}

void TestKivoEvents::malformedCallsAreRefused_data()
{
    QTest::addColumn<uint32_t>("handle");
    QTest::addColumn<uint32_t>("command");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("nullBuffer");

    const QByteArray registered(reinterpret_cast<const char*>(&wakeId), 4);
    const uint32_t unknown = 77;
    const QByteArray unregistered(reinterpret_cast<const char*>(&unknown), 4);
    QTest::newRow("register, 11 bytes") << 0U << 1U << QByteArray(11, 0) << false;
    QTest::newRow("register, manual reset")
        << 0U << 1U << QByteArray::fromHex("102700000100000000000000") << false;
    QTest::newRow("register, null") << 0U << 1U << QByteArray(12, 0) << true;
    QTest::newRow("enable, 6 bytes") << 0U << 3U << QByteArray(6, 0) << false;
    QTest::newRow("enable, unregistered id") << 0U << 3U << unregistered << false;
    QTest::newRow("disable, unregistered id") << 0U << 2U << unregistered << false;
    QTest::newRow("signal, unregistered id") << 0U << 5U << unregistered << false;
    QTest::newRow("signal, 8 bytes") << 0U << 5U << registered + registered << false;
    QTest::newRow("wait, 23 bytes") << 0U << 7U << QByteArray(23, 0) << false;
    QTest::newRow("wait, no ids") << 0U << 7U << QByteArray(24, 0) << false;
    QTest::newRow("unknown command") << 0U << 4U << registered << false;
    QTest::newRow("unknown handle") << 4242U << 5U << registered << false;
}

void TestKivoEvents::malformedCallsAreRefused()
{
    QFETCH(uint32_t, handle);
    QFETCH(uint32_t, command);
    QFETCH(QByteArray, buffer);
    QFETCH(bool, nullBuffer);
    QCOMPARE(registerEvent(0, wakeId), CAM_SUCCESS);
    const int32_t status =
        CamEvent(handle, command, nullBuffer ? nullptr : buffer.data(), uint32_t(buffer.size()));
    QVERIFY(status != CAM_SUCCESS);
    QVERIFY(!lastErrorText(0).isEmpty());
    QCOMPARE(lastErrorText(0) == "No error.", false);
}

void TestKivoEvents::unplugAndPlugRaiseEvents()
{
    QCOMPARE(registerEvent(0, CAM_EV_REMOVAL), CAM_SUCCESS);
    QCOMPARE(registerEvent(0, CAM_EV_NEW_DEVICE), CAM_SUCCESS);
    QCOMPARE(enable(0, CAM_EV_REMOVAL), CAM_SUCCESS);
    QCOMPARE(enable(0, CAM_EV_NEW_DEVICE), CAM_SUCCESS);
    QVERIFY(camera.open(DefaultWorld::colourDevice));
    QVERIFY(camera.waitFrame());

    QCOMPARE(KivoSimSetPlugged(DefaultWorld::colourSerial, 0), 0);
    const Waited removal = waitFor(0, {CAM_EV_NEW_DEVICE, CAM_EV_REMOVAL}, 1000);
    QCOMPARE(removal.status, CAM_SUCCESS);
    QCOMPARE(removal.signalled, uint32_t(CAM_EV_REMOVAL));
    uint32_t signalled = 0;
    // Frames already latched may come first; then the removal, then silence.
    do
        QCOMPARE(camera.waitEvent(1000, signalled), CAM_SUCCESS);
    while (signalled == CAM_EV_FRAME);
    QCOMPARE(signalled, uint32_t(CAM_EV_DEVICE_REMOVED));
    const int64_t frames = KivoSimFramesProduced(DefaultWorld::colourSerial);
    QVERIFY(camera.waitEvent(200, signalled) != CAM_SUCCESS);
    QCOMPARE(KivoSimFramesProduced(DefaultWorld::colourSerial), frames);
    int32_t count = 0;
    QCOMPARE(CamCount(&count), CAM_SUCCESS);
    QCOMPARE(count, 2);

    QCOMPARE(KivoSimSetPlugged(DefaultWorld::colourSerial, 1), 0);
    const Waited arrival = waitFor(0, {CAM_EV_NEW_DEVICE, CAM_EV_REMOVAL}, 1000);
    QCOMPARE(arrival.status, CAM_SUCCESS);
    QCOMPARE(arrival.signalled, uint32_t(CAM_EV_NEW_DEVICE));
    QCOMPARE(camera.waitEvent(1000, signalled), CAM_SUCCESS);
    QCOMPARE(signalled, uint32_t(CAM_EV_DEVICE_RECONNECTED));
    // The session survived: frames come again on the same handle.
    QVERIFY(camera.waitFrame());
}

void TestKivoEvents::closingEndsAWaitOnTheHandle()
{
    QVERIFY(camera.open(DefaultWorld::colourDevice, false));
    auto pending = waitInThread(camera.handle(), {CAM_EV_FRAME});
    QVERIFY(blocks(pending));
    camera.close();
    const Waited w = finished(pending);
    QVERIFY(w.status != CAM_SUCCESS);
    QVERIFY(w.status != -1);
}

void TestKivoEvents::reloadingKeepsLibraryRegistrations()
{
    QCOMPARE(registerEvent(0, wakeId), CAM_SUCCESS);
    QCOMPARE(enable(0, wakeId), CAM_SUCCESS);
    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    // A device thread waiting on handle 0 keeps waiting across a new world,
    // which only drops what was pending.
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    QVERIFY(waitFor(0, {wakeId}, 0).status != CAM_SUCCESS);
    QCOMPARE(signal(0, wakeId), CAM_SUCCESS);
    QCOMPARE(waitFor(0, {wakeId}, 0).status, CAM_SUCCESS);
}

QTEST_GUILESS_MAIN(TestKivoEvents)
#include "tst_kivoevents.moc"
