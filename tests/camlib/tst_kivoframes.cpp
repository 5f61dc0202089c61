#include "kivotestsession.h"

#include <QElapsedTimer>

#include <algorithm>
#include <numeric>
#include <set>
#include <utility>

namespace {

using Positions = std::vector<std::pair<int, int>>;

Positions positions(const std::vector<uint16_t>& words)
{
    Positions result;
    for (size_t i = 1; i + 1 < words.size(); i += 2)
        result.emplace_back(words[i], words[i + 1]);
    return result;
}

} // namespace

class TestKivoFrames : public QObject
{
    Q_OBJECT

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;

    // Opens a default-world camera in manual frames, its sensor covered or not.
    bool openManual(uint32_t device, const char* serial, bool covered)
    {
        return camera.loadWorld() && camera.open(device) &&
               KivoSimSetManualFrames(serial, 1) == 0 && KivoSimSetCovered(serial, covered) == 0;
    }

    // For each pixel in the next frame: 'd' dark, 'h' hot, '?' neither.
    QByteArray look(const char* serial, const Positions& pixels)
    {
        const std::vector<uint8_t> frame = camera.deliverFrame(serial);
        QByteArray seen;
        for (const auto& p : pixels) {
            const int v = frame.empty() ? 50 : frame[size_t(p.second * camera.width() + p.first)];
            seen += v <= 20 ? 'd' : v >= 90 ? 'h' : '?';
        }
        return seen;
    }

    std::set<char*> buffersWritten(int frames)
    {
        std::set<char*> written;
        for (int i = 0; i < frames && camera.waitFrame(); ++i) {
            char* last = nullptr;
            CamRingLatest(camera.handle(), nullptr, nullptr, &last);
            written.insert(last);
        }
        return written;
    }

private slots:
    // A small camera, cheap enough to run at a high rate in every build.
    void init() { QVERIFY(camera.loadWorld(testWorld({""}))); }

    void capturedFramesArriveAtTheSetRate()
    {
        QVERIFY(camera.open(1, false));
        const uint32_t h = camera.handle();
        double rate = 0;
        double fps = -1;
        QCOMPARE(CamFrameRate(h, 50.0, &rate), CAM_SUCCESS);
        QVERIFY(CamCurrentFps(h, &fps) == CAM_SUCCESS && fps == 0.0);
        QCOMPARE(CamStartCapture(h, 0), CAM_SUCCESS);
        // Until two frames are measured the rate set stands in.
        QVERIFY2(CamCurrentFps(h, &fps) == CAM_SUCCESS && qAbs(fps - rate) < 10.0,
                 QByteArray::number(fps));
        QVERIFY(camera.waitFrame());

        QElapsedTimer timer;
        timer.start();
        const int64_t before = KivoSimFramesProduced("TEST1");
        while (timer.elapsed() < 600)
            camera.waitFrame(100);
        const qlonglong frames = KivoSimFramesProduced("TEST1") - before;
        const qint64 expected = timer.elapsed() * 50 / 1000;
        // A busy machine may drop some, but never adds any.
        QVERIFY2(frames >= expected / 2 && frames <= expected + 2, QByteArray::number(frames));
        QVERIFY2(CamCurrentFps(h, &fps) == CAM_SUCCESS && fps > 25.0 && fps < 60.0,
                 QByteArray::number(fps));

        // A locked buffer is never written; the other two take the frames meanwhile.
        char* locked = nullptr;
        QCOMPARE(CamRingLatest(h, nullptr, nullptr, &locked), CAM_SUCCESS);
        QCOMPARE(CamRingLock(h, -1, locked), CAM_SUCCESS);
        const std::vector<uint8_t> kept(locked, locked + camera.frameBytes());
        camera.waitFrame(0); // the event of the frame now locked may still be pending
        const std::set<char*> whileLocked = buffersWritten(8);
        QVERIFY(!whileLocked.count(locked));
        QCOMPARE(whileLocked.size(), size_t(2));
        QVERIFY(std::equal(kept.begin(), kept.end(), locked));
        QCOMPARE(CamRingUnlock(h, -1, locked), CAM_SUCCESS);
        QVERIFY(buffersWritten(6).count(locked));

        QCOMPARE(CamStopCapture(h, 1), CAM_SUCCESS);
        QVERIFY(CamCurrentFps(h, &fps) == CAM_SUCCESS && fps == 0.0);
        const int64_t produced = KivoSimFramesProduced("TEST1");
        camera.waitFrame(0); // a frame latched before the stop may still be pending
        QVERIFY(!camera.waitFrame(100));
        QCOMPARE(KivoSimFramesProduced("TEST1"), produced);
    }

