#include "camera.h"

#include "kivo_control.h"
#include "testutils.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

// One camera with sensor 0x100 whose timing the expectations below are
// worked out from: a line costs 1280 + 144 clocks, a frame 1024 + 40 lines,
// the slowest frame 8e6 clocks; the pixel clock runs from 5 to 100 MHz.
const char* const TestWorld =
    R"({"cameras":[{"serial":"SIMPARAM","model":"Test","deviceId":1,"sensorId":"0x100",)"
    R"("width":1280,"height":1024,"pixelClock":{"min":5,"max":100,"initial":40},)"
    R"("timing":{"lineOverheadClocks":144,"frameOverheadLines":40,"maxFrameClocks":8000000}}]})";

// A full entry for the test camera's sensor.
const QString entry = QStringLiteral(R"(<Sensor ID="100"><Timing exposure="30" pixelclock="60" )"
                                     R"(framerate="12.5"/><Gain master="20" red="10" green="0" )"
                                     R"(blue="15"/></Sensor>)");

QString xml(const QString& sensors)
{
    return "<?xml version=\"1.0\"?>\n<CameraSettings>" + sensors + "</CameraSettings>\n";
}

bool near(double actual, double expected)
{
    return std::abs(actual - expected) <= 0.01 * std::abs(expected) + 1e-9;
}

struct Signals
{
    int pixelclock = 0;
    int framerate = 0;
    int exposure = 0;
    int mastergain = 0;
};

} // namespace

class TestCameraParameters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rangesFollowEachOther();
    void settingValues();
    void autoConfig_data();
    void autoConfig();

private:
    // Opens the camera and keeps the parameters its signals hand out.
    void open(const char* serial, uint32_t deviceId);
    // Pixel clock, frame rate, exposure and master gain to three digits.
    QString values() const;

    TestUtils::IsolatedEnvironment environment;
    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
    std::unique_ptr<Camera> camera;
    CameraParameter<int>* pixelclock = nullptr;
    CameraParameter<double>* framerate = nullptr;
    CameraParameter<double>* exposure = nullptr;
    CameraParameter<int>* mastergain = nullptr;
    Signals emitted;
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
    const auto keep = [this](auto signal, auto*& parameter, int& count) {
        connect(camera.get(), signal, this, [&parameter, &count](auto& changed) {
            parameter = &changed;
            ++count;
        });
    };
    keep(&Camera::pixelclockChanged, pixelclock, emitted.pixelclock);
    keep(&Camera::framerateChanged, framerate, emitted.framerate);
    keep(&Camera::exposureChanged, exposure, emitted.exposure);
    keep(&Camera::mastergainChanged, mastergain, emitted.mastergain);
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    camera->open(deviceId);
    QVERIFY(pixelclock && framerate && exposure && mastergain);
    emitted = Signals();
}

QString TestCameraParameters::values() const
{
    return QString::asprintf("%d %.3g %.3g %d", pixelclock->value, framerate->value,
                             exposure->value, mastergain->value);
}

void TestCameraParameters::rangesFollowEachOther()
{
    open("SIMPARAM", 1);
    camera->setPixelclock(pixelclock->max);
    const double fastClockMax = framerate->max;
    camera->setPixelclock(pixelclock->min);
    QVERIFY(framerate->max < fastClockMax);
    double minTime = 0;
    double maxTime = 0;
    double interval = 0;
    QCOMPARE(CamFrameTimeRange(camera->cameraHandle(), &minTime, &maxTime, &interval), 0);
    QVERIFY(near(framerate->max, 1.0 / minTime));
    QVERIFY(near(framerate->min, 1.0 / maxTime));
    QVERIFY(framerate->value <= framerate->max * 1.0001);

    camera->setFramerate(framerate->max);
    const double shortFrameMax = exposure->max;
    QVERIFY(shortFrameMax <= 1000.0 / framerate->value);
    camera->setFramerate(framerate->min);
    QVERIFY(exposure->max > shortFrameMax);
    QVERIFY(exposure->max <= 1000.0 / framerate->value);
}

void TestCameraParameters::settingValues()
{
    open("SIMPARAM", 1);
    const uint32_t handle = camera->cameraHandle();
    // Stored and sent clamped.
    camera->setPixelclock(600);
    camera->setMastergain(-5);
    QCOMPARE(QString::number(pixelclock->value) + ' ' + QString::number(mastergain->value),
             QStringLiteral("100 0"));
    QCOMPARE(CamPixelClock(handle, CAM_GET_CURRENT), 100);
    QCOMPARE(CamGain(handle, CAM_GET_CURRENT, -1, -1, -1), 0);
    camera->setFramerate(10.0);
    // A widget that answers every change with its own, stale value.
    connect(camera.get(), &Camera::pixelclockChanged, this,
            [this] { camera->setPixelclock(pixelclock->min); });
    connect(camera.get(), &Camera::mastergainChanged, this, [this] { camera->setMastergain(0); });
    emitted = Signals();
    // A pending fault shows whether the camera was asked for a frame rate.
    QCOMPARE(KivoSimInjectFault("CamFrameRate", 1, 5), 0);

    camera->setFramerate(framerate->value);
    QCOMPARE(emitted.framerate, 0);
    double actual = 0;
    QCOMPARE(CamFrameRate(handle, 10.0, &actual), 5);
    camera->setPixelclock(30);
    camera->setMastergain(70);

    QCOMPARE(pixelclock->value, 30);
    QCOMPARE(mastergain->value, 70);
    QCOMPARE(emitted.pixelclock + emitted.mastergain, 2);
}

