#include "doubleparameterwidget.h"
#include "parameterrow.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

namespace {

CameraParameter<double> param(double min, double max, double inc, double value)
{
    CameraParameter<double> p;
    p.min = min;
    p.max = max;
    p.inc = inc;
    p.value = value;
    return p;
}

using Row = ParameterRow<DoubleParameterWidget>;

QList<double> reportedValues(const QSignalSpy& spy)
{
    QList<double> values;
    for (const QList<QVariant>& arguments : spy) {
        values << arguments.at(0).toDouble();
    }
    return values;
}

} // namespace

class TestDoubleParameterWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void setParamPutsSliderOnTheStepGrid_data();
    void setParamPutsSliderOnTheStepGrid();
    void typedValueSnapsToTheSliderGrid_data();
    void typedValueSnapsToTheSliderGrid();
    void sliderDragReportsOnceOnRelease();
    void sliderKeysMoveSpinBoxSilently();
    void setEnabledSwitchesTheWholeRow_data();
    void setEnabledSwitchesTheWholeRow();
};

void TestDoubleParameterWidget::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestDoubleParameterWidget::setParamPutsSliderOnTheStepGrid_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("inc");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("sliderMaximum");
    QTest::addColumn<int>("sliderValue");
    QTest::addColumn<double>("spinStep");
    QTest::addColumn<double>("shown");

    // The slider's final move writes its grid value into the spin box.
    QTest::newRow("half steps") << 0.0 << 10.0 << 0.5 << 3.2 << 20 << 6 << 0.1 << 3.0;
    QTest::newRow("offset minimum") << 2.0 << 12.0 << 2.0 << 7.0 << 5 << 2 << 0.1 << 6.0;
    QTest::newRow("value below range") << 0.0 << 10.0 << 0.5 << -3.0 << 20 << 0 << 0.1 << 0.0;
    // No steps: the slider stays at its one position and the value is kept.
    QTest::newRow("single value range") << 5.0 << 5.0 << 1.0 << 5.0 << 0 << 0 << 0.0 << 5.0;
    QTest::newRow("zero step") << 0.0 << 10.0 << 0.0 << 4.0 << 0 << 0 << 0.1 << 4.0;
    QTest::newRow("negative step") << 0.0 << 10.0 << -1.0 << 4.0 << 0 << 0 << 0.1 << 4.0;
}

void TestDoubleParameterWidget::setParamPutsSliderOnTheStepGrid()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, inc);
    QFETCH(double, value);
    QFETCH(int, sliderMaximum);
    QFETCH(int, sliderValue);
    QFETCH(double, spinStep);
    QFETCH(double, shown);

    Row row;
    row.widget.setParam(param(min, max, inc, value));

    QCOMPARE(row.widget.slider->minimum(), 0);
    QCOMPARE(row.widget.slider->maximum(), sliderMaximum);
    QCOMPARE(row.widget.slider->value(), sliderValue);
    QCOMPARE(row.widget.spinBox->minimum(), min);
    QCOMPARE(row.widget.spinBox->maximum(), max);
    QCOMPARE(row.widget.spinBox->singleStep(), spinStep);
    QCOMPARE(row.widget.spinBox->decimals(), 2);
    QCOMPARE(row.widget.spinBox->value(), shown);
}

void TestDoubleParameterWidget::typedValueSnapsToTheSliderGrid_data()
{
    QTest::addColumn<double>("inc");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<double>>("reported");
    QTest::addColumn<int>("sliderValue");

    QTest::newRow("moves the slider, snaps down")
        << 0.5 << QStringLiteral(".7") << QList<double>{0.5} << 1;
    QTest::newRow("short of the next step, stays as typed")
        << 0.5 << QStringLiteral(".2") << QList<double>{0.2} << 0;
    QTest::newRow("no steps, stays as typed")
        << 0.0 << QStringLiteral(".7") << QList<double>{0.7} << 0;
}

void TestDoubleParameterWidget::typedValueSnapsToTheSliderGrid()
{
    QFETCH(double, inc);
    QFETCH(QString, typed);
    QFETCH(QList<double>, reported);
    QFETCH(int, sliderValue);

    Row row;
    row.widget.setParam(param(0.0, 10.0, inc, 0.0));
    QSignalSpy spy(&row.widget, &DoubleParameterWidget::valueChanged);

    QTest::keyClick(row.widget.spinBox, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(row.widget.spinBox, typed);

    QCOMPARE(reportedValues(spy), reported);
    QCOMPARE(row.widget.spinBox->value(), reported.last());
    QCOMPARE(row.widget.slider->value(), sliderValue);
}

void TestDoubleParameterWidget::sliderDragReportsOnceOnRelease()
{
    Row row;
    row.widget.setParam(param(0.0, 10.0, 0.5, 0.0));
    QSignalSpy spy(&row.widget, &DoubleParameterWidget::valueChanged);

    SliderDrag::drag(row.widget.slider, {2, 5, 9});

    QCOMPARE(row.widget.slider->value(), 9);
    QCOMPARE(row.widget.spinBox->value(), 4.5);
    QCOMPARE(reportedValues(spy), QList<double>{4.5});
}

void TestDoubleParameterWidget::sliderKeysMoveSpinBoxSilently()
{
    Row row;
    row.widget.setParam(param(0.0, 10.0, 0.5, 0.0));
    QSignalSpy spy(&row.widget, &DoubleParameterWidget::valueChanged);

    QTest::keyClick(row.widget.slider, Qt::Key_Right);
    QCOMPARE(row.widget.spinBox->value(), 0.5);
    QTest::keyClick(row.widget.slider, Qt::Key_PageUp);
    QCOMPARE(row.widget.spinBox->value(), 2.5);
    QCOMPARE(spy.count(), 0);
}

void TestDoubleParameterWidget::setEnabledSwitchesTheWholeRow_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::newRow("disabled") << false;
    QTest::newRow("enabled again") << true;
}

void TestDoubleParameterWidget::setEnabledSwitchesTheWholeRow()
{
    QFETCH(bool, enabled);

    Row row;
    row.widget.setEnabled(!enabled);
    row.widget.setEnabled(enabled);

    QCOMPARE(row.widget.label->isEnabled(), enabled);
    QCOMPARE(row.widget.slider->isEnabled(), enabled);
    QCOMPARE(row.widget.spinBox->isEnabled(), enabled);
}

QTEST_MAIN(TestDoubleParameterWidget)
#include "tst_doubleparameterwidget.moc"
