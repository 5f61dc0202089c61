#include "badpixellistmodel.h"

#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

namespace {

QList<int> classes(const BadpixelListModel& model)
{
    QList<int> result;
    for (const Badpixel& e : model.badpixelList())
        result << e.pixelclass;
    return result;
}

} // namespace

class TestBadpixelListModel : public QObject
{
    Q_OBJECT

private slots:
    void addRefusesOnlyFactoryAndUserDuplicates_data();
    void addRefusesOnlyFactoryAndUserDuplicates();
    void addTruncatesTo16Bits();
    void dataAndHeaders_data();
    void dataAndHeaders();
    void setDataRules_data();
    void setDataRules();
    void findRadius_data();
    void findRadius();
    void findTakesLowestRow();
    void deleteOnlyUserEntries();
    void clearUserKeepsOthersInOrder();
    void clearAllKeepsNothing();
    void insertRowsAddsUserEntriesAtZero();
    void sortByColumn_data();
    void sortByColumn();
    void sortEmptyEmitsNothing();
    void sortRejectsUnknownColumn();
};

void TestBadpixelListModel::addRefusesOnlyFactoryAndUserDuplicates_data()
{
    QTest::addColumn<QString>("existingClass");
    QTest::addColumn<bool>("added");

    QTest::newRow("held by factory entry") << QStringLiteral("factory") << false;
    QTest::newRow("held by user entry") << QStringLiteral("user") << false;
}

void TestBadpixelListModel::addRefusesOnlyFactoryAndUserDuplicates()
{
    QFETCH(QString, existingClass);
    QFETCH(bool, added);

    BadpixelListModel model;
    QVERIFY(model.addBadpixel(QPoint(4, 5)));
    model.setData(model.index(0, 2), existingClass);

    QSignalSpy pixelAdded(&model, &BadpixelListModel::pixelAdded);
    QSignalSpy rowsInserted(&model, &BadpixelListModel::rowsInserted);
    QCOMPARE(model.addBadpixel(QPoint(4, 5)), added);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(pixelAdded.count(), 0);
    QCOMPARE(rowsInserted.count(), 0);

    // A different position is never blocked, and is announced at the end.
    QVERIFY(model.addBadpixel(QPoint(5, 4)));
    QCOMPARE(pixelAdded.count(), 1);
    QCOMPARE(pixelAdded.first().first().toInt(), 1);
    QCOMPARE(rowsInserted.count(), 1);
    QCOMPARE(rowsInserted.first().at(1).toInt(), 1);
    QCOMPARE(model.badpixelAt(1).pixelclass, uint8_t(User));
}

void TestBadpixelListModel::addTruncatesTo16Bits()
{
    BadpixelListModel model;
    QVERIFY(model.addBadpixel(QPoint(70000, -1)));
    QCOMPARE(model.badpixelAt(0).x, uint16_t(4464));
    QCOMPARE(model.badpixelAt(0).y, uint16_t(65535));
    // The same position after truncation is a duplicate.
    QVERIFY(!model.addBadpixel(QPoint(4464, 65535)));
}

void TestBadpixelListModel::dataAndHeaders_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("x as int") << 0 << int(Qt::DisplayRole) << QVariant(12);
    QTest::newRow("y for editing") << 1 << int(Qt::EditRole) << QVariant(34);
    QTest::newRow("class name") << 2 << int(Qt::DisplayRole) << QVariant(QStringLiteral("user"));
    QTest::newRow("no tool tip") << 0 << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("no colour") << 2 << int(Qt::ForegroundRole) << QVariant();
    QTest::newRow("column beyond") << 3 << int(Qt::DisplayRole) << QVariant();
}

void TestBadpixelListModel::dataAndHeaders()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);

    BadpixelListModel model;
    model.addBadpixel(QPoint(12, 34));
    QCOMPARE(model.data(model.index(0, column), role), expected);

    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("x"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("class"));
    QCOMPARE(model.headerData(0, Qt::Vertical), QVariant(0));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole), QVariant());
    QVERIFY(!model.data(QModelIndex()).isValid());
}

