#include "magnifier.h"

#include "testutils.h"

#include <QLineEdit>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

namespace {

const QRgb green = qRgb(0, 255, 0);

// Every pixel of the 16 x 15 frame has its own non-zero grey value, so that the
// view shows where each block comes from and black means outside the frame.
QImage rampFrame()
{
    QImage frame = TestUtils::greyFrame(16, 15);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            frame.setPixel(x, y, uint(1 + x + y * 16));
    return frame;
}

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
                image.setPixel(x, y, green);
    return image;
}

QTestEventList keyClick(Qt::Key key)
{
    QTestEventList events;
    events.addKeyClick(key);
    return events;
}

QTestEventList leftClick(QPoint at)
{
    QTestEventList events;
    events.addMouseClick(Qt::LeftButton, Qt::NoModifier, at);
    return events;
}

} // namespace

Q_DECLARE_METATYPE(View)

class TestMagnifier : public QObject
{
    Q_OBJECT

    const QImage frame = rampFrame();

private slots:
    void view_data()
    {
        QTest::addColumn<View>("view");

        const QSize size(160, 120);
        const QSize shown(220, 180);
        const QRect focusFrame(99, 79, 21, 21);
        const auto R = QStringLiteral("R");
        const auto G = QStringLiteral("G");
        const auto B = QStringLiteral("B");
        QTest::newRow("160x120 at zoom 20: 11x9 block")
            << View{size, 20, {8, 8}, shown, focusFrame, R};
        QTest::newRow("160x120 at zoom 5") << View{size, 5, {2, 5}, {175, 135}, {84, 64, 6, 6}, G};
        QTest::newRow("odd quotients")
            << View{{150, 110}, 10, {3, 5}, {170, 130}, {79, 59, 11, 11}, B};
        QTest::newRow("top left corner") << View{size, 20, {0, 0}, shown, focusFrame, R};
        QTest::newRow("bottom right corner") << View{size, 20, {15, 14}, shown, focusFrame, G};
        QTest::newRow("right edge") << View{size, 20, {15, 3}, shown, focusFrame, B};
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
        if (!view.site.isEmpty()) {
            QCOMPARE(readOut.at(0).at(0).toString(), view.site);
            QCOMPARE(readOut.at(0).at(1).toInt(), qRed(frame.pixel(view.focus)));
        }
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
    // from 10 left and up of it to 10 right and down at zoom 20.
    void asksForPosition_data()
    {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QTestEventList>("events");
        QTest::addColumn<QPoint>("step");

        QTest::newRow("left key") << 20 << keyClick(Qt::Key_Left) << QPoint(-1, 0);
        QTest::newRow("up key") << 20 << keyClick(Qt::Key_Up) << QPoint(0, -1);
        QTest::newRow("right key") << 20 << keyClick(Qt::Key_Right) << QPoint(1, 0);
        QTest::newRow("down key") << 20 << keyClick(Qt::Key_Down) << QPoint(0, 1);
        QTest::newRow("click at the focus block's right and bottom end")
            << 20 << leftClick({90, 70}) << QPoint(0, 0);
        QTest::newRow("click at its left and top end") << 20 << leftClick({70, 50}) << QPoint(0, 0);
        QTest::newRow("click one right") << 20 << leftClick({91, 60}) << QPoint(1, 0);
        QTest::newRow("click one left") << 20 << leftClick({69, 60}) << QPoint(-1, 0);
        QTest::newRow("click two left, two down") << 20 << leftClick({49, 91}) << QPoint(-2, 2);
        QTest::newRow("zoom 5, block from -3") << 5 << leftClick({77, 57}) << QPoint(0, 0);
        QTest::newRow("zoom 5, one down right") << 5 << leftClick({83, 63}) << QPoint(1, 1);
    }

    void asksForPosition()
    {
        QFETCH(int, zoom);
        QFETCH(QTestEventList, events);
        QFETCH(QPoint, step);
        Magnifier magnifier;
        magnifier.resize(160, 120);
        magnifier.setZoom(zoom);
        magnifier.setPosition(QPoint(8, 8));
        QSignalSpy asked(&magnifier, &Magnifier::changePosition);
        // Other keys and buttons ask for nothing.
        events.addKeyClick(Qt::Key_A);
        events.addKeyClick(Qt::Key_Return);
        events.addMouseClick(Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
        events.addMouseClick(Qt::MiddleButton, Qt::NoModifier, QPoint(100, 100));

        events.simulate(&magnifier);

        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.at(0).at(0).toPoint(), QPoint(8, 8) + step);
    }

    // A click takes the keyboard focus from another control, so the arrow keys
    // that reach the window then move the focus pixel.
    void keysAfterClickGoToTheMagnifier()
    {
        QWidget window;
        auto* other = new QLineEdit(&window);
        auto* magnifier = new Magnifier(&window);
        magnifier->setGeometry(0, 30, 160, 120);
        magnifier->setPosition(QPoint(8, 8));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QSignalSpy asked(magnifier, &Magnifier::changePosition);

        QTest::mouseClick(magnifier, Qt::LeftButton, Qt::NoModifier, QPoint(80, 60));
        QTest::keyClick(window.windowHandle(), Qt::Key_Down);

        QCOMPARE(asked.count(), 2);
        QCOMPARE(asked.at(1).at(0).toPoint(), QPoint(8, 9));
    }
};

QTEST_MAIN(TestMagnifier)
#include "tst_magnifier.moc"
