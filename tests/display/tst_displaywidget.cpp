#include "displaywidget.h"

#include "badpixellistmodel.h"
#include "testutils.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

// Pixels of the shown image and the colours they must be lit in.
using Probes = QList<QPair<QPoint, QColor>>;

// Antialiased rings light a pixel only partly: a wanted channel counts as lit
// from a quarter of its value up to its value, an unwanted one as dark below 0x10.
bool litLike(QRgb pixel, const QColor& colour)
{
    const auto matches = [](int value, int wanted) {
        return wanted ? value > wanted / 4 && value <= wanted + 8 : value < 0x10;
    };
    return matches(qRed(pixel), colour.red()) && matches(qGreen(pixel), colour.green()) &&
           matches(qBlue(pixel), colour.blue());
}

// The circle of radius 4.5 around a listed pixel runs through (4, 1) and
// (1, 4) from it; the pixel itself stays black.
Probes marker(QPoint at, const QColor& colour)
{
    return {{at + QPoint(4, 1), colour}, {at + QPoint(1, 4), colour}, {at, Qt::black}};
}

struct Drawing
{
    QVector<QPoint> listed;
    // None: the black frame must be shown untouched.
    Probes probes;
    double scale = 1.0;
    QPoint magnifier{-1, -1};
    int selectedRow = -1;
    bool highlight = true;
    QVector<QPoint> candidates{};
    // Then a left click at press on the label, in a view of that size, which
    // reports clicked in the frame, or selects the first listed pixel (none).
    QPoint press{-1, -1}, clicked{-1, -1};
    QSize viewSize{400, 300};
};

} // namespace

Q_DECLARE_METATYPE(Drawing)

class TestDisplayWidget : public QObject
{
    Q_OBJECT

    std::unique_ptr<BadpixelListModel> model;
    std::unique_ptr<QItemSelectionModel> selection;
    std::unique_ptr<DisplayWidget> display;

