#include "displaywidget.h"

#include "badpixellistmodel.h"
#include "testutils.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <memory>

namespace {

// A pixel of the shown image and the colour it must be lit in.
struct Probe
{
    QPoint at;
    QColor colour;
};

// The crosshair's red at 30 % opacity over black.
const QColor faintRed(0x4c, 0, 0);

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
QList<Probe> marker(QPoint at, const QColor& colour, double scale = 1.0)
{
    const auto scaled = [&](int dx, int dy) {
        return QPoint(int((at.x() + dx) * scale), int((at.y() + dy) * scale));
    };
    return {{scaled(4, 1), colour}, {scaled(1, 4), colour}, {scaled(0, 0), Qt::black}};
}

struct Drawing
{
    QList<Badpixel> entries;
    // None: the black frame must be shown untouched.
    QList<Probe> probes;
    double scale = 1.0;
    QPoint magnifier{-1, -1};
    int selectedRow = -1;
    bool highlight = true;
    QVector<QPoint> candidates{};
};

// A left click at labelPosition that maps to position in the frame, where
// position - fromListed is a listed hot pixel.
struct Click
{
    double scale;
    QPoint labelPosition;
    QPoint position;
    QPoint fromListed;
    bool selects;
    QSize widgetSize{400, 300};
};

} // namespace

Q_DECLARE_METATYPE(Drawing)
Q_DECLARE_METATYPE(Click)

class TestDisplayWidget : public QObject
{
    Q_OBJECT

    std::unique_ptr<BadpixelListModel> model;
    std::unique_ptr<QItemSelectionModel> selection;
    std::unique_ptr<DisplayWidget> display;

