#include "parameterrow.h"
#include "parameterwidget.h"

#include <QHBoxLayout>

#include <memory>

using Param = CameraParameter<int>;
using Row = ParameterRow<ParameterWidget>;
Q_DECLARE_METATYPE(Param)

class TestParameterWidget : public QObject
{
    Q_OBJECT

private slots:
    void setParam_data()
    {
        QTest::addColumn<Param>("param");
        QTest::addColumn<int>("shown");

        QTest::newRow("detection threshold") << Param{5, 255, 1, 40} << 40;
        QTest::newRow("coarse step") << Param{0, 100, 5, 35} << 35;
        QTest::newRow("value above range") << Param{0, 100, 1, 150} << 100;
        QTest::newRow("single value range") << Param{7, 7, 1, 7} << 7;
        QTest::newRow("zero step") << Param{0, 10, 0, 4} << 4;
    }

    // The camera's own changes are passed on like the user's, so that the
    // other listeners learn them; the same value again is no news.
    void setParam()
    {
        QFETCH(Param, param);
        QFETCH(int, shown);
        Row row;
        QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);

        row.widget.setParam(param);

        QCOMPARE(row.widget.spinBox->minimum(), param.min);
        QCOMPARE(row.widget.spinBox->maximum(), param.max);
        QCOMPARE(row.widget.spinBox->singleStep(), param.inc);
        QCOMPARE(row.widget.spinBox->value(), shown);
        QCOMPARE(row.widget.slider->minimum(), param.min);
        QCOMPARE(row.widget.slider->maximum(), param.max);
        QCOMPARE(row.widget.slider->value(), shown);
        QCOMPARE(reported<int>(spy).last(), shown);
        spy.clear();
        row.widget.setParam(param);
        QCOMPARE(spy.count(), 0);
    }

    void spinBoxInput_data()
    {
        QTest::addColumn<QTestEventList>("events");
        QTest::addColumn<QList<int>>("emitted");

        QTestEventList up, pageDown, typed;
        up.addKeyClick(Qt::Key_Up);
        pageDown.addKeyClick(Qt::Key_PageDown);
        typed.addKeyClick(Qt::Key_A, Qt::ControlModifier);
        typed.addKeyClicks(QStringLiteral("72"));
        // From 35 in steps of 5.
        QTest::newRow("arrow up") << up << QList<int>{40};
        QTest::newRow("page down") << pageDown << QList<int>{0};
        QTest::newRow("typed, each keystroke") << typed << QList<int>{7, 72};
    }

    void spinBoxInput()
    {
        QFETCH(QTestEventList, events);
        QFETCH(QList<int>, emitted);
        Row row;
        row.widget.setParam({0, 100, 5, 35});
        QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);

        events.simulate(row.widget.spinBox);

        QCOMPARE(reported<int>(spy), emitted);
        QCOMPARE(row.widget.slider->value(), emitted.last());
    }

    // Keys move the spin box silently; a drag reports once, on release.
    void sliderInput()
    {
        Row row;
        row.widget.setParam({0, 100, 1, 10});
        QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);
        QTest::keyClick(row.widget.slider, Qt::Key_Right);
        QCOMPARE(row.widget.spinBox->value(), 11);
        QTest::keyClick(row.widget.slider, Qt::Key_PageUp);
        QCOMPARE(row.widget.spinBox->value(), 15);
        QCOMPARE(spy.count(), 0);

        drag(row.widget.slider, {20, 30, 45});

        QCOMPARE(row.widget.spinBox->value(), 45);
        QCOMPARE(reported<int>(spy), QList<int>{45});
    }

    void setEnabledSwitchesTheWholeRow() { Row().checkSetEnabled(); }

    // The controls live in the caller's layout; whichever of the window and
    // the widget goes first, nothing is deleted twice and nothing is left.
    void controlsSurviveEitherDestructionOrder()
    {
        {
            auto window = std::make_unique<QWidget>();
            ParameterWidget widget;
            auto* layout = new QHBoxLayout(window.get());
            layout->addWidget(widget.slider);
            layout->addWidget(widget.spinBox);
            window.reset();
            QVERIFY(widget.slider.isNull());
            QVERIFY(widget.spinBox.isNull());
            QVERIFY(!widget.label.isNull());
        }
        QWidget window;
        {
            ParameterWidget widget;
            auto* layout = new QHBoxLayout(&window);
            layout->addWidget(widget.label);
            layout->addWidget(widget.slider);
            layout->addWidget(widget.spinBox);
        }
        QVERIFY(window.findChildren<QWidget*>().isEmpty());
    }
};

QTEST_MAIN(TestParameterWidget)
#include "tst_parameterwidget.moc"
