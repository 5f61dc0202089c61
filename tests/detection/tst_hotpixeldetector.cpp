#include "badpixellistmodel.h"
#include "hotpixeldetector.h"
#include "testutils.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <stdexcept>
#include <typeinfo>

namespace {

constexpr int mono = BadpixelDetector::colorModeMono8;
constexpr int bayer = BadpixelDetector::colorModeBayer8;

// A frame from its pixel values, row by row.
QImage frameOf(int width, int height, const QVector<int>& values)
{
    QImage frame = TestUtils::greyFrame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.scanLine(y)[x] = uchar(values.at(y * width + x));
    return frame;
}

QStringList describe(const QList<Badpixel>& list)
{
    QStringList result;
    for (const Badpixel& e : list)
        result << QStringLiteral("%1,%2,%3").arg(e.x).arg(e.y).arg(e.pixelclass);
    return result;
}

// Puts entries of any class into a fresh list, the way a text import brings them.
void fill(BadpixelListModel& list, const QList<Badpixel>& entries)
{
    if (entries.isEmpty())
        return;
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("entries.txt"));
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream out(&file);
    for (const Badpixel& e : entries)
        out << e.x << ' ' << e.y << ' ' << e.pixelclass << '\n';
    out.flush();
    file.close();
    list.importFromFile(name);
}

struct Outcome
{
    QStringList entries;
    int added = 0;
    int finished = 0;
};

Outcome detect(const QList<Badpixel>& initial, int colorMode, const QVector<QImage>& frames,
               uint32_t threshold)
{
    BadpixelListModel list;
    fill(list, initial);
    HotpixelDetector detector(threshold);
    QSignalSpy finished(&detector, &BadpixelDetector::detectionFinished);
    QSignalSpy added(&list, &BadpixelListModel::pixelAdded);
    detector.setSource(colorMode, &frames);
    detector.findHotpixels(&list);
    return {describe(list.badpixelList()), int(added.count()), int(finished.count())};
}

// The detection told as plainly as it can be: each plane averaged frame after frame, its mean,
// then the cells above mean + threshold, row by row, plane after plane.
QList<QPoint> plainDetection(int colorMode, const QVector<QImage>& frames, uint32_t threshold)
{
    struct Pattern
    {
        int startX;
        int startY;
        int step;
    };
    const QImage& first = frames.first();
    QVector<Pattern> patterns = {{0, 0, 1}};
    int rows = first.height();
    int columns = first.width();
    if (colorMode == bayer) {
        patterns = {{0, 0, 2}, {0, 1, 2}, {1, 0, 2}, {1, 1, 2}};
        rows /= 2;
        columns /= 2;
    }
    QList<QPoint> hot;
    for (const Pattern& p : patterns) {
        QVector<uint32_t> cells(rows * columns);
        for (int i = 0; i < frames.size(); ++i) {
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < columns; ++c) {
                    const uint32_t pixel =
                        frames.at(i).constScanLine(p.startY + r * p.step)[p.startX + c * p.step];
                    uint32_t& cell = cells[r * columns + c];
                    cell = i == 0 ? pixel : cell + pixel;
                }
            }
        }
        uint32_t sum = 0;
        uint32_t count = 0;
        for (uint32_t& cell : cells) {
            cell /= uint32_t(frames.size());
            sum += cell;
            ++count;
        }
        const uint32_t limit = sum / count + threshold;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                if (cells.at(r * columns + c) > limit)
                    hot << QPoint(p.startX + c * p.step, p.startY + r * p.step);
    }
    return hot;
}

// What the list holds after the plain detection's positions went through addBadpixel.
Outcome expected(const QList<Badpixel>& initial, int colorMode, const QVector<QImage>& frames,
                 uint32_t threshold)
{
    BadpixelListModel list;
    fill(list, initial);
    int added = 0;
    for (const QPoint& p : plainDetection(colorMode, frames, threshold))
        added += list.addBadpixel(p) ? 1 : 0;
    return {describe(list.badpixelList()), added, 1};
}

