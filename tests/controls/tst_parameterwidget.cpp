#include "parameterrow.h"
#include "parameterwidget.h"

#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

CameraParameter<int> param(int min, int max, int inc, int value)
{
    CameraParameter<int> p;
    p.min = min;
    p.max = max;
    p.inc = inc;
    p.value = value;
    return p;
}

using Row = ParameterRow<ParameterWidget>;

} // namespace

class TestParameterWidget : public QObject
{
    Q_OBJECT

private slots:
    void setParamSetsBothControls_data();
    void setParamSetsBothControls();
    void setParamReportsOnlyANewValue();
    void spinBoxChangeReportsAtOnce_data();
    void spinBoxChangeReportsAtOnce();
    void sliderDragReportsOnceOnRelease();
    void sliderKeysMoveSpinBoxSilently();
    void setEnabledSwitchesTheWholeRow_data();
    void setEnabledSwitchesTheWholeRow();
    void controlsSurviveEitherDestructionOrder();
};

void TestParameterWidget::setParamSetsBothControls_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("inc");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shown");

    QTest::newRow("master gain") << 0 << 100 << 1 << 50 << 50;
    QTest::newRow("detection threshold") << 5 << 255 << 1 << 40 << 40;
    QTest::newRow("coarse step") << 0 << 100 << 5 << 35 << 35;
    QTest::newRow("value above range") << 0 << 100 << 1 << 150 << 100;
    QTest::newRow("single value range") << 7 << 7 << 1 << 7 << 7;
    QTest::newRow("zero step") << 0 << 10 << 0 << 4 << 4;
}

void TestParameterWidget::setParamSetsBothControls()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, inc);
    QFETCH(int, value);
    QFETCH(int, shown);

    Row row;
    row.widget.setParam(param(min, max, inc, value));

    QCOMPARE(row.widget.spinBox->minimum(), min);
    QCOMPARE(row.widget.spinBox->maximum(), max);
    QCOMPARE(row.widget.spinBox->singleStep(), inc);
    QCOMPARE(row.widget.spinBox->value(), shown);
    QCOMPARE(row.widget.slider->minimum(), min);
    QCOMPARE(row.widget.slider->maximum(), max);
    QCOMPARE(row.widget.slider->value(), shown);
}

// The camera's own changes are passed on like the user's, so the other
// listeners of valueChanged learn them too.
void TestParameterWidget::setParamReportsOnlyANewValue()
{
    Row row;
    QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);

    row.widget.setParam(param(0, 100, 1, 40));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 40);

    row.widget.setParam(param(0, 100, 1, 40));
    QCOMPARE(spy.count(), 1);
}

void TestParameterWidget::spinBoxChangeReportsAtOnce_data()
{
    QTest::addColumn<QTestEventList>("events");
    QTest::addColumn<QList<int>>("reported");

    QTestEventList arrowUp;
    arrowUp.addKeyClick(Qt::Key_Up);
    QTest::newRow("arrow up") << arrowUp << QList<int>{40};

    QTestEventList pageDown;
    pageDown.addKeyClick(Qt::Key_PageDown);
    QTest::newRow("page down") << pageDown << QList<int>{0};

    QTestEventList typed;
    typed.addKeyClick(Qt::Key_A, Qt::ControlModifier);
    typed.addKeyClicks(QStringLiteral("72"));
    QTest::newRow("typed, each keystroke") << typed << QList<int>{7, 72};
}

void TestParameterWidget::spinBoxChangeReportsAtOnce()
{
    QFETCH(QTestEventList, events);
    QFETCH(QList<int>, reported);

    Row row;
    row.widget.setParam(param(0, 100, 5, 35));
    QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);

    events.simulate(row.widget.spinBox);

    QList<int> values;
    for (const QList<QVariant>& arguments : spy) {
        values << arguments.at(0).toInt();
    }
    QCOMPARE(values, reported);
    QCOMPARE(row.widget.slider->value(), reported.last());
}

void TestParameterWidget::sliderDragReportsOnceOnRelease()
{
    Row row;
    row.widget.setParam(param(0, 100, 1, 10));
    QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);

    SliderDrag::drag(row.widget.slider, {20, 30, 45});

    QCOMPARE(row.widget.slider->value(), 45);
    QCOMPARE(row.widget.spinBox->value(), 45);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 45);
}

void TestParameterWidget::sliderKeysMoveSpinBoxSilently()
{
    Row row;
    row.widget.setParam(param(0, 100, 1, 10));
    QSignalSpy spy(&row.widget, &ParameterWidget::valueChanged);

    QTest::keyClick(row.widget.slider, Qt::Key_Right);
    QCOMPARE(row.widget.spinBox->value(), 11);
    QTest::keyClick(row.widget.slider, Qt::Key_PageUp);
    QCOMPARE(row.widget.spinBox->value(), 15);
    QCOMPARE(spy.count(), 0);
}

void TestParameterWidget::setEnabledSwitchesTheWholeRow_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::newRow("disabled") << false;
    QTest::newRow("enabled again") << true;
}

void TestParameterWidget::setEnabledSwitchesTheWholeRow()
{
    QFETCH(bool, enabled);

    Row row;
    row.widget.setEnabled(!enabled);
    row.widget.setEnabled(enabled);

    QCOMPARE(row.widget.label->isEnabled(), enabled);
    QCOMPARE(row.widget.slider->isEnabled(), enabled);
    QCOMPARE(row.widget.spinBox->isEnabled(), enabled);
}

// The controls live in the caller's layout; whichever of the window and the
// widget goes first, nothing is deleted twice and nothing is left behind.
void TestParameterWidget::controlsSurviveEitherDestructionOrder()
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

QTEST_MAIN(TestParameterWidget)
#include "tst_parameterwidget.moc"
