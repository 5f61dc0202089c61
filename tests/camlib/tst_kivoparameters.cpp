#include "kivo_api.h"
#include "kivo_control.h"
#include "kivotestsession.h"
#include "testutils.h"

#include <QTest>

namespace {

struct Range
{
    double min = 0;
    double max = 0;
    double step = 0;
};

Range frameTimes(uint32_t handle)
{
    Range r;
    CamFrameTimeRange(handle, &r.min, &r.max, &r.step);
    return r;
}

Range exposures(uint32_t handle)
{
    Range r;
    CamExposureRange(handle, &r.min, &r.max, &r.step);
    return r;
}

double exposureNow(uint32_t handle)
{
    double value = -1;
    CamExposure(handle, CAM_EXPOSURE_READ, &value);
    return value;
}

} // namespace

class TestKivoParameters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pixelClockQueriesAndLimits();
    void frameTimeRangeFollowsThePixelClock();
    void frameRateIsClampedAndSnapped_data();
    void frameRateIsClampedAndSnapped();
    void exposureIsBoundedByTheFrameTime();
    void exposureStartAndReadValues();
    void gains();
    void colourModes_data();
    void colourModes();
    void smallerAreaRunsFaster();
    void currentRateBeforeAndAfterCapture();

private:
    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;
};

void TestKivoParameters::init()
{
    camera.close();
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    QVERIFY(camera.open(DefaultWorld::colourDevice, false));
}

void TestKivoParameters::pixelClockQueriesAndLimits()
{
    const uint32_t h = camera.handle();
    int32_t min = 0;
    int32_t max = 0;
    QCOMPARE(CamPixelClockRange(h, &min, &max), CAM_SUCCESS);
    const int32_t initial = CamPixelClock(h, CAM_GET_DEFAULT);
    QVERIFY(min < initial && initial < max);
    QCOMPARE(CamPixelClock(h, CAM_GET_CURRENT), initial);
    QCOMPARE(CamPixelClock(h, min), CAM_SUCCESS);
    QCOMPARE(CamPixelClock(h, CAM_GET_CURRENT), min);
    QCOMPARE(CamPixelClock(h, CAM_GET_DEFAULT), initial);
    QVERIFY(CamPixelClock(h, max + 1) != CAM_SUCCESS);
    QVERIFY(CamPixelClock(h, min - 1) != CAM_SUCCESS);
    QVERIFY(lastErrorText(h).contains("Pixel clock"));
    QCOMPARE(CamPixelClock(h, CAM_GET_CURRENT), min);
}

void TestKivoParameters::frameTimeRangeFollowsThePixelClock()
{
    const uint32_t h = camera.handle();
    const int32_t initial = CamPixelClock(h, CAM_GET_DEFAULT);
    const Range atInitial = frameTimes(h);
    // Above 1 frame per second even at the slowest rate, so that a program
    // wanting 1 fps must lower the clock.
    QVERIFY(1.0 / atInitial.max > 1.0);
    QVERIFY(atInitial.min < atInitial.max && atInitial.step > 0);

    QCOMPARE(CamPixelClock(h, initial / 2), CAM_SUCCESS);
    const Range slower = frameTimes(h);
    QVERIFY(slower.min > atInitial.min * 1.9);
    QVERIFY(slower.max > atInitial.max * 1.9);

    QCOMPARE(CamPixelClock(h, initial * 2), CAM_SUCCESS);
    const Range faster = frameTimes(h);
    QVERIFY(faster.min < atInitial.min);
    QVERIFY(faster.max < atInitial.max);

    // Halving as a program's 1 fps fallback does ends within a few steps.
    int32_t min = 0;
    int32_t max = 0;
    CamPixelClockRange(h, &min, &max);
    int32_t clock = initial;
    int halvings = 0;
    QCOMPARE(CamPixelClock(h, clock), CAM_SUCCESS);
    while (1.0 / frameTimes(h).max > 1.0 && clock / 2 > min) {
        clock /= 2;
        QCOMPARE(CamPixelClock(h, clock), CAM_SUCCESS);
        ++halvings;
    }
    QVERIFY(halvings >= 2 && halvings <= 5);
    QVERIFY(1.0 / frameTimes(h).max <= 1.0);
}

