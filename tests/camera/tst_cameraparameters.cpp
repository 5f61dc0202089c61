#include "camera.h"

#include "kivo_control.h"
#include "testutils.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <stdexcept>

namespace {

// One camera with sensor 0x100 whose timing the expectations below are
// worked out from: a line costs 1280 + 144 clocks, a frame 1024 + 40 lines,
// the slowest frame 8e6 clocks; the pixel clock runs from 5 to 100 MHz.
const char* const TestWorld =
    R"({"cameras":[{"serial":"SIMPARAM","model":"Test","deviceId":1,"sensorId":"0x100",)"
    R"("width":1280,"height":1024,"pixelClock":{"min":5,"max":100,"initial":40},)"
    R"("timing":{"lineOverheadClocks":144,"frameOverheadLines":40,"maxFrameClocks":8000000}}]})";
const char* const TestSerial = "SIMPARAM";
constexpr uint32_t TestDevice = 1;

// A full entry for the test camera's sensor.
const char* const SensorEntry =
    R"(<Sensor ID="100"><Timing exposure="30" pixelclock="60" framerate="12.5"/>)"
    R"(<Gain master="20" red="10" green="0" blue="15"/></Sensor>)";

QByteArray settings(const QByteArray& sensors)
{
    return "<?xml version=\"1.0\"?>\n<CameraSettings>" + sensors + "</CameraSettings>\n";
}

bool near(double actual, double expected)
{
    return std::abs(actual - expected) <= 0.01 * std::abs(expected) + 1e-9;
}

// The four parameters as the camera's signals hand them out, with the
// number of change signals of each.
struct Watched
{
    CameraParameter<int>* pixelclock = nullptr;
    CameraParameter<double>* framerate = nullptr;
    CameraParameter<double>* exposure = nullptr;
    CameraParameter<int>* mastergain = nullptr;
    int pixelclockSignals = 0;
    int framerateSignals = 0;
    int exposureSignals = 0;
    int mastergainSignals = 0;

    void reset() { pixelclockSignals = framerateSignals = exposureSignals = mastergainSignals = 0; }
};

} // namespace

class TestCameraParameters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pixelclockAboveMaximum();
    void pixelclockBoundsFramerate();
    void framerateBoundsExposure();
    void sameFramerateSendsNothing();
    void echoWhileBusyIsDropped();
    void mastergainIsClamped_data();
    void mastergainIsClamped();
    void relativeSetters();
    void frameTimeWithoutStepsIsSafe();
    void updatePixelclockThrows();
    void autoConfig_data();
    void autoConfig();
    void fallbackHalvesPixelclock_data();
    void fallbackHalvesPixelclock();
    void shippedFile_data();
    void shippedFile();

private:
    void open(const char* serial, uint32_t deviceId);

    TestUtils::IsolatedEnvironment environment;
    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
    std::unique_ptr<Camera> camera;
    Watched watched;
};

