#include "badpixeldetector.h"
#include "badpixellistmodel.h"
#include "detectionevidence.h"
#include "testutils.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <memory>
#include <stdexcept>
#include <typeinfo>

using Mode = CaptureRecord::Mode;
Q_DECLARE_METATYPE(Mode)

namespace {

constexpr int mono = BadpixelDetector::colorModeMono8;
constexpr int bayer = BadpixelDetector::colorModeBayer8;
constexpr Mode hot = Mode::HotPixels;
constexpr Mode dim = Mode::DeadPixels;

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
QStringList listed(const QString& entries)
{
    return entries.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList describe(const BadpixelListModel& list)
{
    QStringList result;
    for (const Badpixel& e : list.badpixelList())
        result << QStringLiteral("%1,%2,%3").arg(e.x).arg(e.y).arg(e.pixelclass);
    return result;
}

// Lists entries of any class, the way a text import brings them.
void fill(BadpixelListModel& list, const QStringList& entries)
{
    if (entries.isEmpty())
        return;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("entries.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream(&file) << entries.join(QLatin1Char('\n')).replace(QLatin1Char(','), ' ') << '\n';
    file.close();
    list.importFromFile(file.fileName());
}

// One pass over the frames on a list that holds the entries given: the
// entries after it, how many were announced as added, how often the detector
// said it was done and the type and text of what it threw.
struct Outcome
{
    QStringList entries;
    int added = 0, finished = 0;
    QString failure;
};

QString failure(const std::type_info& type, const char* text)
{
    return QString::fromLatin1(type.name()) + QLatin1Char(' ') + QString::fromLatin1(text);
}

Outcome detect(Mode mode, uint32_t threshold, int colorMode, const QVector<QImage>* frames,
               const QStringList& initial = {})
{
    const auto detector = DetectionEvidence::detectorFor(mode, threshold);
    BadpixelListModel list;
    fill(list, initial);
    QSignalSpy finished(detector.get(), &BadpixelDetector::detectionFinished);
    QSignalSpy added(&list, &BadpixelListModel::pixelAdded);
    if (frames)
        detector->setSource(colorMode, frames);
    QString thrown;
    try {
        detector->findHotpixels(&list);
    } catch (const std::exception& e) {
        thrown = failure(typeid(e), e.what());
    }
    return {describe(list), int(added.count()), int(finished.count()), thrown};
}

// Two frames of a level with pixels planted 1, 2, 3 ... grey levels beyond it on the mode's side,
// one per pixel from the top left, and a little noise that the averaging floors away.
QVector<QImage> plantedFrames(int width, int height, Mode mode)
{
    const int level = mode == hot ? 12 : 243;
    QVector<int> first, second;
    for (int p = 0; p < width * height; ++p) {
        const int strength = std::min(p + 1, 230);
        const int value = p < 240 ? (mode == hot ? level + strength : level - strength) : level;
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
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("colorMode");
        QTest::addColumn<QVector<QImage>>("frames");
        QTest::addColumn<uint>("threshold");
        QTest::addColumn<QStringList>("initial");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("failure");
        const auto row = [](const char* name, int colorMode, const QVector<QImage>& frames,
                            uint threshold, const QString& entries, Mode mode = hot,
                            const char* initial = "", const QString& failure = QString()) {
            QTest::newRow(name) << mode << colorMode << frames << threshold
                                << listed(QLatin1String(initial)) << listed(entries) << failure;
        };

        row("worked example, monochrome, two frames", mono,
            {frameOf(2, 2, {10, 12, 11, 200}), frameOf(2, 2, {12, 12, 13, 250})}, 40, "1,1,1");
        row("worked example, raw Bayer, one frame", bayer,
            {frameOf(4, 4, {10, 20, 12, 20, 21, 30, 20, 90, 11, 20, 10, 21, 20, 30, 21, 30})}, 10,
            "3,1,1");
        row("limit equal, not hot", mono, {frameOf(2, 2, {10, 10, 10, 50})}, 30, "");
        row("one grey level above limit, hot", mono, {frameOf(2, 2, {10, 10, 10, 51})}, 30,
            "1,1,1");
        row("threshold wraps the limit", mono, {frameOf(2, 2, {9, 10, 11, 12})}, 0xFFFFFFFFu,
            "1,0,1 0,1,1 1,1,1");
        row("odd width bayer, last column never reported", bayer,
            {frameOf(5, 2, {10, 10, 10, 10, 255, 10, 10, 10, 10, 255})}, 5, "");
        // Green sites on odd rows at 100 with one at 150 (mean 112), on even rows at 10 with one
        // at 60 (mean 22): each is hot against its own plane only.
        row("separate green planes", bayer,
            {frameOf(4, 4, {10, 10, 10, 10, 100, 10, 100, 10, 10, 10, 10, 60, 100, 10, 150, 10})},
            30, "2,3,1 3,2,1");
        row("bayer sites in pattern order, not frame order", bayer,
            {frameOf(4, 4, {0, 0, 0, 99, 99, 99, 0, 0, 0, 0, 99, 0, 0, 0, 0, 0})}, 10,
            "2,2,1 0,1,1 3,0,1 1,1,1");
        // Factory, user and ignored entries hold their positions; only the others are added.
        row("listed positions refused", mono,
            {frameOf(4, 4, {200, 5, 5, 5, 5, 200, 5, 5, 5, 5, 200, 5, 5, 5, 5, 200})}, 20,
            "0,0,0 1,1,1 2,2,2 2,2,1 3,3,1", hot, "0,0,0 1,1,1 2,2,2");
        // Mean 175 (700 / 4), so 135 is the limit: 134 is dim, 135 is not.
        row("dim, monochrome, one grey level below the limit", mono,
            {frameOf(2, 2, {200, 200, 200, 100})}, 40, "1,1,1", dim);
        // Plane 1 (even column, odd row) holds 200, 200, 200, 100 (limit 135); plane 2 holds 150,
        // 150, 150, 111 (mean 140, limit 100), so its 111 is not dim, though below plane 1's limit.
        row("dim, raw Bayer, each against its own plane", bayer,
            {frameOf(4, 4, {9, 150, 9, 150, 200, 9, 200, 9, 9, 150, 9, 111, 200, 9, 100, 9})}, 40,
            "2,3,1", dim);
        // 4200 x 4100 cells of 254 sum to more than 2^32: the wrapped sum gives a mean of 4, so
        // the one pixel at 255 is above the limit (it would not be against the true mean).
        QImage large = TestUtils::greyFrame(4200, 4100, 254);
        large.scanLine(4000)[17] = 255;
        row("plane sum wraps at 32 bits", mono, {large}, 250, "17,4000,1");

        // A failing pass stops, says it is done and leaves the list as it was; the hot pixel at
        // (1, 1) would be added by one that did not stop.
        const QImage one = frameOf(4, 4, {0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        const auto fails = [&](const char* name, int colorMode, const QVector<QImage>& frames,
                               const std::type_info& type, const char* text) {
            row(name, colorMode, frames, 0, "3,3,1", hot, "3,3,1", failure(type, text));
        };
        const char* noImages = "No images acquired for hot pixel detection.";
        const char* format = "Image format for hot pixel detection not supported.";
        const std::type_info& runtime = typeid(std::runtime_error);
        fails("no source set (-1)", -1, {}, runtime, noImages);
        fails("no frames", mono, {}, runtime, noImages);
        fails("first frame 8-bit grey, not indexed", mono,
              {one.convertToFormat(QImage::Format_Grayscale8)}, runtime, format);
        fails("colour mode 7", 7, {one}, typeid(BadpixelDetector::ErrColorMode),
              "Color mode for hot pixel detection not supported.");
        fails("empty frame after a camera removal", bayer, {one, QImage()}, runtime,
              "Aqcuired images are not the same size.");
        // Its lines hold fewer bytes than pixels: reading a byte per pixel would overrun them.
        fails("second frame of 1-bit pixels", mono,
              {TestUtils::greyFrame(40, 2), QImage(40, 2, QImage::Format_Mono)}, runtime, format);
        fails("bayer frame one pixel wide", bayer, {TestUtils::greyFrame(1, 4)},
              typeid(std::length_error), "Matrix has no size");

        // Frame counts around the limits of 16-bit sums and of exact division by a multiply
        // (185 the last exact, 257 the last whose sum fits), and frames wider than the blocks of
        // 512 columns that are summed at a time. Identical frames: one pixel at 255 in the last
        // full cell of a plane and one at 254 at the origin, with the limit at 254, so that a sum
        // or an average off by one anywhere loses or gains an entry.
        for (const QVector<int>& size : {QVector<int>{5, 4, 185},
                                         {5, 4, 186},
                                         {5, 4, 257},
                                         {5, 4, 258},
                                         {1101, 4, 10},
                                         {513, 2, 300}}) {
            for (const int colorMode : {mono, bayer}) {
                const int step = colorMode == bayer ? 2 : 1;
                const QPoint at((size[0] / step - 1) * step, (size[1] / step - 1) * step);
                QImage frame = TestUtils::greyFrame(size[0], size[1]);
                frame.scanLine(at.y())[at.x()] = 255;
                frame.scanLine(0)[0] = 254;
                const int cells = (size[0] / step) * (size[1] / step);
                const QByteArray name = QString::asprintf("%d frames %dx%d, colour mode %d",
                                                          size[2], size[0], size[1], colorMode)
                                            .toLatin1();
                row(name.constData(), colorMode, QVector<QImage>(size[2], frame),
                    uint(254 - 509 / cells), QStringLiteral("%1,%2,1").arg(at.x()).arg(at.y()));
            }
        }
    }

    void detection()
    {
        QFETCH(Mode, mode);
        QFETCH(int, colorMode);
        QFETCH(QVector<QImage>, frames);
        QFETCH(uint, threshold);
        QFETCH(QStringList, initial);
        QFETCH(QStringList, entries);
        QFETCH(QString, failure);

        const Outcome outcome =
            detect(mode, threshold, colorMode, colorMode < 0 ? nullptr : &frames, initial);
        QCOMPARE(outcome.failure, failure);
        QCOMPARE(outcome.entries, entries);
        QCOMPARE(outcome.added, entries.size() - initial.size());
        QCOMPARE(outcome.finished, 1);
    }

    // What the evidence of one run counts and adds for each threshold is what a full detection at
    // that threshold adds, on a list holding some of the planted pixels already.
    void evidenceMatchesDetection_data()
    {
        QTest::addColumn<int>("colorMode");
        QTest::addColumn<Mode>("mode");

        QTest::newRow("hot, monochrome") << mono << hot;
        QTest::newRow("hot, raw Bayer") << bayer << hot;
        QTest::newRow("dim, monochrome") << mono << dim;
        QTest::newRow("dim, raw Bayer") << bayer << dim;
    }

    void evidenceMatchesDetection()
    {
        QFETCH(int, colorMode);
        QFETCH(Mode, mode);

        const QVector<QImage> frames = plantedFrames(31, 17, mode);
        // Planted pixels 100, 150 and 200 levels away are listed as factory, user and ignored
        // entries; a duplicate of the factory one must be refused once only.
        const QStringList initial = listed("3,3,0 18,4,1 2,6,2 3,3,1 30,16,0");
        DetectionEvidence evidence(colorMode, frames, {mode, 0, 0, 0});
        for (uint32_t threshold = 5; threshold <= 255; ++threshold) {
            const Outcome detected = detect(mode, threshold, colorMode, &frames, initial);
            const Outcome onEmpty = detect(mode, threshold, colorMode, &frames);

            BadpixelListModel previewed;
            fill(previewed, initial);
            evidence.setListed(previewed.badpixelList());
            const DetectionEvidence::CandidateCount count = evidence.count(int(threshold));
            evidence.addCandidates(previewed, int(threshold));

            QVERIFY2(count.above == uint64_t(onEmpty.entries.size()) &&
                         count.fresh == uint64_t(detected.added) &&
                         describe(previewed) == detected.entries,
                     qPrintable(QStringLiteral("threshold %1").arg(threshold)));
        }
    }
};

QTEST_GUILESS_MAIN(TestHotpixelDetector)
#include "tst_hotpixeldetector.moc"
