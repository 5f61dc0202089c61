#include "camera.h"
#include "cameralistmodel.h"

#include "kivo_control.h"
#include "testutils.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <thread>
#include <tuple>

using TestUtils::errorText;

namespace {

const char* const ColourSerial = "SIM0001280";
const char* const MonoSerial = "SIM0000752";
// Polls far apart, so that only the test refreshes.
constexpr int NoPoll = 3600000;

// "device id status" per row, top to bottom.
QString describe(const CameraListModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows << model.index(row, 1).data().toString() + QLatin1Char(' ') +
                    model.index(row, 4).data().toString();
    return rows.join(QLatin1String(", "));
}

// A world of one 64 x 48 camera, "SIMTEST" with device id 7, and extra fields.
QByteArray world(const QString& fields)
{
    return R"({"cameras":[{"serial":"SIMTEST","model":"Test","deviceId":7,"width":64,"height":48)" +
           QByteArray(fields.isEmpty() ? "" : ",") + fields.toLatin1() + "}]}";
}

// The library's text of a failure injected with status 5.
QString libraryFailure(const QString& operation)
{
    return QStringLiteral("Simulated failure of %1 (status 5).").arg(operation);
}

// Takes events the library would not send in the camera's state.
class ProbeCamera : public Camera
{
public:
    using Camera::eventReceived;
};

// One camera with sensor 0x100 whose timing the expectations below are
// worked out from: a line costs 1280 + 144 clocks, a frame 1024 + 40 lines,
// the slowest frame 8e6 clocks; the pixel clock runs from 5 to 100 MHz.
const char* const TestWorld =
    R"({"cameras":[{"serial":"SIMPARAM","model":"Test","deviceId":1,"sensorId":"0x100",)"
    R"("width":1280,"height":1024,"pixelClock":{"min":5,"max":100,"initial":40},)"
    R"("timing":{"lineOverheadClocks":144,"frameOverheadLines":40,"maxFrameClocks":8000000}}]})";

QString xml(const QString& sensors)
{
    return "<?xml version=\"1.0\"?>\n<CameraSettings>" + sensors + "</CameraSettings>\n";
}

} // namespace

class TestCamera : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void openFailureLeavesSessionClosed_data();
    void openFailureLeavesSessionClosed();
    void openFrameAndClose_data();
    void openFrameAndClose();
    void frameDuringNestedLoopIsNotEmittedAgain();
    void slowReceiverSeesOnlyTheNewestFrame();
    void failuresAndCorrectionWhileCapturing();
    void eventsWhileClosed();
    void cameraList();
    void settingValues();
    void autoConfig_data();
    void autoConfig();

private:
    void open(Camera& camera, const char* serial, uint32_t deviceId);
    void verifyClosed(const Camera& camera);
    // Opens `watched` and keeps the parameters its signals hand out.
    void watch(const char* serial, uint32_t deviceId);
    // Pixel clock, frame rate, exposure and master gain to three digits.
    QString values() const;

    TestUtils::IsolatedEnvironment environment;
    // cameraparameter.xml is read from the current directory.
    QTemporaryDir workDir;
    std::unique_ptr<Camera> watched;
    CameraParameter<int>* pixelclock = nullptr;
    CameraParameter<double>* framerate = nullptr;
    CameraParameter<double>* exposure = nullptr;
    CameraParameter<int>* mastergain = nullptr;
};

void TestCamera::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    KivoSimClearFaults();
    watched.reset();
    QVERIFY(QDir::setCurrent(workDir.path()));
    QFile::remove(QStringLiteral("cameraparameter.xml"));
}

void TestCamera::open(Camera& camera, const char* serial, uint32_t deviceId)
{
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    QCOMPARE(errorText([&] { camera.open(deviceId); }), QString());
}

void TestCamera::verifyClosed(const Camera& camera)
{
    QVERIFY(!camera.isOpen());
    QCOMPARE(camera.cameraHandle(), 0u);
    QCOMPARE(camera.bufferCount(), 0);
    QVERIFY(!camera.watchesCameraEvents());
}

