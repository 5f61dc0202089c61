#include "camera.h"

#include "kivo_control.h"
#include "testutils.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

const char* const ColourSerial = "SIM0001280";
constexpr uint32_t ColourDevice = 1;
const char* const MonoSerial = "SIM0000752";
constexpr uint32_t MonoDevice = 2;
constexpr uint32_t BusyDevice = 3;

// A world of one small camera, device id 7, with extra JSON fields.
QByteArray singleCameraWorld(const QByteArray& fields)
{
    return R"({"cameras":[{"serial":"SIMTEST","model":"Test","deviceId":7,"width":64,"height":48)" +
           (fields.isEmpty() ? QByteArray() : ',' + fields) + "}]}";
}

// The text the library keeps for a failure injected with status 5.
QString libraryFailure(const QByteArray& operation)
{
    return QStringLiteral("Simulated failure of %1 (status 5).")
        .arg(QString::fromLatin1(operation));
}

// Whether the library lists the camera as in use.
bool heldByAProgram(uint32_t deviceId)
{
    int32_t count = 0;
    if (CamCount(&count) != CAM_SUCCESS || count < 1)
        return false;
    std::vector<CAM_CAMERA_INFO> records(static_cast<std::size_t>(count) + 1);
    auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(records.data());
    list->count = static_cast<uint32_t>(count);
    if (CamList(list) != CAM_SUCCESS)
        return false;
    const auto* first = reinterpret_cast<const char*>(records.data()) + sizeof(uint32_t);
    for (uint32_t i = 0; i < list->count; ++i) {
        CAM_CAMERA_INFO record;
        std::memcpy(&record, first + i * sizeof record, sizeof record);
        if (record.deviceId == deviceId)
            return record.inUse != 0;
    }
    return false;
}

// Opens eventReceived to the test, to feed it events the library would
// not send in that state.
class ProbeCamera : public Camera
{
public:
    using Camera::eventReceived;
};

} // namespace

class TestCamera : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void openFailureLeavesSessionClosed_data();
    void openFailureLeavesSessionClosed();
    void firmwareUploadShowsDuration_data();
    void firmwareUploadShowsDuration();
    void openPreparesSession();
    void frameFormatFollowsColourMode_data();
    void frameFormatFollowsColourMode();
    void framesArriveInRingBuffers();
    void frameDuringNestedLoopIsNotEmittedAgain();
    void failedFrameFetch_data();
    void failedFrameFetch();
    void frameOfVanishedHandle();
    void captureFailureIsCounted();
    void reopenResetsCounters();
    void closeEmitsNullImageBeforeClosed();
    void closeWhenClosedEmitsNothing();
    void eventsWhileClosed_data();
    void eventsWhileClosed();
    void unplugAndReplugOpenCamera();
    void deviceEventsWhileClosed();
    void supportsCameraCorrection_data();
    void supportsCameraCorrection();
    void correctionKeepsCapturing();

private:
    void openManual(Camera& camera, const char* serial, uint32_t deviceId);
    void verifyClosed(const Camera& camera);

    TestUtils::IsolatedEnvironment environment;
};

void TestCamera::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    KivoSimClearFaults();
}

void TestCamera::openManual(Camera& camera, const char* serial, uint32_t deviceId)
{
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    camera.open(deviceId);
}

void TestCamera::verifyClosed(const Camera& camera)
{
    QVERIFY(!camera.isOpen());
    QCOMPARE(camera.cameraHandle(), 0u);
    QCOMPARE(camera.bufferCount(), 0);
    QVERIFY(!camera.watchesCameraEvents());
}

