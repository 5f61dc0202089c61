#include "magnifiercontrol.h"

#include "testutils.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

class TestMagnifierControl : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndTexts()
    {
        MagnifierControl control;
        QCOMPARE(control.toolTip(), QStringLiteral("Click to center"));
        QCOMPARE(control.magnifier->minimumSize(), QSize(160, 120));
        QCOMPARE(control.zoomSlider->minimum(), 5);
        QCOMPARE(control.zoomSlider->maximum(), 100);
        QCOMPARE(control.zoomSlider->value(), 20);
        QStringList texts;
        for (const QLabel* label :
             control.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("Bayer Color:")));
        QVERIFY(texts.contains(QStringLiteral("Value: ")));
    }

    void wheelMovesTheZoom_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("angleDelta");
        QTest::addColumn<int>("zoom");

        QTest::newRow("one notch up") << 20 << 120 << 21;
        QTest::newRow("two notches up at 99") << 99 << 240 << 100;
        QTest::newRow("three notches down") << 50 << -360 << 47;
        // The fraction is cut off the new value, towards zero.
        QTest::newRow("a third of a notch up") << 20 << 40 << 20;
        QTest::newRow("a third of a notch down") << 20 << -40 << 19;
        QTest::newRow("sideways only, ignored") << 20 << 0 << 20;
    }

    void wheelMovesTheZoom()
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

    void readOutsFollowTheFocusPixel()
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
};

QTEST_MAIN(TestMagnifierControl)
#include "tst_magnifiercontrol.moc"