void TestCamera::watch(const char* serial, uint32_t deviceId)
{
    watched = std::make_unique<Camera>();
    const auto keep = [this](auto signal, auto*& parameter) {
        connect(watched.get(), signal, this, [&parameter](auto& changed) { parameter = &changed; });
    };
    keep(&Camera::pixelclockChanged, pixelclock);
    keep(&Camera::framerateChanged, framerate);
    keep(&Camera::exposureChanged, exposure);
    keep(&Camera::mastergainChanged, mastergain);
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    watched->open(deviceId);
    QVERIFY(pixelclock && framerate && exposure && mastergain);
}

QString TestCamera::values() const
{
    return QString::asprintf("%d %.3g %.3g %d", pixelclock->value, framerate->value,
                             exposure->value, mastergain->value);
}

void TestCamera::openFailureLeavesSessionClosed_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");

    // A library call made to fail, or fields of the camera. Every call of the
    // open fails in turn in the fault injection suite.
    const QString events = QStringLiteral("The camera's events could not be set up: ");
    QTest::newRow("open refused") << QStringLiteral("CamOpen") << "Could not initialize camera.";
    QTest::newRow("image memory") << QStringLiteral("CamAllocBuffer")
                                  << "Can't allocate image memory.";
    QTest::newRow("event registration") << "CamEvent:1" << events + libraryFailure("CamEvent");
    QTest::newRow("capture start")
        << QStringLiteral("CamStartCapture")
        << "Capture could not be started: " + libraryFailure("CamStartCapture");
    QTest::newRow("sensor 0x20B") << QStringLiteral(R"("sensorId":"0x20B")")
                                  << "Unsupported camera type";
    QTest::newRow("colour mode 2")
        << QStringLiteral(R"("forcedColorMode":2)") << "Color Mode not supported.";
}

void TestCamera::openFailureLeavesSessionClosed()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);

    const bool fault = setup.startsWith(QLatin1String("Cam"));
    QCOMPARE(KivoSimLoadWorld(world(fault ? QString() : setup).constData()), 0);
    KivoSimSetManualFrames("SIMTEST", 1);
    // Made first: its device event thread registers events of its own.
    Camera camera;
    if (fault)
        QCOMPARE(KivoSimInjectFault(setup.toLatin1().constData(), 2, 5), 0);

    QCOMPARE(errorText([&] { camera.open(7); }), message);
    verifyClosed(camera);
    // The camera was released: a second attempt fails only for its own reasons.
    KivoSimClearFaults();
    QCOMPARE(errorText([&] { camera.open(7); }), fault ? QString() : message);
}

void TestCamera::openFrameAndClose_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("message");

    const int indexed = QImage::Format_Indexed8;
    const QString upload = QStringLiteral("Upload of new firmware required. (approx. %1 seconds)");
    QTest::newRow("raw bayer") << QString() << 11 << QString() << indexed << QString();
    QTest::newRow("32-bit colour")
        << R"("forcedColorMode":0)" << 0 << QString() << int(QImage::Format_RGB32) << QString();
    QTest::newRow("firmware upload, whole seconds")
        << R"("firmwareUploadMs":1500)" << 11 << QString() << indexed << upload.arg(1);
    QTest::newRow("firmware upload, duration unknown")
        << R"("firmwareUploadMs":1500)" << 11 << "CamDuration" << indexed << upload.arg(25);
}

