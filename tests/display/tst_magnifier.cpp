#include "magnifiercontrol.h"

#include "testutils.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

struct View
{
    QSize size;
    int zoom;
    QPoint focus;
    QSize shown;
    // Null when the view is too small for one.
    QRect focusFrame;
    // Empty when nothing is reported.
    QString site;
    // Where a left click lands and the focus pixel it asks for; none: no click.
    QPoint click{}, asked{};
};

// What the magnifier must show, painted pixel by pixel: each frame pixel of the
// block around the focus as a zoom x zoom square, black outside the frame, and
// the focus frame with its ticks, 16 pixels long above and left, 17 below and right.
QImage expectedView(const QImage& frame, const View& view)
{
    QImage image(view.shown, QImage::Format_RGB32);
    const QPoint corner = view.focus - QPoint(view.shown.width() / view.zoom / 2,
                                              view.shown.height() / view.zoom / 2);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QPoint source = corner + QPoint(x / view.zoom, y / view.zoom);
            image.setPixel(x, y, frame.valid(source) ? frame.pixel(source) : qRgb(0, 0, 0));
        }
    }
    const QRect f = view.focusFrame;
    if (f.isNull())
        return image;
    const int cx = image.width() / 2, cy = image.height() / 2;
    for (const QRect line :
         {QRect(f.topLeft(), f.topRight()), QRect(f.bottomLeft(), f.bottomRight()),
          QRect(f.topLeft(), f.bottomLeft()), QRect(f.topRight(), f.bottomRight()),
          QRect(cx, f.top() - 16, 1, 16), QRect(cx, f.bottom() + 1, 1, 17),
          QRect(f.left() - 16, cy, 16, 1), QRect(f.right() + 1, cy, 17, 1)})
        for (int y = line.top(); y <= line.bottom(); ++y)
            for (int x = line.left(); x <= line.right(); ++x)
                image.setPixel(x, y, qRgb(0, 255, 0));
    return image;
}

} // namespace

Q_DECLARE_METATYPE(View)

class TestMagnifier : public QObject
{
    Q_OBJECT

    // Every pixel of the 16 x 15 frame has its own non-zero grey value, so that
    // the view shows where each block comes from and black means outside it.
    const QImage frame = [] {
        QImage frame = TestUtils::greyFrame(16, 15);
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                frame.setPixel(x, y, uint(1 + x + y * 16));
        return frame;
    }();

private slots:
    // The 160x120 view's middle is (80, 60); the focus pixel's block reaches
    // from 10 left and up of it to 10 right and down at zoom 20.
    void view_data()
    {
        QTest::addColumn<View>("view");

        const QSize size(160, 120);
        const QSize shown(220, 180);
        const QRect focusFrame(99, 79, 21, 21);
        QTest::newRow("160x120 at zoom 20: 11x9 block, click at the block's end")
            << View{size, 20, {8, 8}, shown, focusFrame, "R", {90, 70}, {8, 8}};
        QTest::newRow("160x120 at zoom 5, click one down right")
            << View{size, 5, {2, 5}, {175, 135}, {84, 64, 6, 6}, "G", {83, 63}, {3, 6}};
        QTest::newRow("odd quotients")
            << View{{150, 110}, 10, {3, 5}, {170, 130}, {79, 59, 11, 11}, "B"};
        QTest::newRow("top left corner, click one right")
            << View{size, 20, {0, 0}, shown, focusFrame, "R", {91, 60}, {1, 0}};
        QTest::newRow("bottom right corner, click two left, two down")
            << View{size, 20, {15, 14}, shown, focusFrame, "G", {49, 91}, {13, 16}};
        QTest::newRow("left of the frame") << View{size, 20, {-1, 5}, shown, focusFrame, {}};
        QTest::newRow("below the frame") << View{size, 20, {3, 15}, shown, focusFrame, {}};
        QTest::newRow("too small for a focus frame") << View{{4, 4}, 5, {5, 5}, {15, 15}, {}, {}};
    }

    // Without a frame it shows and reports nothing; with one it follows the
    // focus; a null frame clears it. A left click takes the keyboard focus
    // from another control, so that the arrow keys reaching the window then
    // ask for the neighbours; other buttons and keys ask for nothing.
    void view()
    {
        QFETCH(View, view);
        QWidget window;
        auto* other = new QLineEdit(&window);
        auto* magnifier = new Magnifier(&window);
        magnifier->setGeometry(QRect(QPoint(0, 30), view.size));
        magnifier->setZoom(view.zoom);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QSignalSpy readOut(magnifier, &Magnifier::pixelInfoChanged);
        QSignalSpy asked(magnifier, &Magnifier::changePosition);
        magnifier->setPosition(view.focus + QPoint(1, 1));
        QVERIFY(magnifier->pixmap(Qt::ReturnByValue).isNull() && readOut.isEmpty());
        // As the camera delivers it: grey levels without a colour table.
        QImage source = frame;
        source.setColorTable({});
        magnifier->setImage(source);
        readOut.clear();

        magnifier->setPosition(view.focus);

        QCOMPARE(magnifier->pixmap(Qt::ReturnByValue).toImage(), expectedView(frame, view));
        QCOMPARE(readOut.count(), view.site.isEmpty() ? 0 : 1);
        if (!view.site.isEmpty())
            QCOMPARE(readOut.at(0), (QVariantList{view.site, qRed(frame.pixel(view.focus))}));

        if (!view.click.isNull()) {
            QTest::mouseClick(magnifier, Qt::LeftButton, Qt::NoModifier, view.click);
            QTest::mouseClick(magnifier, Qt::RightButton, Qt::NoModifier, view.click);
        }
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_A})
            QTest::keyClick(window.windowHandle(), key);
        QList<QPoint> positions;
        for (const QList<QVariant>& arguments : asked)
            positions << arguments.at(0).toPoint();
        const QPoint f = view.focus;
        QCOMPARE(positions, (view.click.isNull()
                                 ? QList<QPoint>()
                                 : QList<QPoint>{view.asked, f - QPoint(1, 0), f - QPoint(0, 1),
                                                 f + QPoint(1, 0), f + QPoint(0, 1)}));

        source = QImage();
        magnifier->setImage(source);
        QVERIFY(magnifier->pixmap(Qt::ReturnByValue).isNull());
    }

    void controlWheelMovesTheZoom_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("angleDelta");
        QTest::addColumn<int>("zoom");

        QTest::newRow("two notches up, at most 100") << 99 << 240 << 100;
        // The fraction is cut off the new value, towards zero.
        QTest::newRow("three and a third notches down") << 50 << -400 << 46;
        QTest::newRow("sideways only, ignored") << 20 << 0 << 20;
    }

    void controlWheelMovesTheZoom()
    {
        QFETCH(int, start);
        QFETCH(int, angleDelta);
        QFETCH(int, zoom);
        MagnifierControl control;
        control.zoomSlider->setValue(start);

        QWheelEvent event(QPointF(10, 10), QPointF(), QPoint(),
                          angleDelta ? QPoint(0, angleDelta) : QPoint(120, 0), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&control, &event);

        QCOMPARE(event.isAccepted(), angleDelta != 0);
        QCOMPARE(control.zoomSlider->value(), zoom);
        QCOMPARE(control.magnifier->zoomFactor(), zoom);
    }
};

QTEST_MAIN(TestMagnifier)
#include "tst_magnifier.moc"
