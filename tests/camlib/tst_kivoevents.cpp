#include "kivotestsession.h"

#include <chrono>
#include <functional>
#include <future>

namespace {

constexpr uint32_t wakeId = 10000;
constexpr uint32_t otherId = 10001;

bool send(uint32_t command, uint32_t id, uint32_t handle = 0)
{
    return CamEvent(handle, command, &id, sizeof id) == CAM_SUCCESS;
}

// True when a wait on handle 0 that does not block ends with an event.
bool poll(std::vector<uint32_t> ids, bool all = false)
{
    return waitEvents(0, ids, 0, all).status == CAM_SUCCESS;
}

// Waits without limit in a thread of its own; the future is still pending
// after 100 ms when the wait blocks.
std::future<Waited> waitInThread(uint32_t handle, std::vector<uint32_t> ids)
{
    auto f = std::async(std::launch::async,
                        [handle, ids] { return waitEvents(handle, ids, CAM_EVENT_INFINITE); });
    f.wait_for(std::chrono::milliseconds(100));
    return f;
}

Waited finished(std::future<Waited>& f)
{
    return f.wait_for(std::chrono::seconds(5)) == std::future_status::ready ? f.get() : Waited();
}

} // namespace

class TestKivoEvents : public QObject
{
    Q_OBJECT

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;

private slots:
    void init()
    {
        // A new world drops pending events; registrations on handle 0 outlive it.
        QVERIFY(camera.loadWorld());
        QVERIFY(armEvents(0, {wakeId, otherId}));
    }

    void pendingWaitOnACameraEnds_data()
    {
        QTest::addColumn<bool>("byClose");
        QTest::newRow("signalled") << false;
        QTest::newRow("camera closed") << true;
    }

    void pendingWaitOnACameraEnds()
    {
        QFETCH(bool, byClose);
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        QVERIFY(armEvents(camera.handle(), {wakeId, otherId}));
        const uint32_t h = camera.handle();
        auto pending = waitInThread(h, {otherId, wakeId});
        QVERIFY(pending.wait_for(std::chrono::seconds(0)) == std::future_status::timeout);
        if (byClose)
            camera.close();
        else
            QVERIFY(send(CAM_EVENT_SIGNAL, wakeId, h));
        const Waited w = finished(pending);
        QVERIFY(w.status != -1);
        QCOMPARE(w.status == CAM_SUCCESS, !byClose);
        QCOMPARE(w.signalled, byClose ? 0U : wakeId);
    }

    void noEventIsLostOrInvented()
    {
        // Two signals before anyone waits make one event of that id only.
        QVERIFY(send(CAM_EVENT_SIGNAL, wakeId) && send(CAM_EVENT_SIGNAL, wakeId));
        QVERIFY(!poll({otherId}));
        QCOMPARE(waitEvents(0, {otherId, wakeId}, 0).signalled, wakeId);
        QVERIFY(!poll({wakeId}));
        QVERIFY(send(CAM_EVENT_SIGNAL, wakeId) && !poll({wakeId, otherId}, true));
        QVERIFY(send(CAM_EVENT_SIGNAL, otherId) && poll({wakeId, otherId}, true));
        QVERIFY(!poll({wakeId, otherId}));
    }

    void disablingOrANewWorldDropsEvents()
    {
        QVERIFY(send(CAM_EVENT_DISABLE, wakeId) && send(CAM_EVENT_SIGNAL, wakeId));
        QVERIFY(send(CAM_EVENT_ENABLE, wakeId) && !poll({wakeId}));
        QVERIFY(send(CAM_EVENT_SIGNAL, wakeId) && send(CAM_EVENT_DISABLE, wakeId));
        QVERIFY(send(CAM_EVENT_ENABLE, wakeId) && !poll({wakeId}));
        // A device thread waiting on handle 0 keeps its registrations across a new world.
        QVERIFY(send(CAM_EVENT_SIGNAL, wakeId) && KivoSimLoadWorld(nullptr) == 0);
        QVERIFY(!poll({wakeId}));
        QVERIFY(send(CAM_EVENT_SIGNAL, wakeId) && poll({wakeId}));
    }

