#include "cameralistmodel.h"

#include "camera.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QSignalSpy>
#include <QTest>

#include <tuple>

namespace {

const char* const ColourSerial = "SIM0001280";
const char* const MonoSerial = "SIM0000752";
// Polls far apart, so that only the test refreshes.
constexpr int NoPoll = 3600000;

// "device id status" per row, top to bottom.
QString describe(const CameraListModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows << model.index(row, 1).data().toString() + QLatin1Char(' ') +
                    model.index(row, 4).data().toString();
    return rows.join(QLatin1String(", "));
}

} // namespace

class TestCameraListModel : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void refreshKeepsRowsInPlace();
    void openedCameraAndSort();

private:
    TestUtils::IsolatedEnvironment environment;
};

void TestCameraListModel::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    KivoSimClearFaults();
}

void TestCameraListModel::refreshKeepsRowsInPlace()
{
    CameraListModel model(NoPoll);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.updateList();

    // The third camera is held by another program.
    QCOMPARE(describe(model), QStringLiteral("1 free, 2 free, 3 in use"));
    QStringList row;
    for (int column = 0; column < model.columnCount(); ++column)
        row << model.index(0, column).data().toString();
    QCOMPARE(row, (QStringList{"1", "1", "Kivo Sim C1280", ColourSerial, "free"}));
    // The same cameras again change nothing; row 0 is to be selected again.
    model.updateList();
    QCOMPARE(changed.count() + data.count() + removed.count(), 1);

    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 3 in use"));
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 1), 0);
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 3 in use, 2 free"));
    QCOMPARE(KivoSimSetInUse(ColourSerial, 1), 0);
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 3 in use, 2 free"));
    QCOMPARE(data.count(), 1);
    QCOMPARE(data.first().mid(0, 2), (QVariantList{model.index(0, 0), model.index(0, 4)}));
    // With no camera left, all rows go at once; the next refresh changes nothing.
    QCOMPARE(KivoSimLoadWorld(R"({"cameras":[]})"), 0);
    model.updateList();
    model.updateList();
    QCOMPARE(model.rowCount(), 0);

    const QVariant root = QVariant::fromValue(QModelIndex());
    QCOMPARE(QList<QVariantList>(removed), (QList<QVariantList>{{root, 1, 1}, {root, 0, 2}}));
    QCOMPARE(QList<QVariantList>(inserted), (QList<QVariantList>{{root, 0, 2}, {root, 2, 2}}));
    QCOMPARE(changed.count(), 5);
    QCOMPARE(QList<QVariantList>(select).mid(0, 2), (QList<QVariantList>{{0}, {0}}));
    QCOMPARE(select.count(), 7);

    // An empty list is not sorted, whatever the column.
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);
    model.sort(7, Qt::AscendingOrder);
    QCOMPARE(layout.count() + errors.count(), 0);
}

void TestCameraListModel::openedCameraAndSort()
{
    Camera camera;
    QCOMPARE(KivoSimSetManualFrames(ColourSerial, 1), 0);
    camera.open(1);
    CameraListModel model(NoPoll);
    model.setOpenCamera(&camera);
    // A camera appended by this refresh is not matched yet.
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 2 free, 3 in use"));
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 opened, 2 free, 3 in use"));

    // Every column sorts; a selection made before follows its row.
    const QPersistentModelIndex colour = model.index(0, 3);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);
    const QList<std::tuple<int, Qt::SortOrder, QString>> sorts{
        {1, Qt::DescendingOrder, "3 in use, 2 free, 1 opened"},
        {2, Qt::AscendingOrder, "1 opened, 3 in use, 2 free"},
        {3, Qt::AscendingOrder, "2 free, 1 opened, 3 in use"},
        {4, Qt::AscendingOrder, "2 free, 3 in use, 1 opened"},
        {0, Qt::AscendingOrder, "1 opened, 2 free, 3 in use"},
        {5, Qt::DescendingOrder, "1 opened, 2 free, 3 in use"}};
    for (const auto& [column, order, rows] : sorts) {
        model.sort(column, order);
        QCOMPARE(describe(model), rows);
    }
    QCOMPARE(layout.count(), 5);
    QCOMPARE(QList<QVariantList>(errors), (QList<QVariantList>{{"Sort Error"}}));
    QCOMPARE(colour.data().toString(), QString::fromLatin1(ColourSerial));

    model.clearOpenCamera();
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 2 free, 3 in use"));
    camera.close();
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 2 free, 3 in use"));
}

QTEST_GUILESS_MAIN(TestCameraListModel)
#include "tst_cameralistmodel.moc"
