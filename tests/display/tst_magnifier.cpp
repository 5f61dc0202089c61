#include "magnifier.h"

#include "testutils.h"

#include <QKeyEvent>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int frameWidth = 16;
constexpr int frameHeight = 16;
const QRgb green = qRgb(0, 255, 0);
const QRgb black = qRgb(0, 0, 0);

// Every pixel of the frame has its own non-zero grey value, so that the view
// shows where each block comes from and black means outside the frame.
uchar valueAt(int x, int y)
{
    return static_cast<uchar>(1 + x + y * frameWidth);
}

QImage rampFrame()
{
    QImage frame = TestUtils::greyFrame(frameWidth, frameHeight);
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            frame.setPixel(x, y, valueAt(x, y));
        }
    }
    return frame;
}

QImage shown(const Magnifier& magnifier)
{
    return magnifier.pixmap(Qt::ReturnByValue).toImage();
}

} // namespace

class TestMagnifier : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void focusFrameAndTicks_data();
    void focusFrameAndTicks();
    void blockAroundFocusPixel_data();
    void blockAroundFocusPixel();
    void readOut_data();
    void readOut();
    void focusOutsideFrameReportsNothing_data();
    void focusOutsideFrameReportsNothing();
    void tinyViewHasNoFocusFrame();
    void noFrameShowsAndReportsNothing();
    void emptyFrameClearsTheView();
    void arrowKeysAskForNeighbour_data();
    void arrowKeysAskForNeighbour();
    void clickAsksForPixelUnderIt_data();
    void clickAsksForPixelUnderIt();
    void keysAfterClickGoToTheMagnifier();

private:
    QImage frame;
};

void TestMagnifier::init()
{
    frame = rampFrame();
}

void TestMagnifier::focusFrameAndTicks_data()
{
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QSize>("enlargedSize");
    QTest::addColumn<QPoint>("frameTopLeft");

    QTest::newRow("160x120 at zoom 20")
        << QSize(160, 120) << 20 << QSize(220, 180) << QPoint(99, 79);
    QTest::newRow("160x120 at zoom 5") << QSize(160, 120) << 5 << QSize(175, 135) << QPoint(84, 64);
    QTest::newRow("odd quotients") << QSize(150, 110) << 10 << QSize(170, 130) << QPoint(79, 59);
}

void TestMagnifier::focusFrameAndTicks()
{
    QFETCH(QSize, viewSize);
    QFETCH(int, zoom);
    QFETCH(QSize, enlargedSize);
    QFETCH(QPoint, frameTopLeft);

    Magnifier magnifier;
    magnifier.resize(viewSize);
    magnifier.setZoom(zoom);
    magnifier.setPosition(QPoint(8, 8));
    magnifier.setImage(frame);

    const QImage image = shown(magnifier);
    QCOMPARE(image.size(), enlargedSize);

    const int left = frameTopLeft.x();
    const int top = frameTopLeft.y();
    const int right = left + zoom;
    const int bottom = top + zoom;
    const int cx = enlargedSize.width() / 2;
    const int cy = enlargedSize.height() / 2;
    // The frame is zoom + 1 pixels wide and high, just outside the focus
    // pixel's block on the left and top.
    for (int i = 0; i <= zoom; ++i) {
        QCOMPARE(image.pixel(left + i, top), green);
        QCOMPARE(image.pixel(left + i, bottom), green);
        QCOMPARE(image.pixel(left, top + i), green);
        QCOMPARE(image.pixel(right, top + i), green);
    }
    QVERIFY(image.pixel(left - 1, top + 1) != green);
    QVERIFY(image.pixel(right + 1, top + 1) != green);
    QVERIFY(image.pixel(left + 1, top + 1) != green);
    QVERIFY(image.pixel(left + 1, bottom - 1) != green);
    // Ticks of 16 pixels beyond the frame on every side.
    QCOMPARE(image.pixel(cx, top - 16), green);
    QVERIFY(image.pixel(cx, top - 17) != green);
    QCOMPARE(image.pixel(cx, bottom + 17), green);
    QVERIFY(image.pixel(cx, bottom + 18) != green);
    QCOMPARE(image.pixel(left - 16, cy), green);
    QVERIFY(image.pixel(left - 17, cy) != green);
    QCOMPARE(image.pixel(right + 17, cy), green);
    QVERIFY(image.pixel(right + 18, cy) != green);
}