void TestBadpixelListModel::setDataRules_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVariant>("shown");

    QTest::newRow("x truncated") << 0 << QVariant(70000) << true << QVariant(4464);
    QTest::newRow("y from text") << 1 << QVariant(QStringLiteral("17")) << true << QVariant(17);
    QTest::newRow("x not a number")
        << 0 << QVariant(QStringLiteral("seven")) << false << QVariant(1);
    QTest::newRow("factory accepted")
        << 2 << QVariant(QStringLiteral("factory")) << true << QVariant(QStringLiteral("factory"));
    QTest::newRow("ignore refused")
        << 2 << QVariant(QStringLiteral("ignore")) << false << QVariant(QStringLiteral("user"));
    QTest::newRow("other case refused")
        << 2 << QVariant(QStringLiteral("Factory")) << false << QVariant(QStringLiteral("user"));
}

void TestBadpixelListModel::setDataRules()
{
    QFETCH(int, column);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(QVariant, shown);

    BadpixelListModel model;
    model.addBadpixel(QPoint(1, 2));
    QSignalSpy changed(&model, &BadpixelListModel::dataChanged);

    const QModelIndex index = model.index(0, column);
    QCOMPARE(model.setData(index, value), accepted);
    QCOMPARE(model.data(index), shown);
    QCOMPARE(changed.count(), accepted ? 1 : 0);
    if (accepted) {
        QCOMPARE(changed.first().at(0).toModelIndex(), index);
        QCOMPARE(changed.first().at(1).toModelIndex(), index);
    }
    QVERIFY(!model.setData(model.index(0, 3), value));
}

void TestBadpixelListModel::findRadius_data()
{
    QTest::addColumn<QPoint>("entry");
    QTest::addColumn<int>("radius");
    QTest::addColumn<bool>("found");

    QTest::newRow("exact, radius 1") << QPoint(10, 10) << 1 << true;
    QTest::newRow("one off, radius 1") << QPoint(11, 10) << 1 << false;
    QTest::newRow("6 and 6 off, radius 7") << QPoint(16, 4) << 7 << true;
    QTest::newRow("7 off in x, radius 7") << QPoint(17, 10) << 7 << false;
    QTest::newRow("7 off in y, radius 7") << QPoint(10, 3) << 7 << false;
}

void TestBadpixelListModel::findRadius()
{
    QFETCH(QPoint, entry);
    QFETCH(int, radius);
    QFETCH(bool, found);

    BadpixelListModel model;
    model.addBadpixel(entry);
    const QModelIndex index = model.findBadpixel(10, 10, radius);
    QCOMPARE(index.isValid(), found);
    if (found) {
        QCOMPARE(index.row(), 0);
        QCOMPARE(index.column(), 0);
    }
}

void TestBadpixelListModel::findTakesLowestRow()
{
    BadpixelListModel model;
    model.addBadpixel(QPoint(15, 15));
    model.addBadpixel(QPoint(10, 10));
    QCOMPARE(model.findBadpixel(10, 10, 7).row(), 0);
}

void TestBadpixelListModel::deleteOnlyUserEntries()
{
    BadpixelListModel model;
    QVERIFY(!model.deleteUserBadpixel(0));
    model.addBadpixel(QPoint(1, 1));
    model.addBadpixel(QPoint(2, 2));
    model.setData(model.index(0, 2), QStringLiteral("factory"));

    QVERIFY(!model.deleteUserBadpixel(0));
    QVERIFY(!model.deleteUserBadpixel(2));
    QVERIFY(!model.deleteUserBadpixel(-1));
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    QVERIFY(model.deleteUserBadpixel(1));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.badpixelAt(0).pixelclass, uint8_t(Factory));
}