void TestCamera::openFailureLeavesSessionClosed_data()
{
    QTest::addColumn<QByteArray>("world");
    QTest::addColumn<uint>("deviceId");
    QTest::addColumn<QByteArrayList>("faults");
    QTest::addColumn<int>("faultCount");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("checkReleased");

    const QString initFailed = QStringLiteral("Could not initialize camera.");
    const QString unsupported = QStringLiteral("Unsupported camera type");
    // Empty: the library's own text of the injected failure.
    const QString libraryText;

    QTest::newRow("open refused") << QByteArray() << ColourDevice << QByteArrayList{"CamOpen"} << 1
                                  << initFailed << true;
    QTest::newRow("unknown device")
        << QByteArray() << 99u << QByteArrayList() << 0 << initFailed << false;
    QTest::newRow("camera in use")
        << QByteArray() << BusyDevice << QByteArrayList() << 0 << initFailed << false;
    QTest::newRow("sensor record") << QByteArray() << ColourDevice
                                   << QByteArrayList{"CamSensorInfo"} << 1 << libraryText << true;
    QTest::newRow("colour mode") << QByteArray() << ColourDevice << QByteArrayList{"CamColorMode"}
                                 << 1 << libraryText << true;
    QTest::newRow("image area") << QByteArray() << ColourDevice << QByteArrayList{"CamImageArea"}
                                << 1 << libraryText << true;
    QTest::newRow("image memory") << QByteArray() << ColourDevice
                                  << QByteArrayList{"CamAllocBuffer"} << 1
                                  << QStringLiteral("Can't allocate image memory.") << true;
    QTest::newRow("ring") << QByteArray() << ColourDevice << QByteArrayList{"CamRingAdd"} << 1
                          << QStringLiteral("Can't add buffer to sequence.") << true;
    QTest::newRow("capture start") << QByteArray() << ColourDevice
                                   << QByteArrayList{"CamStartCapture"} << 1 << libraryText << true;
    QTest::newRow("current frame rate")
        << QByteArray() << ColourDevice << QByteArrayList{"CamCurrentFps"} << 1 << libraryText
        << true;
    QTest::newRow("start exposure") << QByteArray() << ColourDevice << QByteArrayList{"CamExposure"}
                                    << 1 << libraryText << true;
    QTest::newRow("pixel clock range")
        << QByteArray() << ColourDevice << QByteArrayList{"CamPixelClockRange"} << 1 << libraryText
        << true;
    // The first call reads the initial clock, the second sets it.
    QTest::newRow("pixel clock") << QByteArray() << ColourDevice << QByteArrayList{"CamPixelClock"}
                                 << 2 << libraryText << true;
    QTest::newRow("sensor 0x20B") << singleCameraWorld(R"("sensorId":"0x20B")") << 7u
                                  << QByteArrayList() << 0 << unsupported << true;
    QTest::newRow("sensor 0x21D") << singleCameraWorld(R"("sensorId":"0x21D")") << 7u
                                  << QByteArrayList() << 0 << unsupported << true;
    QTest::newRow("sensor 0x4D") << singleCameraWorld(R"("sensorId":"0x4D")") << 7u
                                 << QByteArrayList() << 0 << unsupported << true;
    QTest::newRow("colour mode 2")
        << singleCameraWorld(R"("forcedColorMode":2)") << 7u << QByteArrayList() << 0
        << QStringLiteral("Color Mode not supported.") << true;
}

void TestCamera::openFailureLeavesSessionClosed()
{
    QFETCH(QByteArray, world);
    QFETCH(uint, deviceId);
    QFETCH(QByteArrayList, faults);
    QFETCH(int, faultCount);
    QFETCH(QString, message);
    QFETCH(bool, checkReleased);

    if (!world.isEmpty())
        QCOMPARE(KivoSimLoadWorld(world.constData()), 0);
    KivoSimSetManualFrames(world.isEmpty() ? ColourSerial : "SIMTEST", 1);
    Camera camera;
    for (const QByteArray& fault : faults)
        QCOMPARE(KivoSimInjectFault(fault.constData(), faultCount, 5), 0);

    if (message.isEmpty())
        message = libraryFailure(faults.value(0));
    try {
        camera.open(deviceId);
        QFAIL("open succeeded");
    } catch (const std::runtime_error& error) {
        QCOMPARE(QString::fromStdString(error.what()), message);
    }
    verifyClosed(camera);

    KivoSimClearFaults();
    if (checkReleased)
        QVERIFY(!heldByAProgram(deviceId));
}

void TestCamera::firmwareUploadShowsDuration_data()
{
    QTest::addColumn<QByteArray>("durationFault");
    QTest::addColumn<QString>("message");

    QTest::newRow("reported duration, truncated")
        << QByteArray() << QStringLiteral("Upload of new firmware required. (approx. 1 seconds)");
    QTest::newRow("duration unknown")
        << QByteArray("CamDuration")
        << QStringLiteral("Upload of new firmware required. (approx. 25 seconds)");
}

