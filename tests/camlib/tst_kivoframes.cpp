#include "kivo_api.h"
#include "kivo_control.h"
#include "kivotestsession.h"
#include "testutils.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

namespace {

// A small camera, cheap enough to run at a high rate in every build.
const char smallWorld[] =
    R"({"cameras":[{"serial":"FR01","model":"Frame test","deviceId":5,"width":160,"height":120,)"
    R"("timing":{"maxFps":200}},)"
    R"({"serial":"FR02","model":"Colour test","deviceId":6,"width":64,"height":48,)"
    R"("forcedColorMode":0}]})";

using Positions = std::vector<std::pair<int, int>>;

Positions positions(const std::vector<uint16_t>& words)
{
    Positions result;
    for (size_t i = 1; i + 1 < words.size(); i += 2)
        result.emplace_back(words[i], words[i + 1]);
    return result;
}

int at(const std::vector<uint8_t>& frame, int width, std::pair<int, int> p)
{
    return frame[size_t(p.second) * size_t(width) + size_t(p.first)];
}

} // namespace

class TestKivoFrames : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void framesArriveAtTheSetRate();
    void lockedBufferIsNeverWritten();
    void manualFramesComeOnlyWhenDelivered();
    void coveredFrameShowsDarkLevelAndHotPixels_data();
    void coveredFrameShowsDarkLevelAndHotPixels();
    void correctionReplacesListedHotPixels();
    void softwareCorrectionUsesTheDriverList();
    void uncoveredSceneMoves();
    void failedCaptureRaisesEvent8();
    void colourFramesHaveFourBytesPerPixel();

private:
    std::vector<uint8_t> deliver(const char* serial);

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;
};

void TestKivoFrames::init()
{
    camera.close();
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
}

std::vector<uint8_t> TestKivoFrames::deliver(const char* serial)
{
    if (KivoSimDeliverFrame(serial, nullptr, 0) != 0 || !camera.waitFrame(0))
        return {};
    return camera.latestFrame();
}

void TestKivoFrames::framesArriveAtTheSetRate()
{
    QCOMPARE(KivoSimLoadWorld(smallWorld), 0);
    QVERIFY(camera.open(5, false));
    double actual = 0;
    QCOMPARE(CamFrameRate(camera.handle(), 50.0, &actual), CAM_SUCCESS);
    QVERIFY(qAbs(actual - 50.0) < 0.5);
    QCOMPARE(CamStartCapture(camera.handle(), 0), CAM_SUCCESS);
    QVERIFY(camera.waitFrame());

    QElapsedTimer timer;
    timer.start();
    const int64_t before = KivoSimFramesProduced("FR01");
    while (timer.elapsed() < 600)
        camera.waitFrame(100);
    const int64_t frames = KivoSimFramesProduced("FR01") - before;
    const qint64 elapsed = timer.elapsed();
    // 50 per second; a busy machine may drop some, but never adds any.
    QVERIFY2(frames >= elapsed * 50 / 1000 / 2 && frames <= elapsed * 50 / 1000 + 2,
             QByteArray::number(qlonglong(frames)));
    double fps = 0;
    QCOMPARE(CamCurrentFps(camera.handle(), &fps), CAM_SUCCESS);
    QVERIFY2(fps > 25.0 && fps < 60.0, QByteArray::number(fps));

    QCOMPARE(CamStopCapture(camera.handle(), 1), CAM_SUCCESS);
    QCOMPARE(CamCurrentFps(camera.handle(), &fps), CAM_SUCCESS);
    QCOMPARE(fps, 0.0);
    const int64_t produced = KivoSimFramesProduced("FR01");
    uint32_t signalled = 0;
    while (camera.waitEvent(0, signalled) == CAM_SUCCESS) {
    }
    QVERIFY(camera.waitEvent(100, signalled) != CAM_SUCCESS);
    QCOMPARE(KivoSimFramesProduced("FR01"), produced);
}