    void list(const QVector<QPoint>& positions)
    {
        for (const QPoint position : positions)
            QVERIFY(model->addBadpixel(position));
    }
    void select(int row)
    {
        selection->select(model->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    QImage shown(QRect area = QRect(QPoint(0, 0), QSize(-1, -1))) const
    {
        return display->imageLabel->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void init()
    {
        model = std::make_unique<BadpixelListModel>();
        selection = std::make_unique<QItemSelectionModel>(model.get());
        display = std::make_unique<DisplayWidget>();
        display->setListModel(model.get());
        display->setSelectionModel(selection.get());
        display->resize(400, 300);
        display->show();
        QVERIFY(QTest::qWaitForWindowExposed(display.get()));
    }

    void cleanup()
    {
        display.reset();
        selection.reset();
        model.reset();
    }

    // A label wider than a widget can be halves the scale; fitting into
    // nothing shows nothing. Other sizes: see the whole-frame oracle below.
    void scaledSizeLimits()
    {
        QSignalSpy scaleChanged(display.get(), &DisplayWidget::scaleChanged);
        display->redrawImage(); // without a frame: nothing to draw, nothing to fail
        display->setScale(1 << 22);
        display->setImage(TestUtils::greyFrame(64, 48));
        QCOMPARE(display->imageLabel->size(), QSize(1 << 23, 48 << 17));
        QCOMPARE(scaleChanged.at(0).at(0).toDouble(), double(1 << 17));
        display->resize(2, 2);
        display->setScale(0);
        display->redrawImage();
        QCOMPARE(display->imageLabel->size(), QSize(0, 0));
        QCOMPARE(scaleChanged.count(), 1);
    }

    void drawing_data()
    {
        QTest::addColumn<Drawing>("drawing");

        // Below 1:1 a marker keeps its size: at 1:4 the pixel (20, 20) is (5, 5).
        QTest::newRow("marker full size at 1:4")
            << Drawing{{{20, 20}}, marker({5, 5}, Qt::green), 0.25};
        QTest::newRow("ring full size at 1:4")
            << Drawing{{{20, 20}}, {{{11, 5}, Qt::blue}, {{9, 6}, Qt::green}}, 0.25, {-1, -1}, 0};
        QTest::newRow("no crosshair at 1:2") << Drawing{{}, {}, 0.5, {30, 10}};
        QTest::newRow("highlight off at 1:2") << Drawing{{{10, 10}}, {}, 0.5, {20, 20}, 0, false};
        QTest::newRow("candidates magenta, highlight off")
            << Drawing{{}, marker({20, 20}, Qt::magenta), 1, {-1, -1}, -1, false, {{20, 20}}};
        // A click within 6 pixels of a listed one on both axes selects it.
        QTest::newRow("2:1, click 7 px right of a listed pixel")
            << Drawing{{{43, 25}, {5, 40}}, {}, 2, {-1, -1}, 1, false, {}, {101, 51}, {50, 25}};
        // The frame fits as 160 x 120, scaled by 2.5.
        QTest::newRow("fit, click 7 px off in x and y") << Drawing{
            {{47, 13}, {5, 40}}, {}, 0, {-1, -1}, 1, false, {}, {101, 51}, {40, 20}, {162, 122}};
        QTest::newRow("fit, click 6 px off in x and y") << Drawing{
            {{34, 26}, {5, 40}}, {}, 0, {-1, -1}, 1, false, {}, {101, 51}, {-1, -1}, {162, 122}};
        QTest::newRow("click 6 px left of and above a listed pixel")
            << Drawing{{{36, 26}, {5, 40}}, {}, 1, {-1, -1}, 1, false, {}, {30, 20}};
    }

    void drawing()
    {
        QFETCH(Drawing, drawing);
        display->resize(drawing.viewSize);
        list(drawing.listed);
        if (drawing.selectedRow >= 0)
            select(drawing.selectedRow);
        display->setHighlight(drawing.highlight);
        display->setScale(drawing.scale);
        display->updateMagnifierPosition(drawing.magnifier);
        display->setCandidates(drawing.candidates);

        display->setImage(TestUtils::greyFrame(64, 48));

        const QImage image = shown();
        for (const auto& [at, colour] : qAsConst(drawing.probes))
            QVERIFY2(litLike(image.pixel(at), colour),
                     qPrintable(QStringLiteral("at %1,%2").arg(at.x()).arg(at.y())));
        if (drawing.probes.isEmpty())
            QCOMPARE(image, TestUtils::greyFrame(image.width(), image.height())
                                .convertToFormat(QImage::Format_RGB32));
        if (drawing.press.x() < 0)
            return;
        // The view acts on the press; a miss clears the selection.
        QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);
        QTest::mousePress(display->viewport(), Qt::LeftButton, Qt::NoModifier,
                          display->imageLabel->mapTo(display->viewport(), drawing.press));
        QCOMPARE(clicked.count() ? clicked.at(0).at(0).toPoint() : QPoint(-1, -1), drawing.clicked);
        QCOMPARE(selection->selectedRows(),
                 drawing.clicked.x() < 0 ? QModelIndexList{model->index(0, 0)} : QModelIndexList());
    }

    void scrolledPartMatchesScaledFrame_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("format");
        // 0.3: 47.1 x 33.9 truncates to 47 x 33, which the aspect ratio trims.
        for (const double scale : {1.0, 3.0, 0.5, 0.3, 0.0}) {
            QTest::addRow("scale %g, grey", scale) << scale << int(QImage::Format_Indexed8);
            QTest::addRow("scale %g, colour", scale) << scale << int(QImage::Format_RGB32);
        }
    }

    // Only the visible part is drawn: at any scroll position it equals that
    // part of the whole frame scaled with the nearest pixel.
    void scrolledPartMatchesScaledFrame()
    {
        QFETCH(double, scale);
        QFETCH(int, format);
        QRandomGenerator random(7);
        QImage frame(157, 113, QImage::Format(format));
        if (format == QImage::Format_Indexed8) {
            QVector<QRgb> table(200);
            std::generate(table.begin(), table.end(), [&] { return random.generate(); });
            frame.setColorTable(table);
        }
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x)
                frame.setPixel(x, y, frame.colorCount() ? random.bounded(200) : random.generate());
        }
        display->setHighlight(false);
        display->resize(131, 97);
        display->setScale(scale);
        display->setImage(frame);
        const QSize target =
            scale == 0 ? display->size() - QSize(2, 2) : QSize(int(157 * scale), int(113 * scale));
        const QImage whole = frame.convertToFormat(QImage::Format_RGB32)
                                 .scaled(target, Qt::KeepAspectRatio, Qt::FastTransformation);
        QCOMPARE(display->imageLabel->size(), whole.size());
        for (int step = 0; step < 2; ++step) {
            for (QScrollBar* bar : {display->horizontalScrollBar(), display->verticalScrollBar()})
                bar->setValue(random.bounded(bar->maximum() + 1));
            const QRect area = QRect(-display->imageLabel->pos(), display->viewport()->size()) &
                               display->imageLabel->rect();
            QCOMPARE(shown(area), whole.copy(area));
        }
        // A cleared view shows nothing until it is drawn again.
        display->clear();
        QVERIFY(shown() != whole.copy(display->imageLabel->rect()));
        display->redrawImage();
        QCOMPARE(shown(), whole.copy(display->imageLabel->rect()));
    }

    // Keys belong to the main window: the arrows must not scroll.
    void rightDragScrollsAndKeysAreIgnored()
    {
        display->resize(200, 150);
        display->setImage(TestUtils::greyFrame(640, 480));
        QScrollBar* const bars[] = {display->horizontalScrollBar(), display->verticalScrollBar()};
        for (QScrollBar* bar : bars)
            bar->setValue(100);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QApplication::sendEvent(display.get(), &press);
        QVERIFY(!press.isAccepted());
        QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);

        QTest::mousePress(display->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
        QList<QPoint> scrolled;
        for (const QPoint to : {QPoint(80, 70), QPoint(90, 75), QPoint(10, 10)}) {
            // The last move comes with the button let go.
            QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton,
                             to.x() > 10 ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(display->viewport(), &move);
            scrolled << QPoint(bars[0]->value(), bars[1]->value());
        }
        QCOMPARE(scrolled, (QList<QPoint>{{120, 130}, {110, 125}, {110, 125}}));
        QCOMPARE(clicked.count(), 0);
    }
};

QTEST_MAIN(TestDisplayWidget)
#include "tst_displaywidget.moc"
