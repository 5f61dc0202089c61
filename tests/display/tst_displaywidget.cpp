#include "displaywidget.h"

#include "badpixellistmodel.h"
#include "testutils.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <memory>

namespace {

const QSize frameSize(64, 48);
const QColor yellow(Qt::yellow);
const QColor green(Qt::green);
const QColor red(Qt::red);
const QColor blue(Qt::blue);

// Antialiased rings light a pixel only partly, and the crosshair is drawn at
// 30 % opacity: a channel counts as lit above 0x40 and as dark below 0x10.
bool litLike(QRgb pixel, const QColor& colour)
{
    const auto channelMatches = [](int value, int wanted) {
        return wanted ? value > 0x40 : value < 0x10;
    };
    return channelMatches(qRed(pixel), colour.red()) &&
           channelMatches(qGreen(pixel), colour.green()) &&
           channelMatches(qBlue(pixel), colour.blue());
}

bool anyPixelLitLike(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (litLike(image.pixel(x, y), colour))
                return true;
    return false;
}

} // namespace

class TestDisplayWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noFrameLeavesLabelUnchanged();
    void clearKeepsFrame();
    void scaledSize_data();
    void scaledSize();
    void highlightOffDrawsNothing();
    void markerColour_data();
    void markerColour();
    void selectionRing();
    void crosshair_data();
    void crosshair();
    void clickPosition_data();
    void clickPosition();
    void clickHitTest_data();
    void clickHitTest();
    void rightDragScrolls();
    void halvesScaleWhenTooLarge_data();
    void halvesScaleWhenTooLarge();
    void keysAreIgnored_data();
    void keysAreIgnored();

private:
    // A text import is the only way to list entries of every class code.
    void setEntries(const QList<Badpixel>& entries);
    QImage shown() const;
    void leftClickAtLabel(QPoint labelPosition);

    std::unique_ptr<BadpixelListModel> model;
    std::unique_ptr<QItemSelectionModel> selection;
    std::unique_ptr<DisplayWidget> display;
};

void TestDisplayWidget::init()
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

void TestDisplayWidget::cleanup()
{
    display.reset();
    selection.reset();
    model.reset();
}

void TestDisplayWidget::setEntries(const QList<Badpixel>& entries)
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("entries.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream out(&file);
    for (const Badpixel& entry : entries)
        out << entry.x << ' ' << entry.y << ' ' << entry.pixelclass << '\n';
    out.flush();
    file.close();
    model->importFromFile(path);
    QCOMPARE(model->rowCount(), entries.size());
}

QImage TestDisplayWidget::shown() const
{
    return display->imageLabel->pixmap(Qt::ReturnByValue).toImage();
}

void TestDisplayWidget::leftClickAtLabel(QPoint labelPosition)
{
    // The view acts on the press; a release would only be ignored.
    QTest::mousePress(display->viewport(), Qt::LeftButton, Qt::NoModifier,
                      display->imageLabel->mapTo(display->viewport(), labelPosition));
}

void TestDisplayWidget::noFrameLeavesLabelUnchanged()
{
    QPixmap before(5, 5);
    before.fill(Qt::magenta);
    display->imageLabel->setPixmap(before);
    display->setHighlight(true);

    display->redrawImage();

    QCOMPARE(shown(), before.toImage());
}

void TestDisplayWidget::clearKeepsFrame()
{
    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height(), 90));
    display->clear();
    QVERIFY(display->imageLabel->pixmap(Qt::ReturnByValue).isNull());

    display->redrawImage();

    QCOMPARE(shown().size(), frameSize);
    QCOMPARE(shown().pixel(10, 10), qRgb(90, 90, 90));
}

void TestDisplayWidget::scaledSize_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("widgetSize");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("1:1") << 1.0 << QSize(400, 300) << frameSize;
    QTest::newRow("2:1") << 2.0 << QSize(400, 300) << QSize(128, 96);
    QTest::newRow("1:4") << 0.25 << QSize(400, 300) << QSize(16, 12);
    // 19.2 x 14.4 truncates to 19 x 14, which the aspect ratio trims to 18 x 14.
    QTest::newRow("odd factor truncated") << 0.3 << QSize(400, 300) << QSize(18, 14);
    QTest::newRow("fit, height limits") << 0.0 << QSize(402, 202) << QSize(266, 200);
    QTest::newRow("fit, width limits") << 0.0 << QSize(162, 402) << QSize(160, 120);
}

void TestDisplayWidget::scaledSize()
{
    QFETCH(double, scale);
    QFETCH(QSize, widgetSize);
    QFETCH(QSize, expected);
    display->resize(widgetSize);
    display->setScale(scale);

    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height()));

    QCOMPARE(shown().size(), expected);
    // The scroll bars follow the label, which takes the pixmap's size.
    QCOMPARE(display->imageLabel->size(), expected);
}