void TestKivoFrames::lockedBufferIsNeverWritten()
{
    QCOMPARE(KivoSimLoadWorld(smallWorld), 0);
    QVERIFY(camera.open(5));
    double actual = 0;
    QCOMPARE(CamFrameRate(camera.handle(), 100.0, &actual), CAM_SUCCESS);
    QVERIFY(camera.waitFrame());
    char* locked = nullptr;
    QCOMPARE(CamRingLatest(camera.handle(), nullptr, nullptr, &locked), CAM_SUCCESS);
    QCOMPARE(CamRingLock(camera.handle(), -1, locked), CAM_SUCCESS);
    const std::vector<uint8_t> kept(locked, locked + camera.frameBytes());
    // The event of the frame now locked may still be pending.
    uint32_t pending = 0;
    while (camera.waitEvent(0, pending) == CAM_SUCCESS) {
    }

    std::set<char*> written;
    for (int i = 0; i < 8; ++i) {
        QVERIFY(camera.waitFrame());
        char* last = nullptr;
        QCOMPARE(CamRingLatest(camera.handle(), nullptr, nullptr, &last), CAM_SUCCESS);
        written.insert(last);
    }
    QVERIFY(!written.count(locked));
    QCOMPARE(written.size(), size_t(2));
    QVERIFY(std::equal(kept.begin(), kept.end(), locked));

    QCOMPARE(CamRingUnlock(camera.handle(), -1, locked), CAM_SUCCESS);
    written.clear();
    for (int i = 0; i < 6; ++i) {
        QVERIFY(camera.waitFrame());
        char* last = nullptr;
        QCOMPARE(CamRingLatest(camera.handle(), nullptr, nullptr, &last), CAM_SUCCESS);
        written.insert(last);
    }
    QVERIFY(written.count(locked));
}

void TestKivoFrames::manualFramesComeOnlyWhenDelivered()
{
    QCOMPARE(KivoSimLoadWorld(smallWorld), 0);
    QVERIFY(camera.open(5, false));
    QCOMPARE(KivoSimSetManualFrames("FR01", 1), 0);
    QCOMPARE(KivoSimDeliverFrame("FR01", nullptr, 0), -1);
    QVERIFY(QByteArray(KivoSimLastMessage()).contains("not capturing"));
    QCOMPARE(CamStartCapture(camera.handle(), 0), CAM_SUCCESS);
    uint32_t signalled = 0;
    QVERIFY(camera.waitEvent(150, signalled) != CAM_SUCCESS);
    QCOMPARE(KivoSimFramesProduced("FR01"), int64_t(0));

    std::vector<uint8_t> pixels(camera.frameBytes());
    std::iota(pixels.begin(), pixels.end(), uint8_t(0));
    QCOMPARE(KivoSimDeliverFrame("FR01", pixels.data(), pixels.size()), 0);
    QCOMPARE(camera.waitEvent(0, signalled), CAM_SUCCESS);
    QCOMPARE(signalled, uint32_t(CAM_EV_FRAME));
    QCOMPARE(camera.latestFrame(), pixels);
    QCOMPARE(KivoSimFramesProduced("FR01"), int64_t(1));

    QCOMPARE(KivoSimDeliverFrame("FR01", pixels.data(), pixels.size() - 1), -1);
    QCOMPARE(KivoSimDeliverFrame("NOSUCH", nullptr, 0), -1);
    QCOMPARE(deliver("FR01").size(), camera.frameBytes());
    QCOMPARE(KivoSimFramesProduced("FR01"), int64_t(2));
}

void TestKivoFrames::coveredFrameShowsDarkLevelAndHotPixels_data()
{
    QTest::addColumn<double>("exposure");
    QTest::addColumn<int>("gain");
    QTest::newRow("10 ms, no gain") << 10.0 << 0;
    QTest::newRow("30 ms, gain 50") << 30.0 << 50;
}