void TestCamera::firmwareUploadShowsDuration()
{
    QFETCH(QByteArray, durationFault);
    QFETCH(QString, message);

    QCOMPARE(KivoSimLoadWorld(singleCameraWorld(R"("firmwareUploadMs":1500)").constData()), 0);
    Camera camera;
    QSignalSpy errors(&camera, &Camera::displayError);
    if (!durationFault.isEmpty())
        QCOMPARE(KivoSimInjectFault(durationFault.constData(), 1, 5), 0);

    openManual(camera, "SIMTEST", 7);
    QVERIFY(camera.isOpen());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), message);
    QCOMPARE(errors.at(0).at(1).toInt(), 2000);
}

void TestCamera::openPreparesSession()
{
    Camera camera;
    QCOMPARE(camera.sensorSize(), QSize(0, 0));
    QSignalSpy opened(&camera, &Camera::cameraOpened);
    QStringList order;
    connect(&camera, &Camera::pixelclockChanged, this,
            [&order] { order << QStringLiteral("pixelclock"); });
    connect(&camera, &Camera::framerateChanged, this,
            [&order] { order << QStringLiteral("framerate"); });
    connect(&camera, &Camera::exposureChanged, this,
            [&order] { order << QStringLiteral("exposure"); });
    connect(&camera, &Camera::mastergainChanged, this,
            [&order] { order << QStringLiteral("mastergain"); });
    connect(&camera, &Camera::cameraOpened, this, [&order] { order << QStringLiteral("opened"); });

    openManual(camera, ColourSerial, ColourDevice);

    QVERIFY(camera.isOpen());
    QVERIFY(camera.cameraHandle() != 0);
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).value<Camera*>(), &camera);
    QCOMPARE(order, (QStringList{"opened", "pixelclock", "framerate", "exposure", "mastergain"}));
    QCOMPARE(camera.bufferCount(), 3);
    QVERIFY(camera.watchesCameraEvents());
    QCOMPARE(camera.sensorSize(), QSize(1280, 1024));
    QCOMPARE(camera.currentColorMode(), 11);
    QCOMPARE(camera.serialNumber(), QString::fromLatin1(ColourSerial));
    QCOMPARE(camera.frameCount(), 0);
    QCOMPARE(camera.failCount(), 0);

    camera.close();
    verifyClosed(camera);
    QCOMPARE(camera.measuredFramerate(), 0.0);
    // The last camera's sensor size stays for the window.
    QCOMPARE(camera.sensorSize(), QSize(1280, 1024));
}

void TestCamera::frameFormatFollowsColourMode_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<int>("format");

    QTest::newRow("raw bayer") << QByteArray() << 11 << int(QImage::Format_Indexed8);
    QTest::newRow("monochrome") << QByteArray(R"("forcedColorMode":6)") << 6
                                << int(QImage::Format_Indexed8);
    QTest::newRow("32-bit colour")
        << QByteArray(R"("forcedColorMode":0)") << 0 << int(QImage::Format_RGB32);
}

void TestCamera::frameFormatFollowsColourMode()
{
    QFETCH(QByteArray, fields);
    QFETCH(int, colorMode);
    QFETCH(int, format);

    QCOMPARE(KivoSimLoadWorld(singleCameraWorld(fields).constData()), 0);
    Camera camera;
    openManual(camera, "SIMTEST", 7);
    QCOMPARE(camera.currentColorMode(), colorMode);

    QImage received;
    connect(&camera, &Camera::newImage, this,
            [&received](QImage& image) { received = image.copy(); });
    const int bytes = 64 * 48 * (format == QImage::Format_RGB32 ? 4 : 1);
    std::vector<uint8_t> pixels(static_cast<std::size_t>(bytes));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 7);
    QCOMPARE(KivoSimDeliverFrame("SIMTEST", pixels.data(), pixels.size()), 0);

    QTRY_VERIFY(!received.isNull());
    QCOMPARE(int(received.format()), format);
    QCOMPARE(received.size(), QSize(64, 48));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(received.constBits()), bytes),
             QByteArray(reinterpret_cast<const char*>(pixels.data()), bytes));
}

