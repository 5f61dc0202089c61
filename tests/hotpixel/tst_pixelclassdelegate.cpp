#include "pixelclassdelegate.h"

#include "badpixellistmodel.h"

#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Rows 0 to 3: a factory entry, a user entry, an ignored entry and one of an
// unknown code, which is shown as "ignore".
bool fillModel(BadpixelListModel& model, const QTemporaryDir& dir)
{
    const QString name = dir.filePath(QStringLiteral("classes.txt"));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    file.write("10 20 0\n11 21 1\n12 22 2\n13 23 7\n");
    file.close();
    model.importFromFile(name);
    return model.rowCount() == 4;
}

// The hot pixel table as the main window sets it up: the delegate on the
// class column.
struct Table
{
    Table()
    {
        view.setModel(&model);
        view.setItemDelegateForColumn(2, &delegate);
        view.resize(400, 300);
    }

    // Double-clicks the class cell of the row and returns the editor it opens.
    QComboBox* openEditor(int row)
    {
        const QRect cell = view.visualRect(model.index(row, 2));
        // The first click of a double click comes as press and release.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        return view.viewport()->findChild<QComboBox*>();
    }

    BadpixelListModel model;
    PixelclassDelegate delegate;
    QTableView view;
};

} // namespace

class TestPixelclassDelegate : public QObject
{
    Q_OBJECT

private slots:
    void editorOffersEveryClassName();
    void editorShowsTheRowsClass_data();
    void editorShowsTheRowsClass();
    void nameLookupIsCaseSensitive_data();
    void nameLookupIsCaseSensitive();
    void chosenNameGoesToTheModel_data();
    void chosenNameGoesToTheModel();
};

void TestPixelclassDelegate::editorOffersEveryClassName()
{
    PixelclassDelegate delegate;
    QWidget parent;
    QStandardItemModel model(1, 3);

    const std::unique_ptr<QWidget> editor(
        delegate.createEditor(&parent, QStyleOptionViewItem(), model.index(0, 2)));

    auto* comboBox = qobject_cast<QComboBox*>(editor.get());
    QVERIFY(comboBox);
    QCOMPARE(comboBox->parentWidget(), &parent);
    QCOMPARE(comboBox->count(), 3);
    const QStringList names{QStringLiteral("factory"), QStringLiteral("user"),
                            QStringLiteral("ignore")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(comboBox->itemText(i), names.at(i));
        QVERIFY(comboBox->itemIcon(i).isNull());
        QVERIFY(!comboBox->itemData(i, Qt::UserRole).isValid());
    }
}

void TestPixelclassDelegate::editorShowsTheRowsClass_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("shown");

    QTest::newRow("factory entry") << 0 << QStringLiteral("factory");
    QTest::newRow("user entry") << 1 << QStringLiteral("user");
    QTest::newRow("ignored entry") << 2 << QStringLiteral("ignore");
    QTest::newRow("unknown code") << 3 << QStringLiteral("ignore");
}

void TestPixelclassDelegate::editorShowsTheRowsClass()
{
    QFETCH(int, row);
    QFETCH(QString, shown);

    QTemporaryDir dir;
    Table table;
    QVERIFY(fillModel(table.model, dir));
    table.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));

    QComboBox* editor = table.openEditor(row);

    QVERIFY(editor);
    QCOMPARE(editor->currentText(), shown);
    QCOMPARE(editor->count(), 3);
    QCOMPARE(editor->geometry(), table.view.visualRect(table.model.index(row, 2)));
}

void TestPixelclassDelegate::nameLookupIsCaseSensitive_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("current");

    QTest::newRow("exact") << QStringLiteral("user") << 1;
    QTest::newRow("other case") << QStringLiteral("Factory") << -1;
    QTest::newRow("not a class") << QStringLiteral("hot") << -1;
}

void TestPixelclassDelegate::nameLookupIsCaseSensitive()
{
    QFETCH(QString, name);
    QFETCH(int, current);

    PixelclassDelegate delegate;
    QStandardItemModel model(1, 3);
    model.setData(model.index(0, 2), name, Qt::EditRole);
    QWidget parent;
    const std::unique_ptr<QWidget> editor(
        delegate.createEditor(&parent, QStyleOptionViewItem(), model.index(0, 2)));

    delegate.setEditorData(editor.get(), model.index(0, 2));

    QCOMPARE(qobject_cast<QComboBox*>(editor.get())->currentIndex(), current);
}

void TestPixelclassDelegate::chosenNameGoesToTheModel_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("changes");

    QTest::newRow("user made factory") << 1 << int(Qt::Key_Up) << int(Factory) << 1;
    QTest::newRow("factory made user") << 0 << int(Qt::Key_Down) << int(User) << 1;
    QTest::newRow("unknown code made user") << 3 << int(Qt::Key_Up) << int(User) << 1;
    QTest::newRow("ignore is refused") << 1 << int(Qt::Key_Down) << int(User) << 0;
}

void TestPixelclassDelegate::chosenNameGoesToTheModel()
{
    QFETCH(int, row);
    QFETCH(int, key);
    QFETCH(int, code);
    QFETCH(int, changes);

    QTemporaryDir dir;
    Table table;
    QVERIFY(fillModel(table.model, dir));
    table.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table.view));
    QSignalSpy spy(&table.model, &BadpixelListModel::dataChanged);

    const QPointer<QComboBox> editor = table.openEditor(row);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key(key));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(editor.isNull());

    QCOMPARE(int(table.model.badpixelAt(row).pixelclass), code);
    QCOMPARE(spy.count(), changes);
}

QTEST_MAIN(TestPixelclassDelegate)
#include "tst_pixelclassdelegate.moc"