void TestDisplayWidget::highlightOffDrawsNothing()
{
    setEntries({{10, 10, Factory}, {30, 20, User}, {50, 30, Ignore}});
    selection->select(model->index(1, 0),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    display->updateMagnifierPosition(QPoint(20, 20));
    const QImage frame = TestUtils::greyFrame(frameSize.width(), frameSize.height(), 60);

    display->setImage(frame);

    QCOMPARE(shown().convertToFormat(QImage::Format_RGB32),
             frame.convertToFormat(QImage::Format_RGB32));
}

void TestDisplayWidget::markerColour_data()
{
    QTest::addColumn<quint8>("pixelclass");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("factory yellow") << quint8(Factory) << QPoint(20, 20) << 1.0 << yellow;
    QTest::newRow("user green") << quint8(User) << QPoint(20, 20) << 1.0 << green;
    QTest::newRow("ignore red") << quint8(Ignore) << QPoint(20, 20) << 1.0 << red;
    QTest::newRow("unknown code red") << quint8(7) << QPoint(20, 20) << 1.0 << red;
    QTest::newRow("grows with the image") << quint8(User) << QPoint(20, 20) << 2.0 << green;
    QTest::newRow("at origin, clipped") << quint8(User) << QPoint(0, 0) << 1.0 << green;
}

void TestDisplayWidget::markerColour()
{
    QFETCH(quint8, pixelclass);
    QFETCH(QPoint, position);
    QFETCH(double, scale);
    QFETCH(QColor, colour);
    setEntries({{quint16(position.x()), quint16(position.y()), pixelclass}});
    display->setHighlight(true);
    display->setScale(scale);

    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height()));

    const QImage image = shown();
    QCOMPARE(image.size(), frameSize * scale);
    const auto at = [&](int dx, int dy) {
        return image.pixel(int((position.x() + dx) * scale), int((position.y() + dy) * scale));
    };
    // The circle of radius 4.5 runs through these; the pixel itself stays.
    QVERIFY(litLike(at(4, 1), colour));
    QVERIFY(litLike(at(1, 4), colour));
    QCOMPARE(at(0, 0), qRgb(0, 0, 0));
}

void TestDisplayWidget::selectionRing()
{
    setEntries({{20, 20, User}, {45, 25, User}});
    display->setHighlight(true);
    selection->select(model->index(1, 0),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height()));

    const QImage image = shown();
    QVERIFY(litLike(image.pixel(45 + 7, 25), blue));
    QVERIFY(litLike(image.pixel(45, 25 - 7), blue));
    QVERIFY(!litLike(image.pixel(20 + 7, 20), blue));
    // The ring lies outside the marker, which stays visible.
    QVERIFY(litLike(image.pixel(45 + 4, 25 + 1), green));
}

void TestDisplayWidget::crosshair_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("magnifier");
    QTest::addColumn<bool>("drawn");

    QTest::newRow("1:1") << 1.0 << QPoint(30, 10) << true;
    QTest::newRow("2:1") << 2.0 << QPoint(30, 10) << true;
    QTest::newRow("1:2 hides it") << 0.5 << QPoint(30, 10) << false;
    QTest::newRow("fit hides it") << 0.0 << QPoint(30, 10) << false;
    QTest::newRow("no position") << 1.0 << QPoint(-1, -1) << false;
    QTest::newRow("x unset") << 1.0 << QPoint(-1, 10) << false;
    QTest::newRow("y unset") << 1.0 << QPoint(30, -1) << false;
}

void TestDisplayWidget::crosshair()
{
    QFETCH(double, scale);
    QFETCH(QPoint, magnifier);
    QFETCH(bool, drawn);
    display->setHighlight(true);
    display->setScale(scale);
    display->updateMagnifierPosition(magnifier);

    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height()));

    const QImage image = shown();
    QCOMPARE(anyPixelLitLike(image, red), drawn);
    if (drawn) {
        const int x = int(magnifier.x() * scale);
        const int y = int(magnifier.y() * scale);
        QVERIFY(litLike(image.pixel(x, image.height() - 1), red));
        QVERIFY(litLike(image.pixel(image.width() - 1, y), red));
        // Faint: 30 % of full red over black.
        QVERIFY(qRed(image.pixel(x, 0)) < 0x80);
        QCOMPARE(image.pixel(x - 1, 0), qRgb(0, 0, 0));
    }
}

void TestDisplayWidget::clickPosition_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("widgetSize");
    QTest::addColumn<QPoint>("labelPosition");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("2:1") << frameSize << 2.0 << QSize(400, 300) << QPoint(101, 51)
                         << QPoint(50, 25);
    QTest::newRow("1:2") << frameSize << 0.5 << QSize(400, 300) << QPoint(11, 5) << QPoint(22, 10);
    QTest::newRow("fit at half size")
        << QSize(400, 200) << 0.0 << QSize(202, 202) << QPoint(101, 51) << QPoint(202, 102);
    // 300 x 200 fits as 200 x 133: 101 * 300 / 200 = 151.5, 51 * 200 / 133
    // = 76.7.
    QTest::newRow("fit at two thirds")
        << QSize(300, 200) << 0.0 << QSize(202, 202) << QPoint(101, 51) << QPoint(151, 76);
}