void TestCameraParameters::init()
{
    QCOMPARE(KivoSimLoadWorld(TestWorld), 0);
    // cameraparameter.xml is read from the current directory.
    workDir = std::make_unique<QTemporaryDir>();
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestCameraParameters::cleanup()
{
    camera.reset();
    QDir::setCurrent(previousDir);
    workDir.reset();
}

void TestCameraParameters::open(const char* serial, uint32_t deviceId)
{
    camera = std::make_unique<Camera>();
    watched = Watched();
    connect(camera.get(), &Camera::pixelclockChanged, this, [this](CameraParameter<int>& p) {
        watched.pixelclock = &p;
        ++watched.pixelclockSignals;
    });
    connect(camera.get(), &Camera::framerateChanged, this, [this](CameraParameter<double>& p) {
        watched.framerate = &p;
        ++watched.framerateSignals;
    });
    connect(camera.get(), &Camera::exposureChanged, this, [this](CameraParameter<double>& p) {
        watched.exposure = &p;
        ++watched.exposureSignals;
    });
    connect(camera.get(), &Camera::mastergainChanged, this, [this](CameraParameter<int>& p) {
        watched.mastergain = &p;
        ++watched.mastergainSignals;
    });
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    camera->open(deviceId);
    QVERIFY(watched.pixelclock && watched.framerate && watched.exposure && watched.mastergain);
    watched.reset();
}

void TestCameraParameters::pixelclockAboveMaximum()
{
    open(TestSerial, TestDevice);
    const int max = watched.pixelclock->max;
    camera->setPixelclock(max + 500);
    QCOMPARE(watched.pixelclock->value, max);
    QCOMPARE(watched.pixelclockSignals, 1);
    QCOMPARE(CamPixelClock(camera->cameraHandle(), CAM_GET_CURRENT), max);
}

void TestCameraParameters::pixelclockBoundsFramerate()
{
    open(TestSerial, TestDevice);
    camera->setPixelclock(watched.pixelclock->max);
    const double fastClockMax = watched.framerate->max;
    camera->setPixelclock(watched.pixelclock->min);
    QVERIFY(watched.framerate->max < fastClockMax);

    double minTime = 0;
    double maxTime = 0;
    double interval = 0;
    QCOMPARE(CamFrameTimeRange(camera->cameraHandle(), &minTime, &maxTime, &interval), 0);
    QVERIFY(near(watched.framerate->max, 1.0 / minTime));
    QVERIFY(near(watched.framerate->min, 1.0 / maxTime));
    QVERIFY(watched.framerate->value <= watched.framerate->max * 1.0001);
    // The span over the frame-time steps.
    QVERIFY(near(watched.framerate->inc,
                 (1.0 / minTime - 1.0 / maxTime) / ((maxTime - minTime) / interval)));
}

void TestCameraParameters::framerateBoundsExposure()
{
    open(TestSerial, TestDevice);
    camera->setFramerate(watched.framerate->max);
    const double shortFrameMax = watched.exposure->max;
    QVERIFY(shortFrameMax <= 1000.0 / watched.framerate->value);

    camera->setFramerate(watched.framerate->min);
    QVERIFY(watched.exposure->max > shortFrameMax);
    QVERIFY(watched.exposure->max <= 1000.0 / watched.framerate->value);
}

void TestCameraParameters::sameFramerateSendsNothing()
{
    open(TestSerial, TestDevice);
    camera->setFramerate(10.0);
    watched.reset();
    // A pending fault shows whether the camera was asked for a frame rate.
    QCOMPARE(KivoSimInjectFault("CamFrameRate", 1, 5), 0);
    camera->setFramerate(watched.framerate->value);
    QCOMPARE(watched.framerateSignals, 0);
    QCOMPARE(watched.exposureSignals, 1);
    double actual = 0;
    QCOMPARE(CamFrameRate(camera->cameraHandle(), 10.0, &actual), 5);
}

void TestCameraParameters::echoWhileBusyIsDropped()
{
    open(TestSerial, TestDevice);
    // A widget that answers every change with its own, stale value.
    connect(camera.get(), &Camera::pixelclockChanged, this,
            [this] { camera->setPixelclock(watched.pixelclock->min); });
    connect(camera.get(), &Camera::mastergainChanged, this, [this] { camera->setMastergain(0); });

    camera->setPixelclock(30);
    QCOMPARE(watched.pixelclock->value, 30);
    QCOMPARE(watched.pixelclockSignals, 1);
    camera->setMastergain(70);
    QCOMPARE(watched.mastergain->value, 70);
    QCOMPARE(watched.mastergainSignals, 1);
}

void TestCameraParameters::mastergainIsClamped_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("expected");

    QTest::newRow("above maximum") << 150 << 100;
    QTest::newRow("below minimum") << -5 << 0;
    QTest::newRow("inside") << 37 << 37;
}

void TestCameraParameters::mastergainIsClamped()
{
    QFETCH(int, requested);
    QFETCH(int, expected);

    open(TestSerial, TestDevice);
    camera->setMastergain(requested);
    QCOMPARE(watched.mastergain->value, expected);
    QCOMPARE(CamGain(camera->cameraHandle(), CAM_GET_CURRENT, -1, -1, -1), expected);
}

void TestCameraParameters::relativeSetters()
{
    open(TestSerial, TestDevice);
    const int clockMin = watched.pixelclock->min;
    camera->setPixelclockRelative(clockMin + 35);
    QCOMPARE(watched.pixelclock->value, 35);

    // A step index far beyond the range ends at the maximum.
    camera->setExposureRelative(1000000);
    QVERIFY(near(watched.exposure->value, watched.exposure->max));
    camera->setFramerateRelative(static_cast<int>(watched.framerate->min));
    QVERIFY(near(watched.framerate->value, watched.framerate->min));
}

