#include "kivotestsession.h"

namespace {

struct Range
{
    double min = 0;
    double max = 0;
    double step = 0;
};

// The frame time range in seconds, or with CamExposureRange the exposure range in ms.
Range range(uint32_t handle,
            int32_t (*query)(uint32_t, double*, double*, double*) = CamFrameTimeRange)
{
    Range r;
    query(handle, &r.min, &r.max, &r.step);
    return r;
}

} // namespace

class TestKivoParameters : public QObject
{
    Q_OBJECT

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;
    uint32_t h = 0;

private slots:
    void init()
    {
        QVERIFY(camera.loadWorld());
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        h = camera.handle();
    }

    void pixelClockSetsTheFrameTimeRange()
    {
        int32_t min = 0;
        int32_t max = 0;
        QCOMPARE(CamPixelClockRange(h, &min, &max), CAM_SUCCESS);
        const int32_t initial = CamPixelClock(h, CAM_GET_DEFAULT);
        QVERIFY(min < initial && initial < max);
        QCOMPARE(CamPixelClock(h, CAM_GET_CURRENT), initial);
        QVERIFY(CamPixelClock(h, max + 1) != CAM_SUCCESS &&
                CamPixelClock(h, min - 1) != CAM_SUCCESS);
        QVERIFY(lastErrorText(h).contains("Pixel clock"));
        QCOMPARE(CamPixelClock(h, CAM_GET_CURRENT), initial);

        const Range atInitial = range(h);
        QVERIFY(atInitial.min < atInitial.max && atInitial.step > 0);
        QCOMPARE(CamPixelClock(h, initial * 2), CAM_SUCCESS);
        QCOMPARE(CamPixelClock(h, CAM_GET_CURRENT), initial * 2);
        QCOMPARE(CamPixelClock(h, CAM_GET_DEFAULT), initial);
        QVERIFY(range(h).min < atInitial.min && range(h).max < atInitial.max);
        QCOMPARE(CamPixelClock(h, initial / 2), CAM_SUCCESS);
        QVERIFY(range(h).min > atInitial.min * 1.9 && range(h).max > atInitial.max * 1.9);
    }

    void frameRateIsClampedAndSnapped_data()
    {
        QTest::addColumn<double>("request");
        QTest::newRow("far above the range") << 5000.0;
        QTest::newRow("far below the range") << 0.01;
        QTest::newRow("inside the range") << 10.0;
    }

    void frameRateIsClampedAndSnapped()
    {
        QFETCH(double, request);
        const Range r = range(h);
        double actual = 0;
        QCOMPARE(CamFrameRate(h, request, &actual), CAM_SUCCESS);
        const double frameTime = 1.0 / actual;
        QVERIFY(frameTime >= r.min && frameTime <= r.max);
        QVERIFY(qAbs(frameTime - qBound(r.min, 1.0 / request, r.max)) <= r.step / 2 + 1e-12);
        // On the range's grid, unless at its upper end.
        const double steps = (frameTime - r.min) / r.step;
        QVERIFY(qAbs(steps - qRound64(steps)) < 1e-6 || qFuzzyCompare(frameTime, r.max));
    }

    void exposureIsBoundedByTheFrameTime()
    {
        double start = 0;
        QCOMPARE(CamExposure(h, CAM_EXPOSURE_DEFAULT, &start), CAM_SUCCESS);
        QVERIFY(start > 1.0 && start < 100.0);
        double actual = 0;
        QCOMPARE(CamFrameRate(h, 10.0, &actual), CAM_SUCCESS);
        const Range e = range(h, CamExposureRange);
        QVERIFY(e.max < 1000.0 / actual && e.max > 1000.0 / actual - 1.0);
        QCOMPARE(CamExposure(h, 5000.0, &actual), CAM_SUCCESS);
        QCOMPARE(actual, e.max);
        QCOMPARE(CamExposure(h, -3.0, &actual), CAM_SUCCESS);
        QCOMPARE(actual, e.min);
        QCOMPARE(CamExposure(h, 90.0, &actual), CAM_SUCCESS);
        QVERIFY(qAbs(actual - 90.0) <= e.step);
        double read = 0;
        QCOMPARE(CamExposure(h, CAM_EXPOSURE_READ, &read), CAM_SUCCESS);
        QCOMPARE(read, actual);

        // A faster rate shortens the exposure in force.
        QCOMPARE(CamFrameRate(h, 20.0, &actual), CAM_SUCCESS);
        QVERIFY(range(h, CamExposureRange).max < 50.0);
        QCOMPARE(CamExposure(h, CAM_EXPOSURE_READ, &read), CAM_SUCCESS);
        QVERIFY(read <= range(h, CamExposureRange).max);
        QCOMPARE(CamExposure(h, CAM_EXPOSURE_DEFAULT, &actual), CAM_SUCCESS);
        QCOMPARE(actual, start);
    }

    void gainsChangeOnlyWhenAllAreValid()
    {
        QCOMPARE(CamGain(h, 40, 10, 20, 30), CAM_SUCCESS);
        QCOMPARE(CamGain(h, CAM_IGNORE_PARAMETER, 5, -1, -1), CAM_SUCCESS);
        QVERIFY(CamGain(h, 100, 101, -1, -1) != CAM_SUCCESS);
        QCOMPARE(CamGain(h, CAM_GET_CURRENT, -1, -1, -1), 40);
    }

    void colourModes_data()
    {
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("inForce");
        QTest::newRow("bayer camera, mono") << QByteArray() << 6 << 6;
        QTest::newRow("bayer camera, rgb32") << QByteArray() << 0 << 0;
        QTest::newRow("mono camera, raw asked") << QByteArray(R"("color":"mono")") << 11 << 6;
    }

    void colourModes()
    {
        QFETCH(QByteArray, fields);
        QFETCH(int, request);
        QFETCH(int, inForce);
        QVERIFY(camera.loadWorld(testWorld({fields})));
        QVERIFY(camera.open(1, false));
        QCOMPARE(CamColorMode(camera.handle(), request), CAM_SUCCESS);
        QCOMPARE(CamColorMode(camera.handle(), CAM_GET_CURRENT), inForce);
        QVERIFY(CamColorMode(camera.handle(), 3) != CAM_SUCCESS);
        QCOMPARE(CamColorMode(camera.handle(), CAM_GET_CURRENT), inForce);
    }
};

QTEST_GUILESS_MAIN(TestKivoParameters)
#include "tst_kivoparameters.moc"