void TestDisplayWidget::clickPosition()
{
    QFETCH(QSize, frame);
    QFETCH(double, scale);
    QFETCH(QSize, widgetSize);
    QFETCH(QPoint, labelPosition);
    QFETCH(QPoint, expected);
    display->resize(widgetSize);
    display->setScale(scale);
    display->setImage(TestUtils::greyFrame(frame.width(), frame.height()));
    QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);

    leftClickAtLabel(labelPosition);

    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toPoint(), expected);
}

void TestDisplayWidget::clickHitTest_data()
{
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("hit");

    QTest::newRow("on the pixel") << QPoint(0, 0) << true;
    QTest::newRow("6 right, 6 down") << QPoint(6, 6) << true;
    QTest::newRow("6 left, 6 up") << QPoint(-6, -6) << true;
    QTest::newRow("7 right") << QPoint(7, 0) << false;
    QTest::newRow("7 up") << QPoint(0, -7) << false;
}

void TestDisplayWidget::clickHitTest()
{
    QFETCH(QPoint, offset);
    QFETCH(bool, hit);
    const QPoint listed(50, 25);
    setEntries({{quint16(listed.x()), quint16(listed.y()), Factory}, {5, 40, User}});
    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height()));
    selection->select(model->index(1, 0),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);

    leftClickAtLabel(listed + offset);

    QCOMPARE(selection->isRowSelected(0, QModelIndex()), hit);
    QVERIFY(!selection->isRowSelected(1, QModelIndex()));
    if (hit) {
        QCOMPARE(clicked.count(), 0);
    } else {
        QVERIFY(!selection->hasSelection());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toPoint(), listed + offset);
    }
}

void TestDisplayWidget::rightDragScrolls()
{
    display->resize(200, 150);
    display->setImage(TestUtils::greyFrame(640, 480));
    QScrollBar* horizontal = display->horizontalScrollBar();
    QScrollBar* vertical = display->verticalScrollBar();
    horizontal->setValue(100);
    vertical->setValue(100);
    QWidget* viewport = display->viewport();
    const auto moveTo = [viewport](QPoint position, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, position, Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    };
    QSignalSpy clicked(display.get(), &DisplayWidget::positionClicked);

    QTest::mousePress(viewport, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    moveTo(QPoint(80, 70), Qt::RightButton);
    QCOMPARE(horizontal->value(), 120);
    QCOMPARE(vertical->value(), 130);
    moveTo(QPoint(90, 75), Qt::RightButton);
    QCOMPARE(horizontal->value(), 110);
    QCOMPARE(vertical->value(), 125);
    moveTo(QPoint(10, 10), Qt::NoButton);
    QCOMPARE(horizontal->value(), 110);
    QCOMPARE(vertical->value(), 125);
    QCOMPARE(clicked.count(), 0);
}

void TestDisplayWidget::halvesScaleWhenTooLarge_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("widgetSize");
    QTest::addColumn<int>("emissions");

    QTest::newRow("4:1 fits") << 4.0 << QSize(400, 300) << 0;
    // Both 2^28 and 2^27 pixels wide are beyond what QImage accepts for
    // 32-bit colour, so it refuses them before allocating anything.
    QTest::newRow("2^22:1 too large") << double(1 << 22) << QSize(400, 300) << 1;
    QTest::newRow("fit into nothing") << 0.0 << QSize(2, 2) << 0;
}

void TestDisplayWidget::halvesScaleWhenTooLarge()
{
    QFETCH(double, scale);
    QFETCH(QSize, widgetSize);
    QFETCH(int, emissions);
    display->resize(widgetSize);
    display->setScale(scale);
    QSignalSpy scaleChanged(display.get(), &DisplayWidget::scaleChanged);
    for (int attempt = 0; attempt < 2 * emissions; ++attempt)
        QTest::ignoreMessage(QtWarningMsg, "QImage: out of memory, returning null image");

    display->setImage(TestUtils::greyFrame(frameSize.width(), frameSize.height()));

    QCOMPARE(scaleChanged.count(), emissions);
    if (emissions)
        QCOMPARE(scaleChanged.at(0).at(0).toDouble(), scale / 2);
}

void TestDisplayWidget::keysAreIgnored_data()
{
    QTest::addColumn<int>("key");

    QTest::newRow("left") << int(Qt::Key_Left);
    QTest::newRow("down") << int(Qt::Key_Down);
    QTest::newRow("page down") << int(Qt::Key_PageDown);
    QTest::newRow("letter") << int(Qt::Key_A);
}

void TestDisplayWidget::keysAreIgnored()
{
    QFETCH(int, key);
    display->resize(200, 150);
    display->setImage(TestUtils::greyFrame(640, 480));
    display->horizontalScrollBar()->setValue(100);
    display->verticalScrollBar()->setValue(100);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);

    QApplication::sendEvent(display.get(), &press);

    QVERIFY(!press.isAccepted());
    QCOMPARE(display->horizontalScrollBar()->value(), 100);
    QCOMPARE(display->verticalScrollBar()->value(), 100);
}

QTEST_MAIN(TestDisplayWidget)
#include "tst_displaywidget.moc"
