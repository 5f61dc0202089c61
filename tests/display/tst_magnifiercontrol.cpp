#include "magnifiercontrol.h"

#include "testutils.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

class TestMagnifierControl : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndTexts();
    void zoomSliderZoomsTheMagnifier();
    void wheelMovesTheZoom_data();
    void wheelMovesTheZoom();
    void readOutsFollowTheFocusPixel();
};

void TestMagnifierControl::layoutAndTexts()
{
    MagnifierControl control;

    QCOMPARE(control.toolTip(), QStringLiteral("Click to center"));
    QCOMPARE(control.magnifier->minimumSize(), QSize(160, 120));
    QCOMPARE(control.zoomSlider->minimum(), 5);
    QCOMPARE(control.zoomSlider->maximum(), 100);
    QCOMPARE(control.zoomSlider->value(), 20);
    QVERIFY(control.colorLabel->text().isEmpty());
    QVERIFY(control.valueLabel->text().isEmpty());
    QStringList texts;
    for (const QLabel* label :
         control.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        texts << label->text();
    }
    QVERIFY(texts.contains(QStringLiteral("Bayer Color:")));
    QVERIFY(texts.contains(QStringLiteral("Value: ")));
}

void TestMagnifierControl::zoomSliderZoomsTheMagnifier()
{
    MagnifierControl control;
    control.resize(300, 300);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QImage frame = TestUtils::greyFrame(64, 64, 9);
    control.magnifier->setImage(frame);
    const int width = control.magnifier->width();

    QTest::keyClick(control.zoomSlider, Qt::Key_End);

    QCOMPARE(control.magnifier->zoomFactor(), 100);
    const int blocks = width / 100 % 2 == 0 ? width / 100 + 3 : width / 100 + 2;
    QCOMPARE(control.magnifier->pixmap(Qt::ReturnByValue).width(), 100 * blocks);
}

void TestMagnifierControl::wheelMovesTheZoom_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QPoint>("angleDelta");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("one notch up") << 20 << QPoint(0, 120) << 21 << true;
    QTest::newRow("two notches up at 99") << 99 << QPoint(0, 240) << 100 << true;
    QTest::newRow("three notches down") << 50 << QPoint(0, -360) << 47 << true;
    QTest::newRow("one notch down at 5") << 5 << QPoint(0, -120) << 5 << true;
    // Fractions of a step are cut off towards zero.
    QTest::newRow("a third of a notch up") << 20 << QPoint(0, 40) << 20 << true;
    QTest::newRow("a third of a notch down") << 20 << QPoint(0, -40) << 19 << true;
    QTest::newRow("sideways only") << 20 << QPoint(120, 0) << 20 << false;
}

void TestMagnifierControl::wheelMovesTheZoom()
{
    QFETCH(int, start);
    QFETCH(QPoint, angleDelta);
    QFETCH(int, zoom);
    QFETCH(bool, accepted);

    MagnifierControl control;
    control.zoomSlider->setValue(start);

    const QPoint at(10, 10);
    QWheelEvent event(at, control.mapToGlobal(at), QPoint(), angleDelta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&control, &event);

    QCOMPARE(event.isAccepted(), accepted);
    QCOMPARE(control.zoomSlider->value(), zoom);
    QCOMPARE(control.magnifier->zoomFactor(), zoom);
}

void TestMagnifierControl::readOutsFollowTheFocusPixel()
{
    MagnifierControl control;
    control.resize(300, 300);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QImage frame = TestUtils::greyFrame(8, 8, 7);
    frame.setPixel(3, 5, 123);
    control.magnifier->setImage(frame);
    QCOMPARE(control.colorLabel->text(), QStringLiteral("R"));
    QCOMPARE(control.valueLabel->text(), QStringLiteral("7"));

    control.magnifier->setPosition(QPoint(3, 5));

    QCOMPARE(control.colorLabel->text(), QStringLiteral("B"));
    QCOMPARE(control.valueLabel->text(), QStringLiteral("123"));
}

QTEST_MAIN(TestMagnifierControl)
#include "tst_magnifiercontrol.moc"