void TestCamera::openFrameAndClose()
{
    QFETCH(QString, fields);
    QFETCH(int, colorMode);
    QFETCH(QString, fault);
    QFETCH(int, format);
    QFETCH(QString, message);

    QCOMPARE(KivoSimLoadWorld(world(fields).constData()), 0);
    if (!fault.isEmpty())
        QCOMPARE(KivoSimInjectFault(fault.toLatin1().constData(), 1, 5), 0);
    Camera camera;
    QStringList order;
    connect(&camera, &Camera::displayError, this,
            [&order](const QString& text, int ms) { order << text + ' ' + QString::number(ms); });
    connect(&camera, &Camera::cameraOpened, this, [&order] { order << "opened"; });
    connect(&camera, &Camera::cameraClosed, this, [&order] { order << "closed"; });
    QImage received;
    bool inRingBuffer = false;
    connect(&camera, &Camera::newImage, this, [&](QImage& image) {
        order << (image.isNull() ? "null image" : "image");
        // No copy: the image is the library's latest buffer itself.
        char* latest = nullptr;
        CamRingLatest(camera.cameraHandle(), nullptr, nullptr, &latest);
        inRingBuffer = image.constBits() == reinterpret_cast<const uchar*>(latest);
        received = image.copy();
    });

    open(camera, "SIMTEST", 7);
    QCOMPARE(camera.bufferCount(), 3);
    QVERIFY(camera.watchesCameraEvents());
    QCOMPARE(camera.sensorSize(), QSize(64, 48));
    QCOMPARE(camera.currentColorMode(), colorMode);

    QByteArray pixels(64 * 48 * (format == QImage::Format_RGB32 ? 4 : 1), 0);
    for (int i = 0; i < pixels.size(); ++i)
        pixels[i] = char(i * 7);
    QCOMPARE(KivoSimDeliverFrame("SIMTEST", reinterpret_cast<const uint8_t*>(pixels.constData()),
                                 pixels.size()),
             0);
    QTRY_VERIFY(!received.isNull());
    QVERIFY(inRingBuffer);
    QCOMPARE(int(received.format()), format);
    QCOMPARE(received.size(), QSize(64, 48));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(received.constBits()), pixels.size()),
             pixels);
    QCOMPARE(camera.frameCount(), 1);

    camera.close();
    QCOMPARE(order.join(", "), (message.isEmpty() ? QString() : message + " 2000, ") +
                                   "opened, image, null image, closed");
    verifyClosed(camera);
    // The last camera's sensor size stays for the window.
    QCOMPARE(camera.sensorSize(), QSize(64, 48));
}

void TestCamera::frameDuringNestedLoopIsNotEmittedAgain()
{
    Camera camera;
    open(camera, ColourSerial, 1);
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

void TestCamera::slowReceiverSeesOnlyTheNewestFrame()
{
    Camera camera;
    open(camera, ColourSerial, 1);
    int emissions = 0;
    connect(&camera, &Camera::newImage, this, [&emissions](QImage&) {
        if (++emissions > 1)
            return;
        // A receiver busy for two more frames without returning to the event loop.
        for (int frame = 0; frame < 2; ++frame)
            QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });

    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.frameCount(), 3);
    // Of the two frames queued meanwhile only the newer one is shown.
    QTest::qWait(50);
    QCOMPARE(emissions, 2);
}

void TestCamera::failuresAndCorrectionWhileCapturing()
{
    Camera camera;
    open(camera, ColourSerial, 1);
    QSignalSpy errors(&camera, &Camera::displayError);
    int delivered = 0;
    connect(&camera, &Camera::newImage, this, [&delivered] { ++delivered; });

    // A failed capture is only counted; a frame whose buffer is unknown is
    // counted, dropped and reported.
    QCOMPARE(KivoSimFailNextCapture(ColourSerial), 0);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.failCount(), 1);
    QCOMPARE(KivoSimInjectFault("CamRingLatest", 1, 5), 0);
    QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
    QTRY_COMPARE(camera.frameCount(), 1);
    QCOMPARE(delivered, 0);
    QCOMPARE(QList<QVariantList>(errors),
             (QList<QVariantList>{{libraryFailure("CamRingLatest"), 2000}}));
    // Switching the camera's correction keeps it capturing.
    for (bool on : {true, false}) {
        camera.setBadPixelCorrection(on);
        QCOMPARE(KivoSimDeliverFrame(ColourSerial, nullptr, 0), 0);
        QTRY_COMPARE(delivered, on ? 1 : 2);
    }
    QVERIFY(camera.supportsCameraCorrection());
    QCOMPARE(KivoSimInjectFault("CamHotPixel:0x8001", 1, 5), 0);
    QVERIFY(!camera.supportsCameraCorrection());
    // Opening again starts both counters afresh.
    open(camera, ColourSerial, 1);
    QCOMPARE(camera.frameCount() + camera.failCount(), 0);
}

void TestCamera::eventsWhileClosed()
{
    ProbeCamera camera;
    QSignalSpy removedDevice(&camera, &Camera::cameraRemovedDevice);
    QSignalSpy newDevice(&camera, &Camera::cameraNewDevice);
    int others = 0;
    for (const auto signal :
         {&Camera::cameraRemoved, &Camera::cameraReconnect, &Camera::cameraClosed})
        connect(&camera, signal, this, [&others] { ++others; });
    connect(&camera, &Camera::newImage, this, [&others] { ++others; });
    connect(&camera, &Camera::displayError, this, [&others] { ++others; });

    // Closing a closed session does nothing either. Only the device events
    // and the count of failed captures remain.
    camera.close();
    for (int event : {int(CAM_EV_FRAME), int(CAM_EV_CAPTURE_FAILED), int(CAM_EV_DEVICE_RECONNECTED),
                      int(CAM_EV_DEVICE_REMOVED), int(CAM_EV_REMOVAL), int(CAM_EV_NEW_DEVICE), 77})
        camera.eventReceived(event);

    QCOMPARE(others, 0);
    QCOMPARE(removedDevice.count(), 1);
    QCOMPARE(newDevice.count(), 1);
    QCOMPARE(camera.frameCount(), 0);
    QCOMPARE(camera.failCount(), 1);
}