void TestBadpixelListModel::clearUserKeepsOthersInOrder()
{
    BadpixelListModel model;
    for (int i = 0; i < 5; ++i)
        model.addBadpixel(QPoint(i, i));
    model.setData(model.index(2, 2), QStringLiteral("factory"));
    model.setData(model.index(4, 2), QStringLiteral("factory"));
    model.setData(model.index(4, 0), 40);

    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    model.clearUserBadpixelList();
    QCOMPARE(classes(model), QList<int>({Factory, Factory}));
    QCOMPARE(model.badpixelAt(0).x, uint16_t(2));
    QCOMPARE(model.badpixelAt(1).x, uint16_t(40));
    QCOMPARE(removed.count(), 3); // one announcement per removed entry

    removed.clear();
    model.clearUserBadpixelList();
    QCOMPARE(removed.count(), 0);
}

void TestBadpixelListModel::clearAllKeepsNothing()
{
    BadpixelListModel model;
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    model.clearBadpixelList();
    QCOMPARE(removed.count(), 0);

    model.addBadpixel(QPoint(1, 1));
    model.addBadpixel(QPoint(2, 1));
    model.setData(model.index(0, 2), QStringLiteral("factory"));
    model.clearBadpixelList();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 0);
    QCOMPARE(removed.first().at(2).toInt(), 1);
}

void TestBadpixelListModel::insertRowsAddsUserEntriesAtZero()
{
    BadpixelListModel model;
    for (int i = 1; i <= 4; ++i)
        model.addBadpixel(QPoint(i, i));
    QVERIFY(model.insertRows(2, 3));
    QCOMPARE(model.rowCount(), 7);
    for (int row = 2; row <= 4; ++row) {
        QCOMPARE(model.badpixelAt(row).x, uint16_t(0));
        QCOMPARE(model.badpixelAt(row).y, uint16_t(0));
        QCOMPARE(model.badpixelAt(row).pixelclass, uint8_t(User));
    }
    QCOMPARE(model.badpixelAt(5).x, uint16_t(3));
}

void TestBadpixelListModel::sortByColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("keys");

    QTest::newRow("x ascending") << 0 << int(Qt::AscendingOrder) << QList<int>({1, 2, 3});
    QTest::newRow("x descending") << 0 << int(Qt::DescendingOrder) << QList<int>({3, 2, 1});
    QTest::newRow("y ascending") << 1 << int(Qt::AscendingOrder) << QList<int>({10, 20, 30});
    QTest::newRow("class ascending, factory first")
        << 2 << int(Qt::AscendingOrder) << QList<int>({Factory, User, User});
}

void TestBadpixelListModel::sortByColumn()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QList<int>, keys);

    BadpixelListModel model;
    model.addBadpixel(QPoint(2, 30));
    model.addBadpixel(QPoint(3, 10));
    model.addBadpixel(QPoint(1, 20));
    model.setData(model.index(2, 2), QStringLiteral("factory"));

    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    model.sort(column, Qt::SortOrder(order));
    QCOMPARE(layout.count(), 1);
    QList<int> sorted;
    for (int row = 0; row < model.rowCount(); ++row)
        sorted << model.data(model.index(row, column)).toInt();
    if (column == 2)
        sorted = classes(model);
    QCOMPARE(sorted, keys);
}

void TestBadpixelListModel::sortEmptyEmitsNothing()
{
    BadpixelListModel model;
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    model.sort(7, Qt::AscendingOrder);
    QCOMPARE(layout.count(), 0);
}

void TestBadpixelListModel::sortRejectsUnknownColumn()
{
    BadpixelListModel model;
    model.addBadpixel(QPoint(2, 2));
    model.addBadpixel(QPoint(1, 1));
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    try {
        model.sort(3, Qt::AscendingOrder);
        QFAIL("no exception");
    } catch (const std::runtime_error& error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("Sort Error"));
    }
    QCOMPARE(layout.count(), 0);
}

QTEST_GUILESS_MAIN(TestBadpixelListModel)
#include "tst_badpixellistmodel.moc"