    void fillingBufferCannotBeLockedAndFullRingDrops()
    {
        QVERIFY(camera.open(1));
        QCOMPARE(KivoSimSetManualFrames("TEST1", 1), 0);
        const uint32_t h = camera.handle();
        // A program that locks every frame and never unlocks one.
        for (int frame = 0; frame < 3; ++frame) {
            QCOMPARE(KivoSimDeliverFrame("TEST1", nullptr, 0), 0);
            char* filling = nullptr;
            char* last = nullptr;
            QCOMPARE(CamRingLatest(h, nullptr, &filling, &last), CAM_SUCCESS);
            QCOMPARE(CamRingLock(h, -1, filling) != CAM_SUCCESS, filling != last);
            QVERIFY(filling == last || lastErrorText(h).contains("being filled"));
            QCOMPARE(CamRingLock(h, -1, last), CAM_SUCCESS);
            QVERIFY(waitEvents(h, {CAM_EV_CAPTURE_FAILED}, 0).status != CAM_SUCCESS);
        }
        QCOMPARE(KivoSimDeliverFrame("TEST1", nullptr, 0), 0);
        QCOMPARE(waitEvents(h, {CAM_EV_CAPTURE_FAILED}, 0).signalled,
                 uint32_t(CAM_EV_CAPTURE_FAILED));
        QCOMPARE(KivoSimFramesProduced("TEST1"), int64_t(3));
        QCOMPARE(KivoSimFramesDropped("TEST1"), int64_t(1));
    }

    void manualFramesComeOnlyWhenDelivered()
    {
        QVERIFY(camera.open(1, false));
        QCOMPARE(KivoSimSetManualFrames("TEST1", 1), 0);
        QCOMPARE(KivoSimDeliverFrame("TEST1", nullptr, 0), -1);
        QVERIFY(QByteArray(KivoSimLastMessage()).contains("not capturing"));
        QCOMPARE(CamStartCapture(camera.handle(), 0), CAM_SUCCESS);
        QVERIFY(camera.waitEvent(150).status != CAM_SUCCESS);
        QCOMPARE(KivoSimFramesProduced("TEST1"), int64_t(0));

        std::vector<uint8_t> pixels(camera.frameBytes());
        std::iota(pixels.begin(), pixels.end(), uint8_t(0));
        QCOMPARE(KivoSimDeliverFrame("TEST1", pixels.data(), pixels.size()), 0);
        QCOMPARE(camera.waitEvent(0).signalled, uint32_t(CAM_EV_FRAME));
        QCOMPARE(camera.latestFrame(), pixels);
        QCOMPARE(KivoSimDeliverFrame("TEST1", pixels.data(), pixels.size() - 1), -1);
        QCOMPARE(KivoSimDeliverFrame("NOSUCH", nullptr, 0), -1);
        // Image memory that does not fit the image fails the capture.
        int32_t area[4] = {0, 0, 32, 24};
        QCOMPARE(CamImageArea(camera.handle(), CAM_AOI_SET, area, sizeof area), CAM_SUCCESS);
        QCOMPARE(KivoSimDeliverFrame("TEST1", nullptr, 0), 0);
        QCOMPARE(camera.waitEvent(0).signalled, uint32_t(CAM_EV_CAPTURE_FAILED));
        QVERIFY(camera.waitEvent(0).status != CAM_SUCCESS);
        QCOMPARE(KivoSimFramesProduced("TEST1"), int64_t(1));
    }

    void coveredFrameShowsDarkLevelAndHotPixels_data()
    {
        QTest::addColumn<double>("exposure");
        QTest::addColumn<int>("gain");
        QTest::addColumn<QByteArray>("hotSeen");
        // A short exposure hides the dark current, a long one or gain reveals it.
        QTest::newRow("1 ms, no gain") << 1.0 << 0 << QByteArray("none");
        QTest::newRow("10 ms, no gain") << 10.0 << 0 << QByteArray("some");
        QTest::newRow("2 ms, gain 100") << 2.0 << 100 << QByteArray("some");
        QTest::newRow("20 ms, no gain") << 20.0 << 0 << QByteArray("all");
    }