void TestCamera::cameraList()
{
    Camera camera;
    open(camera, ColourSerial, 1);
    CameraListModel model(NoPoll);
    model.setOpenCamera(&camera);
    // The third camera is held by another program. A camera appended by this
    // refresh is not matched with the open one yet.
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 2 free, 3 in use"));
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 opened, 2 free, 3 in use"));

    // Every column sorts; a selection made before follows its row.
    const QPersistentModelIndex colour = model.index(0, 3);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);
    const QList<std::tuple<int, Qt::SortOrder, QString>> sorts{
        {1, Qt::DescendingOrder, "3 in use, 2 free, 1 opened"},
        {2, Qt::AscendingOrder, "1 opened, 3 in use, 2 free"},
        {3, Qt::AscendingOrder, "2 free, 1 opened, 3 in use"},
        {4, Qt::AscendingOrder, "2 free, 3 in use, 1 opened"},
        {0, Qt::AscendingOrder, "1 opened, 2 free, 3 in use"},
        {5, Qt::DescendingOrder, "1 opened, 2 free, 3 in use"}};
    for (const auto& [column, order, rows] : sorts) {
        model.sort(column, order);
        QCOMPARE(describe(model), rows);
    }
    QCOMPARE(layout.count(), 5);
    QCOMPARE(QList<QVariantList>(errors), (QList<QVariantList>{{"Sort Error"}}));
    QCOMPARE(colour.data().toString(), QString::fromLatin1(ColourSerial));

    model.clearOpenCamera();
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 2 free, 3 in use"));
    camera.close();
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 2 free, 3 in use"));

    // Changes keep the other rows in place; the same cameras again change nothing.
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.updateList();
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 3 in use"));
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 1), 0);
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 3 in use, 2 free"));
    QCOMPARE(KivoSimSetInUse(ColourSerial, 1), 0);
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 3 in use, 2 free"));
    QCOMPARE(QList<QVariantList>(data).value(0).mid(0, 2),
             (QVariantList{model.index(0, 0), model.index(0, 4)}));
    // With no camera left, all rows go at once.
    QCOMPARE(KivoSimLoadWorld(R"({"cameras":[]})"), 0);
    model.updateList();
    model.updateList();
    const QVariant root = QVariant::fromValue(QModelIndex());
    QCOMPARE(QList<QVariantList>(removed), (QList<QVariantList>{{root, 1, 1}, {root, 0, 2}}));
    QCOMPARE(QList<QVariantList>(inserted), (QList<QVariantList>{{root, 2, 2}}));
    QCOMPARE(data.count(), 1);
    QCOMPARE(changed.count(), 4);
}

void TestCamera::settingValues()
{
    QCOMPARE(KivoSimLoadWorld(TestWorld), 0);
    watch("SIMPARAM", 1);
    const uint32_t handle = watched->cameraHandle();
    // The frame rate's range follows the pixel clock, the exposure's the frame rate.
    watched->setPixelclock(pixelclock->max);
    const double fastClockMax = framerate->max;
    watched->setPixelclock(pixelclock->min);
    QVERIFY(framerate->max < fastClockMax);
    QVERIFY(framerate->value <= framerate->max * 1.0001);

    watched->setFramerate(framerate->max);
    const double shortFrameMax = exposure->max;
    QVERIFY(shortFrameMax <= 1000.0 / framerate->value);
    watched->setFramerate(framerate->min);
    QVERIFY(exposure->max > shortFrameMax);
    QVERIFY(exposure->max <= 1000.0 / framerate->value);
    // Stored and sent clamped.
    watched->setPixelclock(600);
    watched->setMastergain(-5);
    QCOMPARE(QString::number(pixelclock->value) + ' ' + QString::number(mastergain->value),
             QStringLiteral("100 0"));
    QCOMPARE(CamPixelClock(handle, CAM_GET_CURRENT), 100);
    QCOMPARE(CamGain(handle, CAM_GET_CURRENT, -1, -1, -1), 0);
    watched->setFramerate(10.0);
    // A widget that answers every change with its own, stale value.
    connect(watched.get(), &Camera::pixelclockChanged, this,
            [this] { watched->setPixelclock(pixelclock->min); });
    connect(watched.get(), &Camera::mastergainChanged, this, [this] { watched->setMastergain(0); });
    // A pending fault shows whether the camera was asked for a frame rate.
    QCOMPARE(KivoSimInjectFault("CamFrameRate", 1, 5), 0);

    watched->setFramerate(framerate->value);
    double actual = 0;
    QCOMPARE(CamFrameRate(handle, 10.0, &actual), 5);
    watched->setPixelclock(30);
    watched->setMastergain(70);

    QCOMPARE(pixelclock->value, 30);
    QCOMPARE(mastergain->value, 70);
}

