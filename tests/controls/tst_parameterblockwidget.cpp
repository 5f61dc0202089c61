#include "parameterblockwidget.h"

#include <QGridLayout>
#include <QTest>

class TestParameterBlockWidget : public QObject
{
    Q_OBJECT

private slots:
    void rowsInGrid()
    {
        ParameterBlockWidget block;
        auto* grid = qobject_cast<QGridLayout*>(block.layout());
        QVERIFY(grid);
        const QList<QPair<BaseParameterWidget*, QWidget*>> rows{
            {block.framerateWidget, block.framerateWidget->spinBox},
            {block.exposureWidget, block.exposureWidget->spinBox},
            {block.mastergainWidget, block.mastergainWidget->spinBox}};
        const QStringList texts{QStringLiteral("Framerate"), QStringLiteral("Exposure"),
                                QStringLiteral("Mastergain")};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(rows[row].first->label->text(), texts[row]);
            QCOMPARE(grid->itemAtPosition(row, 0)->widget(), rows[row].first->label.data());
            QCOMPARE(grid->itemAtPosition(row, 1)->widget(), rows[row].first->slider.data());
            QCOMPARE(grid->itemAtPosition(row, 2)->widget(), rows[row].second);
        }
    }
};

QTEST_MAIN(TestParameterBlockWidget)
#include "tst_parameterblockwidget.moc"