void TestKivoFrames::coveredFrameShowsDarkLevelAndHotPixels()
{
    QFETCH(double, exposure);
    QFETCH(int, gain);
    const char* serial = DefaultWorld::colourSerial;
    QVERIFY(camera.open(DefaultWorld::colourDevice));
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    QCOMPARE(KivoSimSetCovered(serial, 1), 0);
    double actual = 0;
    QCOMPARE(CamExposure(camera.handle(), exposure, &actual), CAM_SUCCESS);
    QCOMPARE(CamGain(camera.handle(), gain, -1, -1, -1), CAM_SUCCESS);
    const std::vector<uint8_t> first = deliver(serial);
    const std::vector<uint8_t> second = deliver(serial);
    QCOMPARE(first.size(), size_t(1280 * 1024));

    const Positions hot = positions(controlList(KivoSimReadTrueHotPixels, serial));
    QVERIFY(hot.size() >= 40 && hot.size() <= 100);
    std::set<std::pair<int, int>> hotSet(hot.begin(), hot.end());
    for (const auto& p : hot)
        QVERIFY2(at(first, 1280, p) >= 90, QByteArray::number(at(first, 1280, p)));

    const double mean = std::accumulate(first.begin(), first.end(), 0.0) / double(first.size());
    QVERIFY2(mean > 9.0 && mean < 11.0, QByteArray::number(mean));
    int brightest = 0;
    int changed = 0;
    for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1280; ++x) {
            if (hotSet.count({x, y}))
                continue;
            const size_t i = size_t(y) * 1280 + size_t(x);
            brightest = std::max(brightest, int(first[i]));
            changed += first[i] != second[i];
        }
    }
    QVERIFY2(brightest <= 20, QByteArray::number(brightest));
    // Temporal noise: most pixels differ from one frame to the next.
    QVERIFY2(changed > 1280 * 1024 / 2, QByteArray::number(changed));
    const auto above100 =
        std::count_if(first.begin(), first.end(), [](uint8_t v) { return v > 100; });
    QVERIFY(above100 <= 100);
}

void TestKivoFrames::correctionReplacesListedHotPixels()
{
    const char* serial = DefaultWorld::colourSerial;
    QVERIFY(camera.open(DefaultWorld::colourDevice));
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    QCOMPARE(KivoSimSetCovered(serial, 1), 0);
    const Positions factory = positions(controlList(KivoSimReadFactoryList, serial));
    const Positions user = positions(controlList(KivoSimReadEeprom, serial));
    Positions unlisted = positions(controlList(KivoSimReadTrueHotPixels, serial));
    unlisted.erase(unlisted.begin(), unlisted.begin() + long(factory.size() + user.size()));
    QVERIFY(!unlisted.empty());

    QCOMPARE(CamHotPixel(camera.handle(), CAM_HP_ENABLE_CAMERA_CORRECTION, nullptr, 0),
             CAM_SUCCESS);
    std::vector<uint8_t> frame = deliver(serial);
    QVERIFY(!frame.empty());
    for (const Positions* list : {&factory, &user}) {
        for (const auto& p : *list)
            QVERIFY2(at(frame, 1280, p) <= 20, QByteArray::number(at(frame, 1280, p)));
    }
    for (const auto& p : unlisted)
        QVERIFY(at(frame, 1280, p) >= 90);

    // A pixel written into the EEPROM is corrected from the next frame on.
    uint16_t words[] = {1, uint16_t(unlisted[0].first), uint16_t(unlisted[0].second)};
    QCOMPARE(CamHotPixel(camera.handle(), CAM_HP_USER_WRITE, words, sizeof words), CAM_SUCCESS);
    frame = deliver(serial);
    QVERIFY(at(frame, 1280, unlisted[0]) <= 20);
    QVERIFY(at(frame, 1280, user[0]) >= 90);

    QCOMPARE(CamHotPixel(camera.handle(), CAM_HP_DISABLE, nullptr, 0), CAM_SUCCESS);
    frame = deliver(serial);
    QVERIFY(at(frame, 1280, factory[0]) >= 90);
    QVERIFY(at(frame, 1280, unlisted[0]) >= 90);
}