void TestMagnifier::blockAroundFocusPixel_data()
{
    QTest::addColumn<QPoint>("focus");
    QTest::newRow("middle") << QPoint(8, 8);
    QTest::newRow("top left corner") << QPoint(0, 0);
    QTest::newRow("bottom right corner") << QPoint(15, 15);
    QTest::newRow("right edge") << QPoint(14, 3);
}

void TestMagnifier::blockAroundFocusPixel()
{
    QFETCH(QPoint, focus);

    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setImage(frame);
    magnifier.setPosition(focus);

    const QImage image = shown(magnifier);
    const int zoom = 20;
    const int columns = 11;
    const int rows = 9;
    QCOMPARE(image.size(), QSize(columns * zoom, rows * zoom));
    int outside = 0;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int x = focus.x() - columns / 2 + column;
            const int y = focus.y() - rows / 2 + row;
            const bool inFrame = x >= 0 && y >= 0 && x < frameWidth && y < frameHeight;
            const QRgb expected =
                inFrame ? qRgb(valueAt(x, y), valueAt(x, y), valueAt(x, y)) : black;
            outside += inFrame ? 0 : 1;
            // Sampled away from the focus frame's lines and ticks.
            for (const QPoint offset : {QPoint(3, 3), QPoint(zoom - 2, zoom - 3)}) {
                const QPoint at(column * zoom + offset.x(), row * zoom + offset.y());
                QCOMPARE(image.pixel(at), expected);
            }
        }
    }
    QCOMPARE(outside > 0, focus != QPoint(8, 8));
}

void TestMagnifier::readOut_data()
{
    QTest::addColumn<QPoint>("focus");
    QTest::addColumn<QString>("site");

    QTest::newRow("even column, even row") << QPoint(0, 0) << QStringLiteral("R");
    QTest::newRow("odd column, odd row") << QPoint(3, 5) << QStringLiteral("B");
    QTest::newRow("even column, odd row") << QPoint(2, 5) << QStringLiteral("G");
    QTest::newRow("odd column, even row") << QPoint(7, 4) << QStringLiteral("G");
    QTest::newRow("last pixel") << QPoint(15, 15) << QStringLiteral("B");
}

void TestMagnifier::readOut()
{
    QFETCH(QPoint, focus);
    QFETCH(QString, site);

    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setImage(frame);
    QSignalSpy spy(&magnifier, &Magnifier::pixelInfoChanged);

    magnifier.setPosition(focus);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), site);
    QCOMPARE(spy.at(0).at(1).toInt(), int(valueAt(focus.x(), focus.y())));
}

void TestMagnifier::focusOutsideFrameReportsNothing_data()
{
    QTest::addColumn<QPoint>("focus");
    QTest::newRow("left of the frame") << QPoint(-1, 5);
    QTest::newRow("below the frame") << QPoint(3, 16);
    QTest::newRow("far away") << QPoint(1000, 1000);
}

void TestMagnifier::focusOutsideFrameReportsNothing()
{
    QFETCH(QPoint, focus);

    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setImage(frame);
    QSignalSpy spy(&magnifier, &Magnifier::pixelInfoChanged);

    magnifier.setPosition(focus);

    QCOMPARE(spy.count(), 0);
    const QImage image = shown(magnifier);
    QCOMPARE(image.size(), QSize(220, 180));
    QCOMPARE(image.pixel(110 - 5, 90 - 5), black);
}

void TestMagnifier::tinyViewHasNoFocusFrame()
{
    Magnifier magnifier;
    magnifier.resize(4, 4);
    magnifier.setZoom(5);
    magnifier.setPosition(QPoint(5, 5));
    QSignalSpy spy(&magnifier, &Magnifier::pixelInfoChanged);

    magnifier.setImage(frame);

    const QImage image = shown(magnifier);
    QCOMPARE(image.size(), QSize(15, 15));
    QCOMPARE(image.pixel(0, 0), qRgb(valueAt(4, 4), valueAt(4, 4), valueAt(4, 4)));
    QCOMPARE(image.pixel(7, 7), qRgb(valueAt(5, 5), valueAt(5, 5), valueAt(5, 5)));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QVERIFY(image.pixel(x, y) != green);
        }
    }
    QCOMPARE(spy.count(), 0);
}

