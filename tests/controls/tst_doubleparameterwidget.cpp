#include "doubleparameterwidget.h"
#include "parameterrow.h"

#include <QLocale>

using Param = CameraParameter<double>;
using Row = ParameterRow<DoubleParameterWidget>;
Q_DECLARE_METATYPE(Param)

class TestDoubleParameterWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void setParamPutsSliderOnTheStepGrid_data()
    {
        QTest::addColumn<Param>("param");
        QTest::addColumn<int>("sliderMaximum");
        QTest::addColumn<int>("sliderValue");
        QTest::addColumn<double>("shown");

        // The slider follows the value; the value keeps its own precision.
        QTest::newRow("half steps") << Param{0, 10, 0.5, 3.2} << 20 << 6 << 3.2;
        QTest::newRow("offset minimum") << Param{2, 12, 2, 7} << 5 << 2 << 7.0;
        QTest::newRow("value below range") << Param{0, 10, 0.5, -3} << 20 << 0 << 0.0;
        // No steps: the slider stays at its one position and the value is kept.
        QTest::newRow("single value range") << Param{5, 5, 1, 5} << 0 << 0 << 5.0;
        QTest::newRow("zero step") << Param{0, 10, 0, 4} << 0 << 0 << 4.0;
        QTest::newRow("negative step") << Param{0, 10, -1, 4} << 0 << 0 << 4.0;
    }

    void setParamPutsSliderOnTheStepGrid()
    {
        QFETCH(Param, param);
        QFETCH(int, sliderMaximum);
        QFETCH(int, sliderValue);
        QFETCH(double, shown);
        Row row;

        row.widget.setParam(param);

        QCOMPARE(row.widget.slider->minimum(), 0);
        QCOMPARE(row.widget.slider->maximum(), sliderMaximum);
        QCOMPARE(row.widget.slider->value(), sliderValue);
        QCOMPARE(row.widget.spinBox->minimum(), param.min);
        QCOMPARE(row.widget.spinBox->maximum(), param.max);
        // A hundredth of the range.
        QCOMPARE(row.widget.spinBox->singleStep(), (param.max - param.min) / 100);
        QCOMPARE(row.widget.spinBox->value(), shown);
    }

    void typedValueKeepsItsPrecision_data()
    {
        QTest::addColumn<double>("inc");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("sliderValue");

        QTest::newRow("moves the slider, kept") << 0.5 << QStringLiteral(".9") << 0.9 << 1;
        QTest::newRow("short of the next step, kept") << 0.5 << QStringLiteral(".2") << 0.2 << 0;
        QTest::newRow("no steps, kept") << 0.0 << QStringLiteral(".9") << 0.9 << 0;
    }

    void typedValueKeepsItsPrecision()
    {
        QFETCH(double, inc);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, sliderValue);
        Row row;
        row.widget.setParam({0, 10, inc, 0});
        QSignalSpy spy(&row.widget, &DoubleParameterWidget::valueChanged);

        QTest::keyClick(row.widget.spinBox, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(row.widget.spinBox, text);

        QCOMPARE(reported<double>(spy), QList<double>{value});
        QCOMPARE(row.widget.spinBox->value(), value);
        QCOMPARE(row.widget.slider->value(), sliderValue);
    }

    // Keys move the spin box silently; a drag reports once, on release.
    void sliderInput()
    {
        Row row;
        row.widget.setParam({0, 10, 0.5, 0});
        QSignalSpy spy(&row.widget, &DoubleParameterWidget::valueChanged);
        QTest::keyClick(row.widget.slider, Qt::Key_Right);
        QCOMPARE(row.widget.spinBox->value(), 0.5);
        QTest::keyClick(row.widget.slider, Qt::Key_PageUp);
        QCOMPARE(row.widget.spinBox->value(), 2.5);
        QCOMPARE(spy.count(), 0);

        drag(row.widget.slider, {2, 5, 9});

        QCOMPARE(row.widget.spinBox->value(), 4.5);
        QCOMPARE(reported<double>(spy), QList<double>{4.5});
    }

    void setEnabledSwitchesTheWholeRow() { Row().checkSetEnabled(); }
};

QTEST_MAIN(TestDoubleParameterWidget)
#include "tst_doubleparameterwidget.moc"
