#include "badpixellistmodel.h"
#include "deadpixeldetector.h"
#include "detectionevidence.h"
#include "hotpixeldetector.h"
#include "testutils.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <typeinfo>

Q_DECLARE_METATYPE(CaptureRecord::Mode)

namespace {

constexpr int mono = BadpixelDetector::colorModeMono8;
constexpr int bayer = BadpixelDetector::colorModeBayer8;
constexpr int noSource = -1;

// A frame from its pixel values, row by row.
QImage frameOf(int width, int height, const QVector<int>& values)
{
    QImage frame = TestUtils::greyFrame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.scanLine(y)[x] = uchar(values.at(y * width + x));
    return frame;
}

// Entries given as "x,y,class", separated by spaces.
QStringList listed(const char* entries)
{
    return QString::fromLatin1(entries).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// "x,y,class" of each entry.
QStringList describe(const BadpixelListModel& list)
{
    QStringList result;
    for (const Badpixel& e : list.badpixelList())
        result << QStringLiteral("%1,%2,%3").arg(e.x).arg(e.y).arg(e.pixelclass);
    return result;
}

// Puts entries of any class into the list, the way a text import brings them.
void fill(BadpixelListModel& list, const QList<Badpixel>& entries)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("entries.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream out(&file);
    for (const Badpixel& e : entries)
        out << e.x << ' ' << e.y << ' ' << e.pixelclass << '\n';
    out.flush();
    list.importFromFile(file.fileName());
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
    return {describe(list), int(added.count()), int(finished.count())};
}

// Two frames of a level with pixels planted 1, 2, 3 ... grey levels beyond it on the mode's side,
// one per pixel from the top left, and a little noise that the averaging floors away.
QVector<QImage> plantedFrames(int width, int height, CaptureRecord::Mode mode)
{
    const bool hot = mode == CaptureRecord::Mode::HotPixels;
    const int level = hot ? 12 : 243;
    QVector<int> first;
    QVector<int> second;
    for (int p = 0; p < width * height; ++p) {
        const int strength = std::min(p + 1, 230);
        const int value = p < 240 ? (hot ? level + strength : level - strength) : level;
        first << value;
        second << std::clamp(value + (p % 3 == 0 ? 1 : 0), 0, 255);
    }
    return {frameOf(width, height, first), frameOf(width, height, second)};
}

} // namespace

class TestHotpixelDetector : public QObject
{
    Q_OBJECT

private slots:
    void detection_data()
    {
        QTest::addColumn<int>("colorMode");
        QTest::addColumn<QVector<QImage>>("frames");
        QTest::addColumn<uint>("threshold");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("worked example, monochrome, two frames")
            << mono
            << QVector<QImage>{frameOf(2, 2, {10, 12, 11, 200}), frameOf(2, 2, {12, 12, 13, 250})}
            << 40u << listed("1,1,1");
        QTest::newRow("worked example, raw Bayer, one frame")
            << bayer
            << QVector<QImage>{frameOf(
                   4, 4, {10, 20, 12, 20, 21, 30, 20, 90, 11, 20, 10, 21, 20, 30, 21, 30})}
            << 10u << listed("3,1,1");
        QTest::newRow("single frame is its own average")
            << mono << QVector<QImage>{frameOf(3, 2, {5, 5, 5, 5, 40, 26})} << 20u
            << listed("1,1,1");
        QTest::newRow("average rounds down")
            << mono << QVector<QImage>{frameOf(2, 1, {0, 41}), frameOf(2, 1, {0, 40})} << 30u
            << listed("");
        QTest::newRow("limit equal, not hot")
            << mono << QVector<QImage>{frameOf(2, 2, {10, 10, 10, 50})} << 30u << listed("");
        QTest::newRow("one grey level above limit, hot")
            << mono << QVector<QImage>{frameOf(2, 2, {10, 10, 10, 51})} << 30u << listed("1,1,1");
        QTest::newRow("uniform bright frame")
            << mono << QVector<QImage>{frameOf(2, 2, {230, 230, 230, 230})} << 0u << listed("");
        QTest::newRow("1x1 monochrome frame")
            << mono << QVector<QImage>{frameOf(1, 1, {255}), frameOf(1, 1, {0})} << 0u
            << listed("");
        QTest::newRow("threshold wraps the limit")
            << mono << QVector<QImage>{frameOf(2, 2, {9, 10, 11, 12})} << 0xFFFFFFFFu
            << listed("1,0,1 0,1,1 1,1,1");
        QTest::newRow("odd width bayer, last column never reported")
            << bayer << QVector<QImage>{frameOf(5, 2, {10, 10, 10, 10, 255, 10, 10, 10, 10, 255})}
            << 5u << listed("");
        QTest::newRow("odd height bayer, last row never reported")
            << bayer << QVector<QImage>{frameOf(2, 3, {10, 10, 10, 10, 255, 255})} << 5u
            << listed("");
        // Green sites on odd rows at 100 with one at 150 (mean 112), on even rows at 10 with one
        // at 60 (mean 22): each is hot against its own plane only.
        QTest::newRow("separate green planes")
            << bayer
            << QVector<QImage>{frameOf(
                   4, 4, {10, 10, 10, 10, 100, 10, 100, 10, 10, 10, 10, 60, 100, 10, 150, 10})}
            << 30u << listed("2,3,1 3,2,1");
        QTest::newRow("bayer sites in pattern order, not frame order")
            << bayer
            << QVector<QImage>{frameOf(4, 4, {0, 0, 0, 99, 99, 99, 0, 0, 0, 0, 99, 0, 0, 0, 0, 0})}
            << 10u << listed("2,2,1 0,1,1 3,0,1 1,1,1");
        // 4200 x 4100 cells of 254 sum to more than 2^32: the wrapped sum gives a mean of 4, so
        // the one pixel at 255 is above the limit (it would not be against the true mean).
        QImage large = TestUtils::greyFrame(4200, 4100, 254);
        large.scanLine(4000)[17] = 255;
        QTest::newRow("plane sum wraps at 32 bits")
            << mono << QVector<QImage>{large} << 250u << listed("17,4000,1");
    }