void TestCamera::framesArriveInRingBuffers()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    int delivered = 0;
    connect(&camera, &Camera::newImage, this, [&](QImage& image) {
        ++delivered;
        // No copy: the image is the library's latest buffer itself.
        char* latest = nullptr;
        QCOMPARE(CamRingLatest(camera.cameraHandle(), nullptr, nullptr, &latest), 0);
        QCOMPARE(reinterpret_cast<quintptr>(image.constBits()), reinterpret_cast<quintptr>(latest));
        QCOMPARE(image.size(), QSize(1280, 1024));
    });

    for (int i = 0; i < 3; ++i)
        QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(delivered, 3);
    QCOMPARE(camera.frameCount(), 3);
}

void TestCamera::frameDuringNestedLoopIsNotEmittedAgain()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    int emissions = 0;
    connect(&camera, &Camera::newImage, this, [&](QImage&) {
        if (++emissions > 1)
            return;
        // A receiver that waits in a nested loop while the next frame comes.
        QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
        QTRY_COMPARE(camera.frameCount(), 2);
    });

    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.frameCount(), 2);
    QCOMPARE(emissions, 1);

    // Once the receiver has returned, frames are emitted again.
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(emissions, 2);
}

void TestCamera::failedFrameFetch_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<bool>("reported");

    QTest::newRow("latest buffer unknown") << QByteArray("CamRingLatest") << true;
    QTest::newRow("buffer cannot be locked") << QByteArray("CamRingLock") << false;
}

void TestCamera::failedFrameFetch()
{
    QFETCH(QByteArray, fault);
    QFETCH(bool, reported);

    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    QSignalSpy errors(&camera, &Camera::displayError);
    int delivered = 0;
    connect(&camera, &Camera::newImage, this, [&delivered] { ++delivered; });

    QCOMPARE(KivoSimInjectFault(fault.constData(), 1, 5), 0);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.frameCount(), 1);
    QCOMPARE(delivered, 0);
    QCOMPARE(errors.count(), reported ? 1 : 0);
    if (reported) {
        QCOMPARE(errors.at(0).at(0).toString(), libraryFailure(fault));
        QCOMPARE(errors.at(0).at(1).toInt(), 2000);
    }

    // The next frame goes through again.
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(delivered, 1);
}

void TestCamera::frameOfVanishedHandle()
{
    ProbeCamera camera;
    openManual(camera, ColourSerial, ColourDevice);
    QSignalSpy errors(&camera, &Camera::displayError);
    // The library forgets every handle; the library has no text for one it
    // does not know.
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    camera.eventReceived(CAM_EV_FRAME);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Unknown error."));
    camera.close();
    verifyClosed(camera);
}

void TestCamera::captureFailureIsCounted()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    QCOMPARE(KivoSimFailNextCapture(ColourSerial), 0);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.failCount(), 1);
    QCOMPARE(camera.frameCount(), 0);
}

void TestCamera::reopenResetsCounters()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QCOMPARE(KivoSimFailNextCapture(ColourSerial), 0);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.failCount(), 1);
    QCOMPARE(camera.frameCount(), 1);

    openManual(camera, MonoSerial, MonoDevice);
    QCOMPARE(camera.frameCount(), 0);
    QCOMPARE(camera.failCount(), 0);
    QCOMPARE(camera.serialNumber(), QString::fromLatin1(MonoSerial));
}

void TestCamera::closeEmitsNullImageBeforeClosed()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    QStringList order;
    connect(&camera, &Camera::newImage, this, [&order](QImage& image) {
        order << (image.isNull() ? QStringLiteral("null image") : QStringLiteral("image"));
    });
    connect(&camera, &Camera::cameraClosed, this, [&order] { order << QStringLiteral("closed"); });

    camera.close();
    QCOMPARE(order, (QStringList{"null image", "closed"}));
    verifyClosed(camera);
}

void TestCamera::closeWhenClosedEmitsNothing()
{
    Camera camera;
    QSignalSpy closed(&camera, &Camera::cameraClosed);
    int images = 0;
    connect(&camera, &Camera::newImage, this, [&images] { ++images; });
    camera.close();
    QCOMPARE(closed.count(), 0);
    QCOMPARE(images, 0);
}

void TestCamera::eventsWhileClosed_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("deviceSignal");
    QTest::addColumn<int>("failures");

    QTest::newRow("frame") << 2 << QString() << 0;
    QTest::newRow("capture failed") << 8 << QString() << 1;
    QTest::newRow("reconnected") << 9 << QString() << 0;
    QTest::newRow("removed") << 128 << QString() << 0;
    QTest::newRow("device removed") << 129 << QStringLiteral("removed") << 0;
    QTest::newRow("device arrived") << 130 << QStringLiteral("arrived") << 0;
    QTest::newRow("unknown") << 77 << QString() << 0;
}