void TestKivoParameters::frameRateIsClampedAndSnapped_data()
{
    QTest::addColumn<double>("request");
    QTest::addColumn<QString>("expected");
    QTest::newRow("far above the range") << 5000.0 << QStringLiteral("fastest");
    QTest::newRow("far below the range") << 0.01 << QStringLiteral("slowest");
    QTest::newRow("inside the range") << 10.0 << QStringLiteral("near");
}

void TestKivoParameters::frameRateIsClampedAndSnapped()
{
    QFETCH(double, request);
    QFETCH(QString, expected);
    const uint32_t h = camera.handle();
    const Range r = frameTimes(h);
    double actual = 0;
    QCOMPARE(CamFrameRate(h, request, &actual), CAM_SUCCESS);
    if (expected == QLatin1String("fastest"))
        QCOMPARE(actual, 1.0 / r.min);
    else if (expected == QLatin1String("slowest"))
        QCOMPARE(actual, 1.0 / r.max);
    else
        QVERIFY(qAbs(1.0 / actual - 1.0 / request) <= r.step / 2 + 1e-12);
    // The frame time lies on the range's grid.
    const double steps = (1.0 / actual - r.min) / r.step;
    QVERIFY(qAbs(steps - qRound64(steps)) < 1e-6 || qFuzzyCompare(1.0 / actual, r.max));
}

void TestKivoParameters::exposureIsBoundedByTheFrameTime()
{
    const uint32_t h = camera.handle();
    double actual = 0;
    QCOMPARE(CamFrameRate(h, 10.0, &actual), CAM_SUCCESS);
    Range e = exposures(h);
    QVERIFY(e.max < 1000.0 / actual && e.max > 1000.0 / actual - 1.0);
    QCOMPARE(CamExposure(h, 90.0, &actual), CAM_SUCCESS);
    QVERIFY(qAbs(actual - 90.0) <= e.step);
    QCOMPARE(CamExposure(h, 5000.0, &actual), CAM_SUCCESS);
    QCOMPARE(actual, e.max);
    QCOMPARE(CamExposure(h, -3.0, &actual), CAM_SUCCESS);
    QCOMPARE(actual, e.min);

    QCOMPARE(CamExposure(h, 90.0, &actual), CAM_SUCCESS);
    QCOMPARE(CamFrameRate(h, 20.0, &actual), CAM_SUCCESS);
    e = exposures(h);
    QVERIFY(e.max < 50.0);
    QVERIFY(exposureNow(h) <= e.max);
}

void TestKivoParameters::exposureStartAndReadValues()
{
    const uint32_t h = camera.handle();
    double start = 0;
    QCOMPARE(CamExposure(h, CAM_EXPOSURE_DEFAULT, &start), CAM_SUCCESS);
    QVERIFY(start > 1.0 && start < 100.0);
    double actual = 0;
    QCOMPARE(CamExposure(h, 7.0, &actual), CAM_SUCCESS);
    double read = 0;
    QCOMPARE(CamExposure(h, CAM_EXPOSURE_READ, &read), CAM_SUCCESS);
    QCOMPARE(read, actual);
    QCOMPARE(CamExposure(h, CAM_EXPOSURE_DEFAULT, &actual), CAM_SUCCESS);
    QCOMPARE(actual, start);
}

void TestKivoParameters::gains()
{
    const uint32_t h = camera.handle();
    QCOMPARE(CamGain(h, CAM_GET_CURRENT, -1, -1, -1), 0);
    QCOMPARE(CamGain(h, 40, 10, 20, 30), CAM_SUCCESS);
    QCOMPARE(CamGain(h, CAM_GET_CURRENT, -1, -1, -1), 40);
    QCOMPARE(CamGain(h, CAM_IGNORE_PARAMETER, 5, -1, -1), CAM_SUCCESS);
    QCOMPARE(CamGain(h, CAM_GET_CURRENT, -1, -1, -1), 40);
    QVERIFY(CamGain(h, 100, 101, -1, -1) != CAM_SUCCESS);
    // A refused call changes none of the gains.
    QCOMPARE(CamGain(h, CAM_GET_CURRENT, -1, -1, -1), 40);
    QCOMPARE(CamGain(h, 100, -1, -1, -1), CAM_SUCCESS);
    QCOMPARE(CamGain(h, CAM_GET_CURRENT, -1, -1, -1), 100);
}