void TestCameraParameters::frameTimeWithoutStepsIsSafe()
{
    open(TestSerial, TestDevice);
    // The failed query leaves every frame time at 1 s: one rate, no steps.
    QCOMPARE(KivoSimInjectFault("CamFrameTimeRange", 1, 5), 0);
    camera->updateFramerate();
    QCOMPARE(watched.framerate->min, 1.0);
    QCOMPARE(watched.framerate->max, 1.0);
    QCOMPARE(watched.framerate->inc, 0.0);

    watched.reset();
    const double before = watched.framerate->value;
    camera->setFramerateRelative(3);
    QCOMPARE(watched.framerateSignals, 0);
    QCOMPARE(watched.framerate->value, before);
    QVERIFY(std::isfinite(watched.framerate->value));
}

void TestCameraParameters::updatePixelclockThrows()
{
    open(TestSerial, TestDevice);
    QCOMPARE(KivoSimInjectFault("CamPixelClockRange", 1, 5), 0);
    QVERIFY_EXCEPTION_THROWN(camera->updatePixelclock(), std::runtime_error);
}

void TestCameraParameters::autoConfig_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("message");
    QTest::addColumn<int>("pixelclock");
    QTest::addColumn<double>("framerate");
    QTest::addColumn<double>("exposure");
    QTest::addColumn<int>("master");

    // The one-frame-per-second set-up on the test camera: 40 MHz halves to
    // 10 MHz (5 MHz would not exceed the minimum), where 1.25 fps is slowest.
    const int fbClock = 10;
    const double fbRate = 1.25;
    const double fbExposure = 300.0;
    const int fbMaster = 50;
    const QByteArray entry(SensorEntry);

    QTest::newRow("missing file") << QByteArray() << true << fbClock << fbRate << fbExposure
                                  << fbMaster;
    QTest::newRow("malformed xml") << QByteArray("<CameraSettings><Sensor ID=\"100\">") << true
                                   << fbClock << fbRate << fbExposure << fbMaster;
    QTest::newRow("wrong root") << QByteArray("<Settings>" + entry + "</Settings>") << false
                                << fbClock << fbRate << fbExposure << fbMaster;
    QTest::newRow("hexadecimal id") << settings(entry) << false << 60 << 12.5 << 30.0 << 20;
    QTest::newRow("id read as hexadecimal, not decimal")
        << settings(QByteArray(entry).replace("ID=\"100\"", "ID=\"256\"")) << false << fbClock
        << fbRate << fbExposure << fbMaster;
    QTest::newRow("id not hexadecimal")
        << settings(QByteArray(entry).replace("ID=\"100\"", "ID=\"zz\"")) << false << fbClock
        << fbRate << fbExposure << fbMaster;
    QTest::newRow("other sensor only")
        << settings(QByteArray(entry).replace("ID=\"100\"", "ID=\"101\"")) << false << fbClock
        << fbRate << fbExposure << fbMaster;
    QTest::newRow("duplicate sensor entries, first wins")
        << settings(entry + QByteArray(entry).replace("pixelclock=\"60\"", "pixelclock=\"70\""))
        << false << 60 << 12.5 << 30.0 << 20;
    QTest::newRow("other sensors skipped")
        << settings(R"(<Comment/><Sensor ID="101"><Timing pixelclock="70"/><Gain/></Sensor>)" +
                    entry)
        << false << 60 << 12.5 << 30.0 << 20;
    QTest::newRow("missing Timing") << settings(R"(<Sensor ID="100"><Gain master="20"/></Sensor>)")
                                    << false << fbClock << fbRate << fbExposure << fbMaster;
    QTest::newRow("missing Gain") << settings(
                                         R"(<Sensor ID="100"><Timing pixelclock="60"/></Sensor>)")
                                  << false << fbClock << fbRate << fbExposure << fbMaster;
    // 100 MHz: (1280 + 144) x (1024 + 40) clocks give 66.0 fps at most.
    QTest::newRow("values out of range")
        << settings(R"(<Sensor ID="100"><Timing exposure="-5" pixelclock="500" )"
                    R"(framerate="1000"/><Gain master="250"/></Sensor>)")
        << false << 100 << 66.0 << 1424.0 / 100e3 << 100;
    // 5 MHz: the slowest frame is 8e6 clocks, 1.6 s; one line is 0.2848 ms.
    QTest::newRow("missing attributes count as 0")
        << settings(R"(<Sensor ID="100"><Timing/><Gain/></Sensor>)") << false << 5 << 0.625
        << 1424.0 / 5e3 << 0;
}

