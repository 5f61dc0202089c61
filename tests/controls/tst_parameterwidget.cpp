#include "parameterblockwidget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QTest>

#include <memory>

using Numbers = QVector<double>;

// Set twice, then typed over: minimum, maximum, step and value as set and as shown, the
// slider's minimum, maximum and value, its value after the typing, and every value reported.
struct Case
{
    bool whole;
    Numbers param, shown;
    QVector<int> slider;
    const char* typed;
    Numbers reported;
};
Q_DECLARE_METATYPE(Case)

class TestParameterWidget : public QObject
{
    Q_OBJECT

    // Holds both kinds of widget, laid out and shown as the program does.
    std::unique_ptr<ParameterBlockWidget> block;
    ParameterWidget* gain() const { return block->mastergainWidget; }
    DoubleParameterWidget* rate() const { return block->framerateWidget; }
    QWidget* spinBox(bool whole) const
    {
        return whole ? static_cast<QWidget*>(gain()->spinBox) : rate()->spinBox;
    }
    BaseParameterWidget* widget(bool whole) const
    {
        return whole ? static_cast<BaseParameterWidget*>(gain()) : rate();
    }
    QSlider* slider(bool whole) const { return widget(whole)->slider; }
    void set(bool whole, const Numbers& p) const
    {
        whole ? gain()->setParam({int(p[0]), int(p[1]), int(p[2]), int(p[3])})
              : rate()->setParam({p[0], p[1], p[2], p[3]});
    }
    // What either widget reported, in order.
    Numbers reports;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init()
    {
        reports.clear();
        block = std::make_unique<ParameterBlockWidget>();
        block->show();
        connect(gain(), &ParameterWidget::valueChanged, this, [this](int v) { reports << v; });
        connect(rate(), &DoubleParameterWidget::valueChanged, this,
                [this](double v) { reports << v; });
    }
    void cleanup() { block.reset(); }

    // Label, slider and spin box in one grid row, greyed and restored together.
    void rowsInGridSwitchTogether()
    {
        auto* grid = qobject_cast<QGridLayout*>(block->layout());
        for (const int row : {0, 2}) {
            const QList<QWidget*> parts{widget(row)->label, slider(row), spinBox(row)};
            for (int column = 0; column < 3; ++column) {
                QCOMPARE(grid->itemAtPosition(row, column)->widget(), parts[column]);
                for (const bool enabled : {false, true}) {
                    widget(row)->setEnabled(enabled);
                    QCOMPARE(parts[column]->isEnabled(), enabled);
                }
            }
        }
    }

    void setParamThenType_data()
    {
        QTest::addColumn<Case>("c");
        // The camera's changes are reported like the user's, so that other
        // listeners learn them; the same again is no news.
        QTest::newRow("whole") << Case{true, {0, 100, 5, 35}, {0, 100, 5, 35}, {0, 100, 35, 72},
                                       "72", {35, 7, 72}};
        // Fractions step by a hundredth of the range; the slider follows the
        // value on its own grid, and the value keeps its precision.
        QTest::newRow("half steps")
            << Case{false, {0, 10, 0.5, 3.2}, {0, 10, 0.1, 3.2}, {0, 20, 6, 1}, ".9", {3.2, 0.9}};
        QTest::newRow("offset minimum")
            << Case{false, {2, 12, 2, 7}, {2, 12, 0.1, 7}, {0, 5, 2, 3}, "9.9", {2, 7, 9, 9.9}};
        QTest::newRow("value below range")
            << Case{false, {0, 10, 0.5, -3}, {0, 10, 0.1, 0}, {0, 20, 0, 0}, ".2", {0.2}};
        // No steps: the slider stays at its one position.
        QTest::newRow("zero step")
            << Case{false, {0, 10, 0, 4}, {0, 10, 0.1, 4}, {0, 0, 0, 0}, ".9", {4, 0.9}};
    }

    void setParamThenType()
    {
        QFETCH(Case, c);
        set(c.whole, c.param);
        set(c.whole, c.param);

        Numbers box;
        for (const char* property : {"minimum", "maximum", "singleStep", "value"})
            box << spinBox(c.whole)->property(property).toDouble();
        QCOMPARE(box, c.shown);
        const QSlider* bar = slider(c.whole);
        QCOMPARE((QVector<int>{bar->minimum(), bar->maximum(), bar->value()}), c.slider.mid(0, 3));

        QTest::keyClick(spinBox(c.whole), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spinBox(c.whole), QString::fromLatin1(c.typed));
        QCOMPARE(reports, c.reported);
        QCOMPARE(bar->value(), c.slider[3]);
    }

    // The slider moves the spin box silently; a drag reports once, on release.
    void sliderInput()
    {
        for (const bool whole : {true, false}) {
            set(whole, {0, 10, whole ? 1 : 0.5, 0});
            slider(whole)->setSliderDown(true);
            for (const int position : {2, 5, 9})
                slider(whole)->setSliderPosition(position);
            QCOMPARE(spinBox(whole)->property("value").toDouble(), whole ? 9 : 4.5);
            slider(whole)->setSliderDown(false);
            QCOMPARE(reports, Numbers{whole ? 9 : 4.5});
            reports.clear();
        }
    }

    // The controls live in the caller's layout; whichever of the window and
    // the widget goes first, nothing is deleted twice and nothing is left.
    void controlsSurviveEitherDestructionOrder()
    {
        for (const bool windowFirst : {true, false}) {
            auto window = std::make_unique<QWidget>();
            auto widget = std::make_unique<ParameterWidget>();
            auto* layout = new QHBoxLayout(window.get());
            for (QWidget* part : QWidgetList{widget->label, widget->slider, widget->spinBox})
                layout->addWidget(part);
            windowFirst ? window.reset() : widget.reset();
            QVERIFY(windowFirst ? widget->slider.isNull() && widget->spinBox.isNull()
                                : window->findChildren<QWidget*>().isEmpty());
        }
    }
};

QTEST_MAIN(TestParameterWidget)
#include "tst_parameterwidget.moc"