    // A text import is the only way to list entries of every class code.
    void setEntries(const QList<Badpixel>& entries)
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("entries.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream out(&file);
        for (const Badpixel& entry : entries)
            out << entry.x << ' ' << entry.y << ' ' << entry.pixelclass << '\n';
        out.flush();
        model->importFromFile(file.fileName());
        QCOMPARE(model->rowCount(), entries.size());
    }
    void select(int row)
    {
        selection->select(model->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    void setBlackFrame(QSize size = QSize(64, 48))
    {
        display->setImage(TestUtils::greyFrame(size.width(), size.height()));
    }
    QImage shown(QRect area = QRect(QPoint(0, 0), QSize(-1, -1))) const
    {
        return display->imageLabel->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    }
    QRect visibleArea() const
    {
        return QRect(-display->imageLabel->pos(), display->viewport()->size()) &
               display->imageLabel->rect();
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

    void redrawWithoutFrameOrAfterClear()
    {
        display->setHighlight(true);
        const QImage before = shown();
        display->redrawImage();
        QCOMPARE(shown(), before);

        display->setImage(TestUtils::greyFrame(64, 48, 90));
        display->clear();
        QVERIFY(shown().pixel(10, 10) != qRgb(90, 90, 90));
        display->redrawImage();
        QCOMPARE(shown().pixel(10, 10), qRgb(90, 90, 90));
    }

    void scaledSize_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QSize>("widgetSize");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<double>("halvedTo");

        const QSize view(400, 300);
        QTest::newRow("1:1") << 1.0 << view << QSize(64, 48) << 0.0;
        QTest::newRow("2:1") << 2.0 << view << QSize(128, 96) << 0.0;
        // 19.2 x 14.4 truncates to 19 x 14, which the aspect ratio trims to 18 x 14.
        QTest::newRow("odd factor truncated") << 0.3 << view << QSize(18, 14) << 0.0;
        QTest::newRow("fit, height limits") << 0.0 << QSize(402, 202) << QSize(266, 200) << 0.0;
        QTest::newRow("fit, width limits") << 0.0 << QSize(162, 402) << QSize(160, 120) << 0.0;
        QTest::newRow("fit into nothing") << 0.0 << QSize(2, 2) << QSize(0, 0) << 0.0;
        // 2^28 pixels are more than a widget can be wide; halved down to 2^23.
        QTest::newRow("2^22:1 too large")
            << double(1 << 22) << view << QSize(1 << 23, 48 << 17) << double(1 << 17);
    }

    void scaledSize()
    {
        QFETCH(double, scale);
        QFETCH(QSize, widgetSize);
        QFETCH(QSize, expected);
        QFETCH(double, halvedTo);
        display->resize(widgetSize);
        display->setScale(scale);
        QSignalSpy scaleChanged(display.get(), &DisplayWidget::scaleChanged);

        setBlackFrame();

        // The scroll bars follow the label, which takes the scaled size.
        QCOMPARE(display->imageLabel->size(), expected);
        QCOMPARE(scaleChanged.count(), halvedTo > 0 ? 1 : 0);
        if (halvedTo > 0)
            QCOMPARE(scaleChanged.at(0).at(0).toDouble(), halvedTo);
    }

    void drawing_data()
    {
        QTest::addColumn<Drawing>("drawing");

        const auto row = [](const char* name, const Drawing& drawing) {
            QTest::newRow(name) << drawing;
        };
        // Below 1:1 a marker keeps its size: at 1:4 the pixel (20, 20) is (5, 5).
        row("marker full size at 1:4", {{{20, 20, User}}, marker({5, 5}, Qt::green), 0.25});
        row("ring full size at 1:4",
            {{{20, 20, User}}, {{{11, 5}, Qt::blue}, {{9, 6}, Qt::green}}, 0.25, {-1, -1}, 0});
        row("no crosshair at 1:2", {{}, {}, 0.5, {30, 10}});
        row("no crosshair in fit mode", {{}, {}, 0, {30, 10}});
        row("highlight off at 1:2", {{{10, 10, Factory}}, {}, 0.5, {20, 20}, 0, false});
        row("candidates magenta, highlight off",
            {{}, marker({20, 20}, Qt::magenta), 1, {-1, -1}, -1, false, {{20, 20}}});
    }

    void drawing()
    {
        QFETCH(Drawing, drawing);
        setEntries(drawing.entries);
        if (drawing.selectedRow >= 0)
            select(drawing.selectedRow);
        display->setHighlight(drawing.highlight);
        display->setScale(drawing.scale);
        display->updateMagnifierPosition(drawing.magnifier);
        display->setCandidates(drawing.candidates);

        setBlackFrame();

        const QImage image = shown().convertToFormat(QImage::Format_RGB32);
        for (const Probe& probe : qAsConst(drawing.probes))
            QVERIFY2(litLike(image.pixel(probe.at), probe.colour),
                     qPrintable(QStringLiteral("at %1,%2").arg(probe.at.x()).arg(probe.at.y())));
        if (drawing.probes.isEmpty()) {
            QImage blank(image.size(), QImage::Format_RGB32);
            blank.fill(Qt::black);
            QCOMPARE(image, blank);
        }
    }

    void scrolledPartMatchesScaledFrame_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("format");
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
            for (QRgb& entry : table)
                entry = random.generate();
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
        for (int step = 0; step < 2; ++step) {
            for (QScrollBar* bar : {display->horizontalScrollBar(), display->verticalScrollBar()})
                bar->setValue(random.bounded(bar->maximum() + 1));
            const QRect area = visibleArea();
            QCOMPARE(shown(area), whole.copy(area));
        }
    }

    void click_data()
    {
        QTest::addColumn<Click>("click");

        QTest::newRow("2:1, 7 px right of a listed pixel")
            << Click{2, {101, 51}, {50, 25}, {7, 0}, false};
        QTest::newRow("1:2, 7 px above a listed pixel")
            << Click{0.5, {11, 5}, {22, 10}, {0, -7}, false};
        // The frame fits as 160 x 120, scaled by 2.5.
        QTest::newRow("fit, 7 px off in x and y")
            << Click{0, {101, 51}, {40, 20}, {-7, 7}, false, {162, 122}};
        QTest::newRow("fit, 6 px off in x and y")
            << Click{0, {101, 51}, {40, 20}, {6, -6}, true, {162, 122}};
        QTest::newRow("6 px right, 6 px down") << Click{1, {30, 20}, {30, 20}, {6, 6}, true};
        QTest::newRow("6 px left, 6 px up") << Click{1, {30, 20}, {30, 20}, {-6, -6}, true};
        QTest::newRow("7 px down") << Click{1, {30, 20}, {30, 20}, {0, 7}, false};
    }

    void click()
    {
        QFETCH(Click, click);
        display->resize(click.widgetSize);
        display->setScale(click.scale);
        const QPoint listed = click.position - click.fromListed;
        setEntries({{quint16(listed.x()), quint16(listed.y()), Factory}, {5, 40, User}});
        setBlackFrame();
        select(1);
        QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);

        // The view acts on the press; a release would only be ignored.
        QTest::mousePress(display->viewport(), Qt::LeftButton, Qt::NoModifier,
                          display->imageLabel->mapTo(display->viewport(), click.labelPosition));

        QCOMPARE(selection->selectedRows(),
                 click.selects ? QModelIndexList{model->index(0, 0)} : QModelIndexList());
        QCOMPARE(clicked.count(), click.selects ? 0 : 1);
        if (!click.selects)
            QCOMPARE(clicked.at(0).at(0).toPoint(), click.position);
    }

    void rightDragScrollsAndKeysAreIgnored()
    {
        display->resize(200, 150);
        setBlackFrame(QSize(640, 480));
        QScrollBar* horizontal = display->horizontalScrollBar();
        QScrollBar* vertical = display->verticalScrollBar();
        horizontal->setValue(100);
        vertical->setValue(100);
        const auto scrolled = [&] {
            return QPoint(horizontal->value(), vertical->value());
        };
        // Keys belong to the main window; the arrows must not scroll.
        for (const int key : {Qt::Key_Left, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_A}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(display.get(), &press);
            QVERIFY(!press.isAccepted());
        }
        QCOMPARE(scrolled(), QPoint(100, 100));
        const auto moveTo = [this](QPoint position, Qt::MouseButtons buttons) {
            QMouseEvent move(QEvent::MouseMove, position, Qt::NoButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(display->viewport(), &move);
        };
        QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);

        QTest::mousePress(display->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
        moveTo(QPoint(80, 70), Qt::RightButton);
        QCOMPARE(scrolled(), QPoint(120, 130));
        moveTo(QPoint(90, 75), Qt::RightButton);
        QCOMPARE(scrolled(), QPoint(110, 125));
        moveTo(QPoint(10, 10), Qt::NoButton);
        QCOMPARE(scrolled(), QPoint(110, 125));
        QCOMPARE(clicked.count(), 0);
    }
};

QTEST_MAIN(TestDisplayWidget)
#include "tst_displaywidget.moc"