    void malformedCallsAreRefused()
    {
        const auto refused = [](uint32_t command, QByteArray buffer, uint32_t handle = 0) {
            const int32_t status =
                CamEvent(handle, command, buffer.data(), uint32_t(buffer.size()));
            return status != CAM_SUCCESS && lastErrorText(0) != "No error." &&
                   !lastErrorText(0).isEmpty();
        };
        const QByteArray wake = QByteArray::fromHex("10270000");
        const QByteArray unregistered = QByteArray::fromHex("4d000000");
        QVERIFY(refused(CAM_EVENT_INIT, QByteArray(11, 0)));
        QVERIFY(refused(CAM_EVENT_INIT,
                        wake + QByteArray::fromHex("0100000000000000"))); // manual reset
        QVERIFY(refused(CAM_EVENT_ENABLE, QByteArray(6, 0)));
        QVERIFY(refused(CAM_EVENT_ENABLE, unregistered) &&
                refused(CAM_EVENT_DISABLE, unregistered));
        QVERIFY(refused(CAM_EVENT_SIGNAL, unregistered) && refused(CAM_EVENT_SIGNAL, wake + wake));
        QVERIFY(refused(CAM_EVENT_WAIT, QByteArray(23, 0)));
        QVERIFY(refused(CAM_EVENT_WAIT, QByteArray(24, 0))); // no ids
        QVERIFY(refused(4, wake) && refused(CAM_EVENT_SIGNAL, wake, 4242));
        QVERIFY(CamEvent(0, CAM_EVENT_INIT, nullptr, 12) != CAM_SUCCESS);
        QVERIFY(!refused(CAM_EVENT_SIGNAL, wake));
    }

    void unplugAndPlugOnAnOpenCamera()
    {
        QVERIFY(camera.open(DefaultWorld::colourDevice));
        QVERIFY(camera.waitFrame());
        const uint32_t h = camera.handle();
        CAM_SENSOR_INFO sensor;
        CAM_DEVICE_INFO device;
        int32_t size[2] = {0, 0};
        double d[3] = {0, 0, 0};
        uint32_t modes = 0;
        uint16_t empty = 0;
        const std::vector<std::function<int32_t()>> deviceCalls = {
            [&] { return CamSensorInfo(h, &sensor); },
            [&] { return CamDeviceInfo(h, &device); },
            [&] { return CamColorMode(h, CAM_CM_BAYER_RAW8); },
            [&] { return CamImageArea(h, CAM_AOI_GET_MAX_SIZE, size, 8); },
            [&] { return CamPixelClockRange(h, &size[0], &size[1]); },
            [&] { return CamFrameTimeRange(h, &d[0], &d[1], &d[2]); },
            [&] { return CamFrameRate(h, 10.0, &d[0]); },
            [&] { return CamCurrentFps(h, &d[0]); },
            [&] { return CamExposure(h, 10.0, &d[0]); },
            [&] { return CamExposureRange(h, &d[0], &d[1], &d[2]); },
            [&] { return CamGain(h, 10, -1, -1, -1); },
            [&] { return CamHotPixel(h, CAM_HP_GET_SUPPORTED_MODES, &modes, 4); },
            [&] { return CamHotPixel(h, CAM_HP_DISABLE, nullptr, 0); },
            [&] { return CamStopCapture(h, 1); },
            [&] { return CamStartCapture(h, 0); },
        };
        // Reports the first call whose success is not as wanted, -1 for none.
        const auto firstOtherThan = [&](bool success) {
            for (size_t i = 0; i < deviceCalls.size(); ++i) {
                const bool failed = deviceCalls[i]() != CAM_SUCCESS;
                if (failed == success || (failed && !lastErrorText(h).contains("not connected")))
                    return int(i);
            }
            return -1;
        };
        QCOMPARE(KivoSimSetPlugged(DefaultWorld::colourSerial, 0), 0);
        // Frames already latched may come first; then the removal, then silence.
        Waited w;
        do
            w = camera.waitEvent(1000);
        while (w.signalled == CAM_EV_FRAME);
        QCOMPARE(w.signalled, uint32_t(CAM_EV_DEVICE_REMOVED));
        const int64_t frames = KivoSimFramesProduced(DefaultWorld::colourSerial);
        QVERIFY(camera.waitEvent(200).status != CAM_SUCCESS);
        QCOMPARE(KivoSimFramesProduced(DefaultWorld::colourSerial), frames);
        QCOMPARE(firstOtherThan(false), -1);
        // The driver's own list lives in the computer.
        QCOMPARE(CamHotPixel(h, CAM_HP_DRIVER_LIST_SET, &empty, 2), CAM_SUCCESS);

        QCOMPARE(KivoSimSetPlugged(DefaultWorld::colourSerial, 1), 0);
        QCOMPARE(camera.waitEvent(1000).signalled, uint32_t(CAM_EV_DEVICE_RECONNECTED));
        QVERIFY(camera.waitFrame());
        QCOMPARE(firstOtherThan(true), -1);
    }
};

QTEST_GUILESS_MAIN(TestKivoEvents)
#include "tst_kivoevents.moc"