void TestKivoFrames::softwareCorrectionUsesTheDriverList()
{
    const char* serial = DefaultWorld::monoSerial;
    QVERIFY(camera.open(DefaultWorld::monoDevice));
    QCOMPARE(CamColorMode(camera.handle(), CAM_GET_CURRENT), CAM_CM_MONO8);
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    QCOMPARE(KivoSimSetCovered(serial, 1), 0);
    const Positions factory = positions(controlList(KivoSimReadFactoryList, serial));
    Positions unlisted = positions(controlList(KivoSimReadTrueHotPixels, serial));
    unlisted.erase(unlisted.begin(), unlisted.begin() + long(factory.size()));
    QVERIFY(unlisted.size() >= 2);

    uint16_t words[] = {1, uint16_t(unlisted[0].first), uint16_t(unlisted[0].second)};
    QCOMPARE(CamHotPixel(camera.handle(), CAM_HP_DRIVER_LIST_SET, words, sizeof words),
             CAM_SUCCESS);
    QCOMPARE(CamHotPixel(camera.handle(), CAM_HP_MODE_SOFTWARE, nullptr, 0), CAM_SUCCESS);
    const std::vector<uint8_t> frame = deliver(serial);
    QCOMPARE(frame.size(), size_t(752 * 480));
    QVERIFY(at(frame, 752, factory[0]) <= 20);
    QVERIFY(at(frame, 752, unlisted[0]) <= 20);
    QVERIFY(at(frame, 752, unlisted[1]) >= 90);
}

void TestKivoFrames::uncoveredSceneMoves()
{
    const char* serial = DefaultWorld::colourSerial;
    QVERIFY(camera.open(DefaultWorld::colourDevice));
    QCOMPARE(KivoSimSetManualFrames(serial, 1), 0);
    const std::vector<uint8_t> first = deliver(serial);
    const std::vector<uint8_t> second = deliver(serial);
    QVERIFY(!first.empty());
    const auto bright =
        std::count_if(first.begin(), first.end(), [](uint8_t v) { return v > 100; });
    // Far more than the 5000 bright bytes that tell an uncovered sensor.
    QVERIFY2(bright > 100000, QByteArray::number(qlonglong(bright)));
    // Moving: a row is shifted, not repeated.
    const auto row = [](const std::vector<uint8_t>& f) {
        return std::vector<uint8_t>(f.begin() + 100 * 1280, f.begin() + 101 * 1280);
    };
    int differing = 0;
    for (size_t i = 0; i < 1280; ++i)
        differing += std::abs(int(row(first)[i]) - int(row(second)[i])) > 20;
    QVERIFY(differing > 10);
}

void TestKivoFrames::failedCaptureRaisesEvent8()
{
    QCOMPARE(KivoSimLoadWorld(smallWorld), 0);
    QVERIFY(camera.open(5));
    QCOMPARE(KivoSimSetManualFrames("FR01", 1), 0);
    QCOMPARE(KivoSimFailNextCapture("FR01"), 0);
    QCOMPARE(KivoSimDeliverFrame("FR01", nullptr, 0), 0);
    uint32_t signalled = 0;
    QCOMPARE(camera.waitEvent(0, signalled), CAM_SUCCESS);
    QCOMPARE(signalled, uint32_t(CAM_EV_CAPTURE_FAILED));
    QVERIFY(camera.waitEvent(0, signalled) != CAM_SUCCESS);
    QCOMPARE(KivoSimFramesProduced("FR01"), int64_t(0));

    // Image memory that does not fit the image fails the capture too.
    int32_t area[4] = {0, 0, 80, 60};
    QCOMPARE(CamImageArea(camera.handle(), CAM_AOI_SET, area, sizeof area), CAM_SUCCESS);
    QCOMPARE(KivoSimDeliverFrame("FR01", nullptr, 0), 0);
    QCOMPARE(camera.waitEvent(0, signalled), CAM_SUCCESS);
    QCOMPARE(signalled, uint32_t(CAM_EV_CAPTURE_FAILED));
}

void TestKivoFrames::colourFramesHaveFourBytesPerPixel()
{
    QCOMPARE(KivoSimLoadWorld(smallWorld), 0);
    QVERIFY(camera.open(6));
    QCOMPARE(camera.bitsPerPixel(), 32);
    QCOMPARE(KivoSimSetManualFrames("FR02", 1), 0);
    const std::vector<uint8_t> frame = deliver("FR02");
    QCOMPARE(frame.size(), size_t(64 * 48 * 4));
    for (size_t i = 3; i < frame.size(); i += 4)
        QCOMPARE(frame[i], uint8_t(255));
}

QTEST_GUILESS_MAIN(TestKivoFrames)
#include "tst_kivoframes.moc"