void TestMagnifier::noFrameShowsAndReportsNothing()
{
    Magnifier magnifier;
    magnifier.resize(160, 120);
    QSignalSpy spy(&magnifier, &Magnifier::pixelInfoChanged);

    magnifier.setPosition(QPoint(3, 3));
    magnifier.setZoom(30);

    QVERIFY(magnifier.pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(spy.count(), 0);
}

void TestMagnifier::emptyFrameClearsTheView()
{
    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setImage(frame);
    QVERIFY(!magnifier.pixmap(Qt::ReturnByValue).isNull());

    QImage empty;
    magnifier.setImage(empty);

    QVERIFY(magnifier.pixmap(Qt::ReturnByValue).isNull());
}

void TestMagnifier::arrowKeysAskForNeighbour_data()
{
    QTest::addColumn<QPoint>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QPoint>("asked");

    QTest::newRow("left") << QPoint(5, 7) << int(Qt::Key_Left) << QPoint(4, 7);
    QTest::newRow("up") << QPoint(5, 7) << int(Qt::Key_Up) << QPoint(5, 6);
    QTest::newRow("right") << QPoint(5, 7) << int(Qt::Key_Right) << QPoint(6, 7);
    QTest::newRow("down") << QPoint(5, 7) << int(Qt::Key_Down) << QPoint(5, 8);
    // Keeping the position inside the frame is the main window's business.
    QTest::newRow("left at the frame's edge") << QPoint(0, 0) << int(Qt::Key_Left) << QPoint(-1, 0);
}

void TestMagnifier::arrowKeysAskForNeighbour()
{
    QFETCH(QPoint, focus);
    QFETCH(int, key);
    QFETCH(QPoint, asked);

    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setImage(frame);
    magnifier.setPosition(focus);
    QSignalSpy spy(&magnifier, &Magnifier::changePosition);

    QTest::keyClick(&magnifier, Qt::Key(key));
    QTest::keyClick(&magnifier, Qt::Key_A);
    QTest::keyClick(&magnifier, Qt::Key_Return);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toPoint(), asked);
}

void TestMagnifier::clickAsksForPixelUnderIt_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("click");
    QTest::addColumn<QPoint>("step");

    // 160x120 view: the middle is (80, 60).
    QTest::newRow("middle") << 20 << QPoint(80, 60) << QPoint(0, 0);
    QTest::newRow("right and bottom end of the focus block")
        << 20 << QPoint(90, 70) << QPoint(0, 0);
    QTest::newRow("left and top end of the focus block") << 20 << QPoint(70, 50) << QPoint(0, 0);
    QTest::newRow("one right") << 20 << QPoint(91, 60) << QPoint(1, 0);
    QTest::newRow("one left") << 20 << QPoint(69, 60) << QPoint(-1, 0);
    QTest::newRow("one up, two right") << 20 << QPoint(111, 49) << QPoint(2, -1);
    QTest::newRow("two left, two down") << 20 << QPoint(49, 91) << QPoint(-2, 2);
    QTest::newRow("zoom 5, block from -3") << 5 << QPoint(77, 57) << QPoint(0, 0);
    QTest::newRow("zoom 5, one up left") << 5 << QPoint(76, 56) << QPoint(-1, -1);
    QTest::newRow("zoom 5, one down right") << 5 << QPoint(83, 63) << QPoint(1, 1);
}

void TestMagnifier::clickAsksForPixelUnderIt()
{
    QFETCH(int, zoom);
    QFETCH(QPoint, click);
    QFETCH(QPoint, step);

    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setZoom(zoom);
    magnifier.setPosition(QPoint(8, 8));
    QSignalSpy spy(&magnifier, &Magnifier::changePosition);

    QTest::mouseClick(&magnifier, Qt::RightButton, Qt::NoModifier, click);
    QTest::mouseClick(&magnifier, Qt::MiddleButton, Qt::NoModifier, click);
    QTest::mouseClick(&magnifier, Qt::LeftButton, Qt::NoModifier, click);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toPoint(), QPoint(8, 8) + step);
}

// A click gives the magnifier the keyboard focus, so the arrow keys that
// reach the window then move the focus pixel.
void TestMagnifier::keysAfterClickGoToTheMagnifier()
{
    Magnifier magnifier;
    magnifier.resize(160, 120);
    magnifier.setPosition(QPoint(8, 8));
    magnifier.show();
    QVERIFY(QTest::qWaitForWindowActive(&magnifier));
    QSignalSpy spy(&magnifier, &Magnifier::changePosition);

    QTest::mouseClick(&magnifier, Qt::LeftButton, Qt::NoModifier, QPoint(80, 60));
    QTest::keyClick(magnifier.windowHandle(), Qt::Key_Down);

    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toPoint(), QPoint(8, 9));
}

QTEST_MAIN(TestMagnifier)
#include "tst_magnifier.moc"