void TestCameraParameters::autoConfig_data()
{
    QTest::addColumn<QString>("world");
    QTest::addColumn<bool>("message");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("values");

    // Without a usable entry the test camera runs at one frame per second:
    // 40 MHz halves to 10 MHz (5 MHz would not exceed the minimum), where
    // 1.25 fps is the slowest.
    const QString fallback = QStringLiteral("10 1.25 300 50");
    const QString fromEntry = QStringLiteral("60 12.5 30 20");
    QTest::newRow("missing file") << "" << true << QString() << fallback;
    QTest::newRow("hexadecimal id") << "" << false << xml(entry) << fromEntry;
    // 100 MHz: (1280 + 144) x (1024 + 40) clocks give 66.0 fps at most; one
    // line takes 0.01424 ms.
    QTest::newRow("values out of range")
        << "" << false
        << xml(R"(<Sensor ID="100"><Timing exposure="-5" pixelclock="500" )"
               R"(framerate="1000"/><Gain master="250"/></Sensor>)")
        << "100 66 0.0142 100";
    // 5 MHz: the slowest frame is 8e6 clocks, 1.6 s; one line takes 0.2848 ms.
    QTest::newRow("missing attributes count as 0")
        << "" << false << xml(R"(<Sensor ID="100"><Timing/><Gain/></Sensor>)") << "5 0.625 0.285 0";
    // A 64 x 48 camera without an entry, at 40 MHz with a slowest frame of
    // 8e6 clocks: 5 fps, 2.5 at 20 MHz, 1.25 at 10 MHz, 0.625 at 5 MHz.
    QTest::newRow("halved until one frame per second")
        << R"("pixelClock":{"min":1,"max":100,"initial":40})" << true << QString() << "5 1 300 50";
    // With a 12 MHz minimum, 20 MHz would halve to 10, below it.
    QTest::newRow("halved until the minimum clock")
        << R"("pixelClock":{"min":12,"max":100,"initial":40})" << true << QString()
        << "20 2.5 300 50";
    // The example next to the sources, where scripts/run.sh starts the
    // program, for the cameras of the built-in world.
    QTest::newRow("shipped file, colour camera")
        << "built-in 1" << false << QString() << "40 10 40 10";
}

void TestCameraParameters::autoConfig()
{
    QFETCH(QString, world);
    QFETCH(bool, message);
    QFETCH(QString, file);
    QFETCH(QString, values);

    if (!file.isNull())
        QVERIFY(TestUtils::writeFile(QStringLiteral("cameraparameter.xml"), file.toUtf8()));
    if (world.startsWith(QLatin1String("built-in"))) {
        QCOMPARE(KivoSimLoadWorld(nullptr), 0);
        QVERIFY(QDir::setCurrent(QStringLiteral(SPECKWRIGHT_SOURCE_DIR)));
        world.endsWith(QLatin1Char('1')) ? open("SIM0001280", 1) : open("SIM0000752", 2);
    } else if (!world.isEmpty()) {
        const QByteArray json = R"({"cameras":[{"serial":"SIMTEST","model":"Test","deviceId":7,)"
                                R"("width":64,"height":48,)" +
                                world.toLatin1() + "}]}";
        QCOMPARE(KivoSimLoadWorld(json.constData()), 0);
        open("SIMTEST", 7);
    } else {
        open("SIMPARAM", 1);
    }
    QSignalSpy errors(camera.get(), &Camera::displayError);

    camera->setAutoConfig();

    QCOMPARE(errors.count(), message ? 1 : 0);
    if (message)
        QCOMPARE(errors.first().first().toString(),
                 QStringLiteral("Can't open camera parameter file."));
    QCOMPARE(this->values(), values);
    const uint32_t handle = camera->cameraHandle();
    QCOMPARE(CamPixelClock(handle, CAM_GET_CURRENT), pixelclock->value);
    QCOMPARE(CamGain(handle, CAM_GET_CURRENT, -1, -1, -1), mastergain->value);
}

QTEST_GUILESS_MAIN(TestCameraParameters)
#include "tst_cameraparameters.moc"