// Dark frames with noise around a level and a sprinkling of bright pixels, so that thresholds
// land below, on and above averaged values.
QVector<QImage> randomFrames(QRandomGenerator& random, int width, int height, int count)
{
    const int level = random.bounded(60);
    const int noise = 1 + random.bounded(16);
    const int hotPercent = random.bounded(12);
    QVector<QImage> frames;
    for (int i = 0; i < count; ++i) {
        QVector<int> values;
        for (int p = 0; p < width * height; ++p)
            values << (random.bounded(100) < hotPercent ? random.bounded(256)
                                                        : level + random.bounded(noise));
        frames << frameOf(width, height, values);
    }
    return frames;
}

QList<Badpixel> randomEntries(QRandomGenerator& random, int width, int height)
{
    const uint8_t classes[] = {Factory, User, Ignore, 7};
    QList<Badpixel> entries;
    for (int n = random.bounded(7); n > 0; --n)
        entries << Badpixel{uint16_t(random.bounded(width)), uint16_t(random.bounded(height)),
                            classes[random.bounded(4)]};
    return entries;
}

enum class Failure { Runtime, ColorMode, Length };

QByteArray typeName(const std::exception& e)
{
    return typeid(e).name();
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class TestHotpixelDetector : public QObject
{
    Q_OBJECT

private slots:
    void workedExamples_data();
    void workedExamples();
    void agreesWithPlainDetection();
    void manyFrames_data();
    void manyFrames();
    void wideFrames_data();
    void wideFrames();
    void edgeCases_data();
    void edgeCases();
    void refusedPositionsAreNotCounted();
    void failures_data();
    void failures();
    void noSourceMeansNoFrames();
    void planeSumWrapsAt32Bits();
};

void TestHotpixelDetector::workedExamples_data()
{
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<QVector<QImage>>("frames");
    QTest::addColumn<uint>("threshold");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("monochrome, two frames")
        << mono
        << QVector<QImage>{frameOf(2, 2, {10, 12, 11, 200}), frameOf(2, 2, {12, 12, 13, 250})}
        << 40u << QStringList{QStringLiteral("1,1,1")};
    QTest::newRow("raw Bayer, one frame")
        << bayer
        << QVector<QImage>{frameOf(
               4, 4, {10, 20, 12, 20, 21, 30, 20, 90, 11, 20, 10, 21, 20, 30, 21, 30})}
        << 10u << QStringList{QStringLiteral("3,1,1")};
}

void TestHotpixelDetector::workedExamples()
{
    QFETCH(int, colorMode);
    QFETCH(QVector<QImage>, frames);
    QFETCH(uint, threshold);
    QFETCH(QStringList, entries);

    const Outcome outcome = detect({}, colorMode, frames, threshold);
    QCOMPARE(outcome.entries, entries);
    QCOMPARE(outcome.added, entries.size());
    QCOMPARE(outcome.finished, 1);
}

void TestHotpixelDetector::agreesWithPlainDetection()
{
    QRandomGenerator random(20240611);
    for (int run = 0; run < 400; ++run) {
        const int colorMode = run % 2 == 0 ? mono : bayer;
        const int smallest = colorMode == bayer ? 2 : 1;
        const int width = smallest + random.bounded(10 - smallest);
        const int height = smallest + random.bounded(10 - smallest);
        const int count = 1 + random.bounded(12);
        const auto threshold =
            uint32_t(random.bounded(2) == 0 ? random.bounded(256) : random.bounded(24));
        const QVector<QImage> frames = randomFrames(random, width, height, count);
        const QList<Badpixel> initial = randomEntries(random, width, height);

        const Outcome found = detect(initial, colorMode, frames, threshold);
        const Outcome wanted = expected(initial, colorMode, frames, threshold);
        const QByteArray where = QStringLiteral("run %1: mode %2, %3x%4, %5 frames, threshold %6")
                                     .arg(run)
                                     .arg(colorMode)
                                     .arg(width)
                                     .arg(height)
                                     .arg(count)
                                     .arg(threshold)
                                     .toLatin1();
        QVERIFY2(found.entries == wanted.entries, where.constData());
        QVERIFY2(found.added == wanted.added, where.constData());
        QVERIFY2(found.finished == 1, where.constData());
    }
}

void TestHotpixelDetector::manyFrames_data()
{
    QTest::addColumn<int>("count");

    // 185 frames is the last count whose mean a 16-bit multiply gives exactly, 186 the first
    // that is divided; beyond 257 frames the sums no longer fit 16 bits.
    QTest::newRow("185 frames") << 185;
    QTest::newRow("186 frames") << 186;
    QTest::newRow("257 frames") << 257;
    QTest::newRow("258 frames") << 258;
    QTest::newRow("600 frames") << 600;
}

void TestHotpixelDetector::manyFrames()
{
    QFETCH(int, count);

    QRandomGenerator random{uint32_t(count)};
    for (const int colorMode : {mono, bayer}) {
        const QVector<QImage> frames = randomFrames(random, 5, 4, count);
        for (const uint32_t threshold : {0u, 3u, 20u}) {
            const Outcome found = detect({}, colorMode, frames, threshold);
            const Outcome wanted = expected({}, colorMode, frames, threshold);
            QCOMPARE(found.entries, wanted.entries);
        }
    }
}

// Frames wider than the blocks of columns that are summed at a time.
void TestHotpixelDetector::wideFrames_data()
{
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("count");

    QTest::newRow("monochrome 1100 wide") << mono << 1100 << 3 << 10;
    QTest::newRow("monochrome 513 wide, 300 frames") << mono << 513 << 2 << 300;
    QTest::newRow("bayer 1101 wide") << bayer << 1101 << 4 << 10;
    QTest::newRow("bayer 1026 wide, one frame") << bayer << 1026 << 3 << 1;
    QTest::newRow("bayer 1024 wide, 186 frames") << bayer << 1024 << 2 << 186;
}

void TestHotpixelDetector::wideFrames()
{
    QFETCH(int, colorMode);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, count);

    QRandomGenerator random{uint32_t(width * count)};
    const QVector<QImage> frames = randomFrames(random, width, height, count);
    for (const uint32_t threshold : {0u, 5u, 60u}) {
        const Outcome found = detect({}, colorMode, frames, threshold);
        QCOMPARE(found.entries, expected({}, colorMode, frames, threshold).entries);
    }
}

