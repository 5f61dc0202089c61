#include "pixelclassdelegate.h"

#include "badpixellistmodel.h"
#include "testutils.h"

#include <QComboBox>
#include <QPointer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class TestPixelclassDelegate : public QObject
{
    Q_OBJECT

private slots:
    void choiceGoesToTheModel_data();
    void choiceGoesToTheModel();
};

void TestPixelclassDelegate::choiceGoesToTheModel_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("code");

    QTest::newRow("factory made user") << 0 << "factory" << int(Qt::Key_Down) << int(User);
    QTest::newRow("user made factory") << 1 << "user" << int(Qt::Key_Up) << int(Factory);
    QTest::newRow("unknown code shown as ignore") << 3 << "ignore" << int(Qt::Key_Up) << int(User);
}

void TestPixelclassDelegate::choiceGoesToTheModel()
{
    QFETCH(int, row);
    QFETCH(QString, shown);
    QFETCH(int, key);
    QFETCH(int, code);

    // Rows 0 to 3: a factory, a user, an ignored entry and one of an unknown code.
    QTemporaryDir dir;
    QVERIFY(TestUtils::writeFile(dir.filePath(QStringLiteral("classes.txt")),
                                 "10 20 0\n11 21 1\n12 22 2\n13 23 7\n"));
    BadpixelListModel model;
    model.importFromFile(dir.filePath(QStringLiteral("classes.txt")));
    PixelclassDelegate delegate;
    QTableView view;
    view.setModel(&model);
    view.setItemDelegateForColumn(2, &delegate);
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // The first click of a double click comes as press and release.
    const QRect cell = view.visualRect(model.index(row, 2));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    const QPointer<QComboBox> editor = view.viewport()->findChild<QComboBox*>();
    QVERIFY(editor);
    QCOMPARE(editor->count(), 3);
    QCOMPARE(editor->currentText(), shown);
    QCOMPARE(editor->geometry(), cell);
    QTest::keyClick(editor, Qt::Key(key));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(editor.isNull());

    QCOMPARE(int(model.badpixelAt(row).pixelclass), code);
}

QTEST_MAIN(TestPixelclassDelegate)
#include "tst_pixelclassdelegate.moc"
