#include "parameterblockwidget.h"

#include <QGridLayout>
#include <QTest>

class TestParameterBlockWidget : public QObject
{
    Q_OBJECT

private slots:
    void rowsInGrid_data();
    void rowsInGrid();
    void disablingTheBlockDisablesEveryControl();
};

void TestParameterBlockWidget::rowsInGrid_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::newRow("frame rate") << 0 << QStringLiteral("Framerate");
    QTest::newRow("exposure") << 1 << QStringLiteral("Exposure");
    QTest::newRow("master gain") << 2 << QStringLiteral("Mastergain");
}

void TestParameterBlockWidget::rowsInGrid()
{
    QFETCH(int, row);
    QFETCH(QString, text);

    ParameterBlockWidget block;
    const BaseParameterWidget* rows[] = {block.framerateWidget, block.exposureWidget,
                                         block.mastergainWidget};
    QWidget* spinBoxes[] = {block.framerateWidget->spinBox, block.exposureWidget->spinBox,
                            block.mastergainWidget->spinBox};
    auto* grid = qobject_cast<QGridLayout*>(block.layout());
    QVERIFY(grid);

    QCOMPARE(rows[row]->label->text(), text);
    QCOMPARE(grid->itemAtPosition(row, 0)->widget(), rows[row]->label.data());
    QCOMPARE(grid->itemAtPosition(row, 1)->widget(), rows[row]->slider.data());
    QCOMPARE(grid->itemAtPosition(row, 2)->widget(), spinBoxes[row]);
}

void TestParameterBlockWidget::disablingTheBlockDisablesEveryControl()
{
    ParameterBlockWidget block;
    block.setEnabled(false);
    const QList<QWidget*> controls =
        block.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 9);
    for (const QWidget* control : controls) {
        QVERIFY(!control->isEnabled());
    }
    block.setEnabled(true);
    for (const QWidget* control : controls) {
        QVERIFY(control->isEnabled());
    }
}

QTEST_MAIN(TestParameterBlockWidget)
#include "tst_parameterblockwidget.moc"