void TestCamera::autoConfig_data()
{
    QTest::addColumn<QString>("world");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("values");

    // Without a usable entry the test camera runs at one frame per second:
    // 40 MHz halves to 10 MHz (5 MHz would not exceed the minimum), where
    // 1.25 fps is the slowest.
    const QString fallback = QStringLiteral("10 1.25 300 50");
    QTest::newRow("missing file") << "" << QString() << fallback;
    QTest::newRow("hexadecimal id")
        << ""
        << xml(R"(<Sensor ID="100"><Timing exposure="30" pixelclock="60" framerate="12.5"/>)"
               R"(<Gain master="20" red="10" green="0" blue="15"/></Sensor>)")
        << "60 12.5 30 20";
    // 100 MHz: (1280 + 144) x (1024 + 40) clocks give 66.0 fps at most; one
    // line takes 0.01424 ms.
    QTest::newRow("values out of range")
        << ""
        << xml(R"(<Sensor ID="100"><Timing exposure="-5" pixelclock="500" )"
               R"(framerate="1000"/><Gain master="250"/></Sensor>)")
        << "100 66 0.0142 100";
    // 5 MHz: the slowest frame is 8e6 clocks, 1.6 s; one line takes 0.2848 ms.
    QTest::newRow("missing attributes count as 0")
        << "" << xml(R"(<Sensor ID="100"><Timing/><Gain/></Sensor>)") << "5 0.625 0.285 0";
    // A 64 x 48 camera without an entry, at 40 MHz with a slowest frame of
    // 8e6 clocks: 5 fps, 2.5 at 20 MHz, 1.25 at 10 MHz, 0.625 at 5 MHz.
    QTest::newRow("halved until one frame per second")
        << R"("pixelClock":{"min":1,"max":100,"initial":40})" << QString() << "5 1 300 50";
    // With a 12 MHz minimum, 20 MHz would halve to 10, below it.
    QTest::newRow("halved until the minimum clock")
        << R"("pixelClock":{"min":12,"max":100,"initial":40})" << QString() << "20 2.5 300 50";
}

void TestCamera::autoConfig()
{
    QFETCH(QString, world);
    QFETCH(QString, file);
    QFETCH(QString, values);

    if (!file.isNull())
        QVERIFY(TestUtils::writeFile(QStringLiteral("cameraparameter.xml"), file.toUtf8()));
    QCOMPARE(KivoSimLoadWorld(world.isEmpty() ? TestWorld : ::world(world).constData()), 0);
    world.isEmpty() ? watch("SIMPARAM", 1) : watch("SIMTEST", 7);
    QSignalSpy errors(watched.get(), &Camera::displayError);

    watched->setAutoConfig();

    // Only a missing file is reported.
    QCOMPARE(errors.value(0).value(0).toString(),
             file.isNull() ? QStringLiteral("Can't open camera parameter file.") : QString());
    QCOMPARE(this->values(), values);
    const uint32_t handle = watched->cameraHandle();
    QCOMPARE(CamPixelClock(handle, CAM_GET_CURRENT), pixelclock->value);
    QCOMPARE(CamGain(handle, CAM_GET_CURRENT, -1, -1, -1), mastergain->value);
}

QTEST_GUILESS_MAIN(TestCamera)
#include "tst_camera.moc"
