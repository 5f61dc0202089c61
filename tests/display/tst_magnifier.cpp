#include "magnifiercontrol.h"

#include "testutils.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
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
    const int cx = image.width() / 2;
    const int cy = image.height() / 2;
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
    void view_data()
    {
        QTest::addColumn<View>("view");

        const QSize size(160, 120);
        const QSize shown(220, 180);
        const QRect focusFrame(99, 79, 21, 21);
        QTest::newRow("160x120 at zoom 20: 11x9 block")
            << View{size, 20, {8, 8}, shown, focusFrame, "R"};
        QTest::newRow("160x120 at zoom 5")
            << View{size, 5, {2, 5}, {175, 135}, {84, 64, 6, 6}, "G"};
        QTest::newRow("odd quotients")
            << View{{150, 110}, 10, {3, 5}, {170, 130}, {79, 59, 11, 11}, "B"};
        QTest::newRow("top left corner") << View{size, 20, {0, 0}, shown, focusFrame, "R"};
        QTest::newRow("bottom right corner") << View{size, 20, {15, 14}, shown, focusFrame, "G"};
        QTest::newRow("left of the frame") << View{size, 20, {-1, 5}, shown, focusFrame, {}};
        QTest::newRow("below the frame") << View{size, 20, {3, 15}, shown, focusFrame, {}};
        QTest::newRow("too small for a focus frame") << View{{4, 4}, 5, {5, 5}, {15, 15}, {}, {}};
    }

    void view()
    {
        QFETCH(View, view);
        Magnifier magnifier;
        magnifier.resize(view.size);
        magnifier.setZoom(view.zoom);
        // As the camera delivers it: grey levels without a colour table.
        QImage source = frame;
        source.setColorTable({});
        magnifier.setImage(source);
        QSignalSpy readOut(&magnifier, &Magnifier::pixelInfoChanged);

        magnifier.setPosition(view.focus);

        QCOMPARE(magnifier.pixmap(Qt::ReturnByValue).toImage(), expectedView(frame, view));
        QCOMPARE(readOut.count(), view.site.isEmpty() ? 0 : 1);
        if (!view.site.isEmpty())
            QCOMPARE(readOut.at(0), (QVariantList{view.site, qRed(frame.pixel(view.focus))}));
    }

    void noFrameShowsNothing()
    {
        Magnifier magnifier;
        magnifier.resize(160, 120);
        QSignalSpy readOut(&magnifier, &Magnifier::pixelInfoChanged);
        magnifier.setPosition(QPoint(3, 3));
        magnifier.setZoom(30);
        QVERIFY(magnifier.pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(readOut.count(), 0);
        QImage image = frame;
        magnifier.setImage(image);
        QVERIFY(!magnifier.pixmap(Qt::ReturnByValue).isNull());
        image = QImage();
        magnifier.setImage(image);
        QVERIFY(magnifier.pixmap(Qt::ReturnByValue).isNull());
    }

    // The 160x120 view's middle is (80, 60); the focus pixel's block reaches
    // from 10 left and up of it to 10 right and down at zoom 20. A left click
    // takes the keyboard focus from another control, so that the arrow keys
    // reaching the window then ask for the neighbours.
    void asksForPosition_data()
    {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QPoint>("asked");

        QTest::newRow("no click, the keys go elsewhere") << 20 << QPoint() << QPoint();
        QTest::newRow("click at the focus block's right and bottom end")
            << 20 << QPoint(90, 70) << QPoint(8, 8);
        QTest::newRow("click one right") << 20 << QPoint(91, 60) << QPoint(9, 8);
        QTest::newRow("click two left, two down") << 20 << QPoint(49, 91) << QPoint(6, 10);
        QTest::newRow("zoom 5, one down right") << 5 << QPoint(83, 63) << QPoint(9, 9);
    }

    void asksForPosition()
    {
        QFETCH(int, zoom);
        QFETCH(QPoint, click);
        QFETCH(QPoint, asked);
        QWidget window;
        auto* other = new QLineEdit(&window);
        auto* magnifier = new Magnifier(&window);
        magnifier->setGeometry(0, 30, 160, 120);
        magnifier->setZoom(zoom);
        magnifier->setPosition(QPoint(8, 8));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QSignalSpy spy(magnifier, &Magnifier::changePosition);

        // Other buttons and keys ask for nothing.
        if (!click.isNull()) {
            QTest::mouseClick(magnifier, Qt::LeftButton, Qt::NoModifier, click);
            QTest::mouseClick(magnifier, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
        }
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_A})
            QTest::keyClick(window.windowHandle(), key);

        QList<QPoint> positions;
        for (const QList<QVariant>& arguments : spy)
            positions << arguments.at(0).toPoint();
        QCOMPARE(positions,
                 (asked.isNull() ? QList<QPoint>()
                                 : QList<QPoint>{asked, {7, 8}, {8, 7}, {9, 8}, {8, 9}}));
    }

    void controlWheelMovesTheZoom_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("angleDelta");
        QTest::addColumn<int>("zoom");

        QTest::newRow("one notch up") << 20 << 120 << 21;
        QTest::newRow("two notches up at 99") << 99 << 240 << 100;
        // The fraction is cut off the new value, towards zero.
        QTest::newRow("three and a third notches down") << 50 << -400 << 46;
        QTest::newRow("a third of a notch down") << 20 << -40 << 19;
        QTest::newRow("sideways only, ignored") << 20 << 0 << 20;
    }

    void controlWheelMovesTheZoom()
    {
        QFETCH(int, start);
        QFETCH(int, angleDelta);
        QFETCH(int, zoom);
        MagnifierControl control;
        control.zoomSlider->setValue(start);

        const QPoint at(10, 10);
        QWheelEvent event(at, control.mapToGlobal(at), QPoint(),
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