    void detection()
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

    // Frame counts around the limits of 16-bit sums and of exact division by a multiply
    // (185 the last exact, 257 the last whose sum fits), and frames wider than the blocks of 512
    // columns that are summed at a time.
    void largeInputs_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("count");

        for (const int count : {185, 186, 257, 258, 600})
            QTest::addRow("%d frames", count) << 5 << 4 << count;
        QTest::newRow("1101 wide") << 1101 << 4 << 10;
        QTest::newRow("513 wide, 300 frames") << 513 << 2 << 300;
        QTest::newRow("1026 wide, one frame") << 1026 << 3 << 1;
        QTest::newRow("1024 wide, 186 frames") << 1024 << 2 << 186;
    }

    // Identical frames: one pixel at 255 in the last full cell of a plane and
    // one at 254 at the origin, with the limit at 254, so that a sum or an
    // average off by one anywhere loses or gains an entry.
    void largeInputs()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, count);

        for (const int colorMode : {mono, bayer}) {
            const int step = colorMode == bayer ? 2 : 1;
            const QPoint hot((width / step - 1) * step, (height / step - 1) * step);
            QImage frame = TestUtils::greyFrame(width, height);
            frame.scanLine(hot.y())[hot.x()] = 255;
            frame.scanLine(0)[0] = 254;
            const int cells = (width / step) * (height / step);
            const auto threshold = uint32_t(254 - 509 / cells);
            QCOMPARE(detect({}, colorMode, QVector<QImage>(count, frame), threshold).entries,
                     QStringList{QStringLiteral("%1,%2,1").arg(hot.x()).arg(hot.y())});
        }
    }

    void refusedPositionsAreNotCounted()
    {
        QVector<int> values(16, 5);
        for (const int at : {0, 5, 10, 15})
            values[at] = 200;
        const QList<Badpixel> initial{{0, 0, Factory}, {1, 1, User}, {2, 2, Ignore}};

        const Outcome outcome = detect(initial, mono, {frameOf(4, 4, values)}, 20);
        QCOMPARE(outcome.entries, listed("0,0,0 1,1,1 2,2,2 2,2,1 3,3,1"));
        QCOMPARE(outcome.added, 2);
    }

    // Mean 175 (700 / 4), so 135 is the limit: 134 is dim, 135 is not.
    void dimPixels_data()
    {
        QTest::addColumn<int>("colorMode");
        QTest::addColumn<QImage>("frame");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("monochrome, one grey level below the limit")
            << mono << frameOf(2, 2, {200, 200, 200, 100}) << listed("1,1,1");
        // Plane 1 (even column, odd row) holds 200, 200, 200, 100 (limit 135); plane 2 holds 150,
        // 150, 150, 111 (mean 140, limit 100), so its 111 is not dim, though below plane 1's limit.
        QTest::newRow("raw Bayer, each against its own plane")
            << bayer
            << frameOf(4, 4, {9, 150, 9, 150, 200, 9, 200, 9, 9, 150, 9, 111, 200, 9, 100, 9})
            << listed("2,3,1");
    }

    void dimPixels()
    {
        QFETCH(int, colorMode);
        QFETCH(QImage, frame);
        QFETCH(QStringList, entries);

        const QVector<QImage> frames{frame};
        BadpixelListModel list;
        DeadpixelDetector detector(40);
        QSignalSpy finished(&detector, &BadpixelDetector::detectionFinished);
        detector.setSource(colorMode, &frames);
        detector.findHotpixels(&list);
        QCOMPARE(describe(list), entries);
        QCOMPARE(finished.count(), 1);
    }

    // What the evidence of one run counts and adds for each threshold is what a full detection at
    // that threshold adds, on a list holding some of the planted pixels already.
    void evidenceMatchesDetection_data()
    {
        QTest::addColumn<int>("colorMode");
        QTest::addColumn<CaptureRecord::Mode>("mode");

        QTest::newRow("hot, monochrome") << mono << CaptureRecord::Mode::HotPixels;
        QTest::newRow("hot, raw Bayer") << bayer << CaptureRecord::Mode::HotPixels;
        QTest::newRow("dim, monochrome") << mono << CaptureRecord::Mode::DeadPixels;
        QTest::newRow("dim, raw Bayer") << bayer << CaptureRecord::Mode::DeadPixels;
    }

    void evidenceMatchesDetection()
    {
        QFETCH(int, colorMode);
        QFETCH(CaptureRecord::Mode, mode);

        const QVector<QImage> frames = plantedFrames(31, 17, mode);
        // Planted pixels 100, 150 and 200 levels away are listed as factory, user and ignored
        // entries; a duplicate of the factory one must be refused once only.
        const QList<Badpixel> initial{
            {3, 3, Factory}, {18, 4, User}, {2, 6, Ignore}, {3, 3, User}, {30, 16, Factory}};
        CaptureRecord record;
        record.mode = mode;
        DetectionEvidence evidence(colorMode, frames, record);
        for (uint32_t threshold = 5; threshold <= 255; ++threshold) {
            BadpixelListModel detected;
            fill(detected, initial);
            QSignalSpy added(&detected, &BadpixelListModel::pixelAdded);
            const std::unique_ptr<BadpixelDetector> detector =
                DetectionEvidence::detectorFor(mode, threshold);
            detector->setSource(colorMode, &frames);
            detector->findHotpixels(&detected);
            BadpixelListModel onEmpty;
            detector->findHotpixels(&onEmpty);

            BadpixelListModel previewed;
            fill(previewed, initial);
            evidence.setListed(previewed.badpixelList());
            const DetectionEvidence::CandidateCount count = evidence.count(int(threshold));
            evidence.addCandidates(previewed, int(threshold));

            const QByteArray where = QByteArray("threshold ") + QByteArray::number(threshold);
            QVERIFY2(count.above == uint64_t(onEmpty.rowCount()), where.constData());
            QVERIFY2(count.fresh == uint64_t(added.count()), where.constData());
            QVERIFY2(describe(previewed) == describe(detected), where.constData());
        }
    }

    void failures_data()
    {
        QTest::addColumn<int>("colorMode");
        QTest::addColumn<QVector<QImage>>("frames");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("text");

        const QByteArray runtime = typeid(std::runtime_error).name();
        const QByteArray length = typeid(std::length_error).name();
        const QByteArray colorModeType = typeid(BadpixelDetector::ErrColorMode).name();
        const QString noImages = QStringLiteral("No images acquired for hot pixel detection.");
        const QString format =
            QStringLiteral("Image format for hot pixel detection not supported.");
        const QString colorMode =
            QStringLiteral("Color mode for hot pixel detection not supported.");
        const QString size = QStringLiteral("Aqcuired images are not the same size.");
        const QString noSize = QStringLiteral("Matrix has no size");
        // A hot pixel at (1, 1), so that a pass that did not stop would add it.
        const QImage hot = frameOf(4, 4, {0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

        QTest::newRow("no source") << noSource << QVector<QImage>() << runtime << noImages;
        QTest::newRow("no frames") << mono << QVector<QImage>() << runtime << noImages;
        QTest::newRow("no frames, unknown colour mode")
            << 0 << QVector<QImage>() << runtime << noImages;
        QTest::newRow("first frame 8-bit grey, not indexed")
            << mono << QVector<QImage>{hot.convertToFormat(QImage::Format_Grayscale8)} << runtime
            << format;
        QTest::newRow("first frame null")
            << mono << QVector<QImage>{QImage(), hot} << runtime << format;
        QTest::newRow("first frame 32-bit, unknown colour mode")
            << 0 << QVector<QImage>{hot.convertToFormat(QImage::Format_RGB32)} << runtime << format;
        QTest::newRow("colour mode 0") << 0 << QVector<QImage>{hot} << colorModeType << colorMode;
        QTest::newRow("colour mode 7") << 7 << QVector<QImage>{hot} << colorModeType << colorMode;
        QTest::newRow("second frame narrower")
            << mono << QVector<QImage>{hot, TestUtils::greyFrame(3, 4)} << runtime << size;
        QTest::newRow("last frame lower, bayer")
            << bayer << QVector<QImage>{hot, hot, TestUtils::greyFrame(4, 2)} << runtime << size;
        QTest::newRow("empty frame after a camera removal")
            << bayer << QVector<QImage>{hot, QImage()} << runtime << size;
        // Its lines hold fewer bytes than pixels: reading a byte per pixel would overrun them.
        QTest::newRow("second frame of 1-bit pixels")
            << mono
            << QVector<QImage>{TestUtils::greyFrame(40, 2), QImage(40, 2, QImage::Format_Mono)}
            << runtime << format;
        QTest::newRow("bayer frame one pixel wide")
            << bayer << QVector<QImage>{TestUtils::greyFrame(1, 4)} << length << noSize;
        QTest::newRow("bayer frame one pixel high")
            << bayer << QVector<QImage>{TestUtils::greyFrame(4, 1)} << length << noSize;
    }

    void failures()
    {
        QFETCH(int, colorMode);
        QFETCH(QVector<QImage>, frames);
        QFETCH(QByteArray, type);
        QFETCH(QString, text);

        BadpixelListModel list;
        QVERIFY(list.addBadpixel(QPoint(3, 3)));
        HotpixelDetector detector(0);
        QSignalSpy finished(&detector, &BadpixelDetector::detectionFinished);
        QSignalSpy added(&list, &BadpixelListModel::pixelAdded);
        if (colorMode != noSource)
            detector.setSource(colorMode, &frames);
        try {
            detector.findHotpixels(&list);
            QFAIL("the pass did not fail");
        } catch (const std::exception& e) {
            QCOMPARE(QByteArray(typeid(e).name()), type);
            QCOMPARE(QString::fromLatin1(e.what()), text);
        }
        QCOMPARE(finished.count(), 1);
        QCOMPARE(added.count(), 0);
        QCOMPARE(describe(list), listed("3,3,1"));
    }
};

QTEST_GUILESS_MAIN(TestHotpixelDetector)
#include "tst_hotpixeldetector.moc"