void TestHotpixelDetector::edgeCases_data()
{
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<QVector<QImage>>("frames");
    QTest::addColumn<uint>("threshold");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("single frame is its own average")
        << mono << QVector<QImage>{frameOf(3, 2, {5, 5, 5, 5, 40, 26})} << 20u
        << QStringList{QStringLiteral("1,1,1")};
    QTest::newRow("average rounds down")
        << mono << QVector<QImage>{frameOf(2, 1, {0, 41}), frameOf(2, 1, {0, 40})} << 30u
        << QStringList();
    QTest::newRow("limit equal, not hot")
        << mono << QVector<QImage>{frameOf(2, 2, {10, 10, 10, 50})} << 30u << QStringList();
    QTest::newRow("one grey level above limit, hot")
        << mono << QVector<QImage>{frameOf(2, 2, {10, 10, 10, 51})} << 30u
        << QStringList{QStringLiteral("1,1,1")};
    QTest::newRow("uniform bright frame")
        << mono << QVector<QImage>{frameOf(2, 2, {230, 230, 230, 230})} << 0u << QStringList();
    QTest::newRow("1x1 monochrome frame")
        << mono << QVector<QImage>{frameOf(1, 1, {255}), frameOf(1, 1, {0})} << 0u << QStringList();
    QTest::newRow("threshold wraps the limit")
        << mono << QVector<QImage>{frameOf(2, 2, {9, 10, 11, 12})} << 0xFFFFFFFFu
        << QStringList{QStringLiteral("1,0,1"), QStringLiteral("0,1,1"), QStringLiteral("1,1,1")};
    QTest::newRow("odd width bayer, last column never reported")
        << bayer << QVector<QImage>{frameOf(5, 2, {10, 10, 10, 10, 255, 10, 10, 10, 10, 255})} << 5u
        << QStringList();
    QTest::newRow("odd height bayer, last row never reported")
        << bayer << QVector<QImage>{frameOf(2, 3, {10, 10, 10, 10, 255, 255})} << 5u
        << QStringList();
    // Green sites on odd rows at 100 with one at 150 (mean 112), on even rows at 10 with one
    // at 60 (mean 22): each is hot against its own plane only.
    QTest::newRow("separate green planes")
        << bayer
        << QVector<QImage>{frameOf(
               4, 4, {10, 10, 10, 10, 100, 10, 100, 10, 10, 10, 10, 60, 100, 10, 150, 10})}
        << 30u << QStringList{QStringLiteral("2,3,1"), QStringLiteral("3,2,1")};
    QTest::newRow("bayer sites in pattern order, not frame order")
        << bayer
        << QVector<QImage>{frameOf(4, 4, {0, 0, 0, 99, 99, 99, 0, 0, 0, 0, 99, 0, 0, 0, 0, 0})}
        << 10u
        << QStringList{QStringLiteral("2,2,1"), QStringLiteral("0,1,1"), QStringLiteral("3,0,1"),
                       QStringLiteral("1,1,1")};
}