void TestCamera::eventsWhileClosed()
{
    QFETCH(int, event);
    QFETCH(QString, deviceSignal);
    QFETCH(int, failures);

    ProbeCamera camera;
    QSignalSpy removed(&camera, &Camera::cameraRemoved);
    QSignalSpy reconnect(&camera, &Camera::cameraReconnect);
    QSignalSpy removedDevice(&camera, &Camera::cameraRemovedDevice);
    QSignalSpy newDevice(&camera, &Camera::cameraNewDevice);
    QSignalSpy errors(&camera, &Camera::displayError);
    int images = 0;
    connect(&camera, &Camera::newImage, this, [&images] { ++images; });

    camera.eventReceived(event);

    QCOMPARE(removed.count() + reconnect.count() + errors.count() + images, 0);
    QCOMPARE(removedDevice.count(), deviceSignal == QLatin1String("removed") ? 1 : 0);
    QCOMPARE(newDevice.count(), deviceSignal == QLatin1String("arrived") ? 1 : 0);
    QCOMPARE(camera.frameCount(), 0);
    QCOMPARE(camera.failCount(), failures);
}

void TestCamera::unplugAndReplugOpenCamera()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    QSignalSpy removed(&camera, &Camera::cameraRemoved);
    QSignalSpy reconnect(&camera, &Camera::cameraReconnect);
    QSignalSpy removedDevice(&camera, &Camera::cameraRemovedDevice);
    QSignalSpy newDevice(&camera, &Camera::cameraNewDevice);

    QCOMPARE(KivoSimSetPlugged(ColourSerial, 0), 0);
    QTRY_COMPARE(removed.count(), 1);
    QTRY_COMPARE(removedDevice.count(), 1);
    // The session stays open: closing is the window's decision.
    QVERIFY(camera.isOpen());

    QCOMPARE(KivoSimSetPlugged(ColourSerial, 1), 0);
    QTRY_COMPARE(reconnect.count(), 1);
    QTRY_COMPARE(newDevice.count(), 1);
    QCOMPARE(removed.count(), 1);

    // A closed session no longer reports the camera itself.
    camera.close();
    QCOMPARE(KivoSimSetPlugged(ColourSerial, 0), 0);
    QTRY_COMPARE(removedDevice.count(), 2);
    QCOMPARE(removed.count(), 1);
}

void TestCamera::deviceEventsWhileClosed()
{
    Camera camera;
    QSignalSpy removedDevice(&camera, &Camera::cameraRemovedDevice);
    QSignalSpy newDevice(&camera, &Camera::cameraNewDevice);

    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    QVERIFY(removedDevice.wait());
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 1), 0);
    QVERIFY(newDevice.wait());
    QCOMPARE(removedDevice.count(), 1);
}

void TestCamera::supportsCameraCorrection_data()
{
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<uint>("deviceId");
    QTest::addColumn<bool>("queryFails");
    QTest::addColumn<bool>("supported");

    QTest::newRow("camera with a user list")
        << QByteArray(ColourSerial) << ColourDevice << false << true;
    QTest::newRow("camera without") << QByteArray(MonoSerial) << MonoDevice << false << false;
    QTest::newRow("query fails") << QByteArray(ColourSerial) << ColourDevice << true << false;
}

void TestCamera::supportsCameraCorrection()
{
    QFETCH(QByteArray, serial);
    QFETCH(uint, deviceId);
    QFETCH(bool, queryFails);
    QFETCH(bool, supported);

    Camera camera;
    openManual(camera, serial.constData(), deviceId);
    if (queryFails)
        QCOMPARE(KivoSimInjectFault("CamHotPixel:0x8001", 1, 5), 0);
    QCOMPARE(camera.supportsCameraCorrection(), supported);
}

void TestCamera::correctionKeepsCapturing()
{
    Camera camera;
    openManual(camera, ColourSerial, ColourDevice);
    int delivered = 0;
    connect(&camera, &Camera::newImage, this, [&delivered] { ++delivered; });

    camera.setBadPixelCorrection(true);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(delivered, 1);
    camera.setBadPixelCorrection(false);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(delivered, 2);
}

QTEST_GUILESS_MAIN(TestCamera)
#include "tst_camera.moc"