void TestKivoParameters::colourModes_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("inForce");
    QTest::newRow("bayer camera, raw") << QByteArray() << 11 << 11;
    QTest::newRow("bayer camera, mono") << QByteArray() << 6 << 6;
    QTest::newRow("bayer camera, rgb32") << QByteArray() << 0 << 0;
    QTest::newRow("mono camera, raw asked") << QByteArray(R"("color":"mono")") << 11 << 6;
    QTest::newRow("forced rgb32") << QByteArray(R"("forcedColorMode":0)") << 11 << 0;
    QTest::newRow("forced unsupported mode") << QByteArray(R"("forcedColorMode":1)") << 11 << 1;
}

void TestKivoParameters::colourModes()
{
    QFETCH(QByteArray, fields);
    QFETCH(int, request);
    QFETCH(int, inForce);
    camera.close();
    const QByteArray world =
        R"({"cameras":[{"serial":"CM01","model":"Mode test","deviceId":4,"width":64,"height":48)" +
        (fields.isEmpty() ? QByteArray() : "," + fields) + "}]}";
    QCOMPARE(KivoSimLoadWorld(world.constData()), 0);
    uint32_t h = 4 | CAM_USE_DEVICE_ID;
    QCOMPARE(CamOpen(&h, nullptr), CAM_SUCCESS);
    QCOMPARE(CamColorMode(h, request), CAM_SUCCESS);
    QCOMPARE(CamColorMode(h, CAM_GET_CURRENT), inForce);
    QVERIFY(CamColorMode(h, 3) != CAM_SUCCESS);
    QCOMPARE(CamColorMode(h, CAM_GET_CURRENT), inForce);
    QCOMPARE(CamClose(h), CAM_SUCCESS);
}

void TestKivoParameters::smallerAreaRunsFaster()
{
    const uint32_t h = camera.handle();
    const Range full = frameTimes(h);
    int32_t area[4] = {100, 200, 640, 512};
    QCOMPARE(CamImageArea(h, CAM_AOI_SET, area, sizeof area), CAM_SUCCESS);
    QVERIFY(frameTimes(h).min < full.min * 0.6);
    int32_t size[2] = {0, 0};
    QCOMPARE(CamImageArea(h, CAM_AOI_GET_MAX_SIZE, size, sizeof size), CAM_SUCCESS);
    QCOMPARE(size[0], 1280);
    QCOMPARE(size[1], 1024);
}

void TestKivoParameters::currentRateBeforeAndAfterCapture()
{
    const uint32_t h = camera.handle();
    double nominal = 0;
    QCOMPARE(CamFrameRate(h, 12.0, &nominal), CAM_SUCCESS);
    double fps = -1;
    QCOMPARE(CamCurrentFps(h, &fps), CAM_SUCCESS);
    QCOMPARE(fps, 0.0);
    // Right after the start no rate is measured yet: the one set stands in.
    QCOMPARE(CamStartCapture(h, 0), CAM_SUCCESS);
    QCOMPARE(CamCurrentFps(h, &fps), CAM_SUCCESS);
    QVERIFY2(qAbs(fps - nominal) < nominal * 0.2, QByteArray::number(fps));
    QCOMPARE(CamStopCapture(h, 1), CAM_SUCCESS);
    QCOMPARE(CamCurrentFps(h, &fps), CAM_SUCCESS);
    QCOMPARE(fps, 0.0);
}

QTEST_GUILESS_MAIN(TestKivoParameters)
#include "tst_kivoparameters.moc"