void TestHotpixelDetector::edgeCases()
{
    QFETCH(int, colorMode);
    QFETCH(QVector<QImage>, frames);
    QFETCH(uint, threshold);
    QFETCH(QStringList, entries);

    QCOMPARE(detect({}, colorMode, frames, threshold).entries, entries);
}

void TestHotpixelDetector::refusedPositionsAreNotCounted()
{
    QVector<int> values(16, 5);
    for (const int at : {0, 5, 10, 15})
        values[at] = 200;
    const QVector<QImage> frames{frameOf(4, 4, values)};
    const QList<Badpixel> initial{{0, 0, Factory}, {1, 1, User}, {2, 2, Ignore}};

    const Outcome outcome = detect(initial, mono, frames, 20);
    QCOMPARE(outcome.entries,
             QStringList({QStringLiteral("0,0,0"), QStringLiteral("1,1,1"), QStringLiteral("2,2,2"),
                          QStringLiteral("2,2,1"), QStringLiteral("3,3,1")}));
    QCOMPARE(outcome.added, 2);
}

void TestHotpixelDetector::failures_data()
{
    QTest::addColumn<int>("colorMode");
    QTest::addColumn<QVector<QImage>>("frames");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("text");

    const QString noImages = QStringLiteral("No images acquired for hot pixel detection.");
    const QString format = QStringLiteral("Image format for hot pixel detection not supported.");
    const QString colorMode = QStringLiteral("Color mode for hot pixel detection not supported.");
    const QString size = QStringLiteral("Aqcuired images are not the same size.");
    const QString noSize = QStringLiteral("Matrix has no size");
    // A hot pixel at (1, 1), so that a pass that did not stop would add it.
    const QImage hot = frameOf(4, 4, {0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

    QTest::newRow("no frames") << mono << QVector<QImage>() << Failure::Runtime << noImages;
    QTest::newRow("no frames, unknown colour mode")
        << 0 << QVector<QImage>() << Failure::Runtime << noImages;
    QTest::newRow("first frame 8-bit grey, not indexed")
        << mono << QVector<QImage>{hot.convertToFormat(QImage::Format_Grayscale8)}
        << Failure::Runtime << format;
    QTest::newRow("first frame null")
        << mono << QVector<QImage>{QImage(), hot} << Failure::Runtime << format;
    QTest::newRow("first frame 32-bit, unknown colour mode")
        << 0 << QVector<QImage>{hot.convertToFormat(QImage::Format_RGB32)} << Failure::Runtime
        << format;
    QTest::newRow("colour mode 0") << 0 << QVector<QImage>{hot} << Failure::ColorMode << colorMode;
    QTest::newRow("colour mode 7") << 7 << QVector<QImage>{hot} << Failure::ColorMode << colorMode;
    QTest::newRow("second frame narrower")
        << mono << QVector<QImage>{hot, TestUtils::greyFrame(3, 4)} << Failure::Runtime << size;
    QTest::newRow("last frame lower, bayer")
        << bayer << QVector<QImage>{hot, hot, TestUtils::greyFrame(4, 2)} << Failure::Runtime
        << size;
    QTest::newRow("empty frame after a camera removal")
        << bayer << QVector<QImage>{hot, QImage()} << Failure::Runtime << size;
    // Its lines hold fewer bytes than pixels: reading a byte per pixel would overrun them.
    QTest::newRow("second frame of 1-bit pixels")
        << mono << QVector<QImage>{TestUtils::greyFrame(40, 2), QImage(40, 2, QImage::Format_Mono)}
        << Failure::Runtime << format;
    QTest::newRow("bayer frame one pixel wide")
        << bayer << QVector<QImage>{TestUtils::greyFrame(1, 4)} << Failure::Length << noSize;
    QTest::newRow("bayer frame one pixel high")
        << bayer << QVector<QImage>{TestUtils::greyFrame(4, 1)} << Failure::Length << noSize;
}

void TestHotpixelDetector::failures()
{
    QFETCH(int, colorMode);
    QFETCH(QVector<QImage>, frames);
    QFETCH(Failure, failure);
    QFETCH(QString, text);

    BadpixelListModel list;
    QVERIFY(list.addBadpixel(QPoint(3, 3)));
    HotpixelDetector detector(0);
    QSignalSpy finished(&detector, &BadpixelDetector::detectionFinished);
    QSignalSpy added(&list, &BadpixelListModel::pixelAdded);
    detector.setSource(colorMode, &frames);
    try {
        detector.findHotpixels(&list);
        QFAIL("the pass did not fail");
    } catch (const std::exception& e) {
        switch (failure) {
        case Failure::Runtime:
            QCOMPARE(typeName(e), QByteArray(typeid(std::runtime_error).name()));
            break;
        case Failure::ColorMode:
            QCOMPARE(typeName(e), QByteArray(typeid(BadpixelDetector::ErrColorMode).name()));
            break;
        case Failure::Length:
            QCOMPARE(typeName(e), QByteArray(typeid(std::length_error).name()));
            break;
        }
        QCOMPARE(QString::fromLatin1(e.what()), text);
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(added.count(), 0);
    QCOMPARE(describe(list.badpixelList()), QStringList{QStringLiteral("3,3,1")});
}

void TestHotpixelDetector::noSourceMeansNoFrames()
{
    BadpixelListModel list;
    HotpixelDetector detector(25);
    QSignalSpy finished(&detector, &BadpixelDetector::detectionFinished);
    try {
        detector.findHotpixels(&list);
        QFAIL("the pass did not fail");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromLatin1(e.what()),
                 QStringLiteral("No images acquired for hot pixel detection."));
    }
    QCOMPARE(finished.count(), 1);
}

// 4200 x 4100 cells of 254 sum to more than 2^32: the wrapped sum gives a mean of 4, so with a
// threshold of 250 the one pixel at 255 is above the limit (it would not be against the true
// mean of 254).
void TestHotpixelDetector::planeSumWrapsAt32Bits()
{
    QImage frame = TestUtils::greyFrame(4200, 4100, 254);
    frame.scanLine(4000)[17] = 255;

    QCOMPARE(detect({}, mono, {frame}, 250).entries, QStringList{QStringLiteral("17,4000,1")});
}

QTEST_GUILESS_MAIN(TestHotpixelDetector)
#include "tst_hotpixeldetector.moc"