    void coveredFrameShowsDarkLevelAndHotPixels()
    {
        QFETCH(double, exposure);
        QFETCH(int, gain);
        QFETCH(QByteArray, hotSeen);
        const char* serial = DefaultWorld::colourSerial;
        QVERIFY(openManual(DefaultWorld::colourDevice, serial, true));
        QCOMPARE(CamExposure(camera.handle(), exposure, &exposure), CAM_SUCCESS);
        QCOMPARE(CamGain(camera.handle(), gain, -1, -1, -1), CAM_SUCCESS);
        const std::vector<uint8_t> first = camera.deliverFrame(serial);
        const std::vector<uint8_t> second = camera.deliverFrame(serial);
        QCOMPARE(first.size(), size_t(1280 * 1024));
        QCOMPARE(second.size(), first.size());

        const Positions hot = positions(controlList(KivoSimReadTrueHotPixels, serial));
        QVERIFY(hot.size() >= 40 && hot.size() <= 100);
        const int seen = int(look(serial, hot).count('h'));
        QCOMPARE(hotSeen, QByteArray(seen == 0                 ? "none"
                                     : seen == int(hot.size()) ? "all"
                                                               : "some"));
        std::vector<bool> isHot(first.size());
        for (const auto& p : hot)
            isHot[size_t(p.second) * 1280 + size_t(p.first)] = true;
        const double mean = std::accumulate(first.begin(), first.end(), 0.0) / double(first.size());
        QVERIFY2(mean > 9.0 && mean < 11.0, QByteArray::number(mean));
        int brightest = 0;
        int changed = 0;
        for (size_t i = 0; i < first.size(); ++i) {
            brightest = std::max(brightest, isHot[i] ? 0 : int(first[i]));
            changed += !isHot[i] && first[i] != second[i];
        }
        QVERIFY2(brightest <= 20, QByteArray::number(brightest));
        // Temporal noise: most pixels differ from one frame to the next.
        QVERIFY2(changed > 1280 * 1024 / 2, QByteArray::number(changed));
    }

    void uncoveredSceneMoves()
    {
        QVERIFY(openManual(DefaultWorld::colourDevice, DefaultWorld::colourSerial, false));
        const std::vector<uint8_t> first = camera.deliverFrame(DefaultWorld::colourSerial);
        const std::vector<uint8_t> second = camera.deliverFrame(DefaultWorld::colourSerial);
        QCOMPARE(second.size(), size_t(1280 * 1024));
        // Moving: row 100 is shifted, not repeated.
        int differing = 0;
        for (size_t i = 100 * 1280; i < 101 * 1280; ++i)
            differing += std::abs(int(first[i]) - int(second[i])) > 20;
        QVERIFY(differing > 10);
    }

    void correctionDarkensListedHotPixels_data()
    {
        QTest::addColumn<bool>("inCamera");
        QTest::newRow("in the camera, EEPROM list") << true;
        QTest::newRow("in software, driver list") << false;
    }

    void correctionDarkensListedHotPixels()
    {
        QFETCH(bool, inCamera);
        const char* serial = inCamera ? DefaultWorld::colourSerial : DefaultWorld::monoSerial;
        QVERIFY(openManual(inCamera ? DefaultWorld::colourDevice : DefaultWorld::monoDevice, serial,
                           true));
        // Hot pixels come as the factory list, the configured EEPROM list, the unlisted ones.
        Positions listed = positions(controlList(KivoSimReadFactoryList, serial));
        const Positions user = positions(controlList(KivoSimReadEeprom, serial));
        Positions unlisted = positions(controlList(KivoSimReadTrueHotPixels, serial));
        unlisted.erase(unlisted.begin(), unlisted.begin() + long(listed.size() + user.size()));
        QCOMPARE(user.size(), inCamera ? size_t(2) : size_t(0));
        QVERIFY(unlisted.size() >= 2);
        listed.insert(listed.end(), user.begin(), user.end());

        QCOMPARE(CamHotPixel(camera.handle(),
                             inCamera ? CAM_HP_ENABLE_CAMERA_CORRECTION : CAM_HP_MODE_SOFTWARE,
                             nullptr, 0),
                 CAM_SUCCESS);
        QCOMPARE(look(serial, listed) + look(serial, {unlisted[0]}),
                 QByteArray(int(listed.size()), 'd') + 'h');
        // The list replaced is in force from the next frame on.
        uint16_t words[] = {1, uint16_t(unlisted[0].first), uint16_t(unlisted[0].second)};
        QCOMPARE(CamHotPixel(camera.handle(), inCamera ? CAM_HP_USER_WRITE : CAM_HP_DRIVER_LIST_SET,
                             words, sizeof words),
                 CAM_SUCCESS);
        Positions probe = {listed[0], unlisted[0], unlisted[1]};
        probe.insert(probe.end(), user.begin(), user.end());
        QCOMPARE(look(serial, probe), "ddh" + QByteArray(int(user.size()), 'h'));
        QCOMPARE(CamHotPixel(camera.handle(), CAM_HP_DISABLE, nullptr, 0), CAM_SUCCESS);
        QCOMPARE(look(serial, probe), QByteArray(int(probe.size()), 'h'));
    }
};

QTEST_GUILESS_MAIN(TestKivoFrames)
#include "tst_kivoframes.moc"