void TestCameraParameters::autoConfig()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, message);
    QFETCH(int, pixelclock);
    QFETCH(double, framerate);
    QFETCH(double, exposure);
    QFETCH(int, master);

    if (!file.isNull()) {
        QFile xml(QStringLiteral("cameraparameter.xml"));
        QVERIFY(xml.open(QIODevice::WriteOnly));
        xml.write(file);
    }
    open(TestSerial, TestDevice);
    QSignalSpy errors(camera.get(), &Camera::displayError);

    camera->setAutoConfig();

    QCOMPARE(errors.count(), message ? 1 : 0);
    if (message)
        QCOMPARE(errors.at(0).at(0).toString(),
                 QStringLiteral("Can't open camera parameter file."));
    const uint32_t handle = camera->cameraHandle();
    QCOMPARE(watched.pixelclock->value, pixelclock);
    QCOMPARE(CamPixelClock(handle, CAM_GET_CURRENT), pixelclock);
    QVERIFY2(near(watched.framerate->value, framerate),
             qPrintable(QString::number(watched.framerate->value)));
    QVERIFY2(near(watched.exposure->value, exposure),
             qPrintable(QString::number(watched.exposure->value)));
    QCOMPARE(watched.mastergain->value, master);
    QCOMPARE(CamGain(handle, CAM_GET_CURRENT, -1, -1, -1), master);
}

void TestCameraParameters::fallbackHalvesPixelclock_data()
{
    QTest::addColumn<QByteArray>("timing");
    QTest::addColumn<int>("pixelclock");

    // 64 x 48 at 40 MHz, slowest frame 8e6 clocks: 5 fps, 2.5, 1.25, 0.625.
    QTest::newRow("until one frame per second")
        << QByteArray(R"("pixelClock":{"min":1,"max":100,"initial":40})") << 5;
    // 80e6 clocks are 2 s at 40 MHz: slow enough without halving.
    QTest::newRow("already slow enough")
        << QByteArray(R"("pixelClock":{"min":1,"max":100,"initial":40},)"
                      R"("timing":{"maxFrameClocks":80000000})")
        << 40;
    // With a 12 MHz minimum, 20 MHz would halve to 10, below it.
    QTest::newRow("until the minimum clock")
        << QByteArray(R"("pixelClock":{"min":12,"max":100,"initial":40})") << 20;
}

void TestCameraParameters::fallbackHalvesPixelclock()
{
    QFETCH(QByteArray, timing);
    QFETCH(int, pixelclock);

    const QByteArray world =
        R"({"cameras":[{"serial":"SIMTEST","model":"Test","deviceId":7,"width":64,"height":48,)" +
        timing + "}]}";
    QCOMPARE(KivoSimLoadWorld(world.constData()), 0);
    open("SIMTEST", 7);
    camera->setAutoConfig();
    QCOMPARE(watched.pixelclock->value, pixelclock);
    QVERIFY(near(watched.framerate->value, std::max(1.0, watched.framerate->min)));
    QCOMPARE(watched.mastergain->value, 50);
}

void TestCameraParameters::shippedFile_data()
{
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<uint>("deviceId");
    QTest::addColumn<int>("pixelclock");
    QTest::addColumn<double>("framerate");
    QTest::addColumn<double>("exposure");

    QTest::newRow("colour camera") << QByteArray("SIM0001280") << 1u << 40 << 10.0 << 40.0;
    QTest::newRow("monochrome camera") << QByteArray("SIM0000752") << 2u << 27 << 20.0 << 25.0;
}

void TestCameraParameters::shippedFile()
{
    QFETCH(QByteArray, serial);
    QFETCH(uint, deviceId);
    QFETCH(int, pixelclock);
    QFETCH(double, framerate);
    QFETCH(double, exposure);

    // The example next to the sources, where scripts/run.sh starts the program,
    // for the cameras of the built-in world.
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    QVERIFY(QDir::setCurrent(QStringLiteral(SPECKWRIGHT_SOURCE_DIR)));
    open(serial.constData(), deviceId);
    QSignalSpy errors(camera.get(), &Camera::displayError);
    camera->setAutoConfig();
    QCOMPARE(errors.count(), 0);
    QCOMPARE(watched.pixelclock->value, pixelclock);
    QVERIFY(near(watched.framerate->value, framerate));
    QVERIFY(near(watched.exposure->value, exposure));
    QCOMPARE(watched.mastergain->value, 10);
}

QTEST_GUILESS_MAIN(TestCameraParameters)
#include "tst_cameraparameters.moc"
