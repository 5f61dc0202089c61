#include "cameralistmodel.h"

#include "camera.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QSignalSpy>
#include <QTest>

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

    void refreshListsCameras();
    void changesKeepRowsInPlace();
    void openedCamera();
    void failedRefreshKeepsRows_data();
    void failedRefreshKeepsRows();
    void timerRefreshesAndReportsFailures();
    void sort_data();
    void sort();

private:
    TestUtils::IsolatedEnvironment environment;
};

void TestCameraListModel::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    KivoSimClearFaults();
}

void TestCameraListModel::refreshListsCameras()
{
    CameraListModel model(NoPoll);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);
    model.updateList();

    // The third camera is held by another program.
    QCOMPARE(describe(model), QStringLiteral("1 free, 2 free, 3 in use"));
    QCOMPARE(model.index(0, 0).data().toUInt(), 1u);
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("Kivo Sim C1280"));
    QCOMPARE(model.index(0, 3).data().toString(), QString::fromLatin1(ColourSerial));
    QVERIFY(!model.index(0, 2).data(Qt::EditRole).isValid());
    QStringList headers;
    for (int column = 0; column < model.columnCount(); ++column)
        headers << model.headerData(column, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"Cam", "Dev", "Model", "SerNo", "Status"}));
    QCOMPARE(model.headerData(2, Qt::Vertical), QVariant(2));
    QCOMPARE(changed.count(), 1);

    // The same cameras again: nothing changes, row 0 is to be selected again.
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.updateList();
    QCOMPARE(changed.count() + data.count() + inserted.count() + removed.count(), 1);
    QCOMPARE(QList<QVariantList>(select), (QList<QVariantList>{{0}, {0}}));
}

void TestCameraListModel::changesKeepRowsInPlace()
{
    CameraListModel model(NoPoll);
    model.updateList();
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

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
    QCOMPARE(QList<QVariantList>(inserted), (QList<QVariantList>{{root, 2, 2}}));
    QCOMPARE(changed.count(), 4);
    QCOMPARE(select.count(), 5);

    // An empty list is not sorted, whatever the column.
    int layouts = 0;
    connect(&model, &QAbstractItemModel::layoutChanged, this, [&layouts] { ++layouts; });
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);
    model.sort(7, Qt::AscendingOrder);
    QCOMPARE(layouts + errors.count(), 0);
}

void TestCameraListModel::openedCamera()
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

    model.clearOpenCamera();
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 in use, 2 free, 3 in use"));
    camera.close();
    model.updateList();
    QCOMPARE(describe(model), QStringLiteral("1 free, 2 free, 3 in use"));
}

void TestCameraListModel::failedRefreshKeepsRows_data()
{
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<QString>("message");

    QTest::newRow("count") << QByteArray("CamCount") << "Can't get number of cameras.";
    QTest::newRow("list") << QByteArray("CamList") << "Can't get camera list.";
}

void TestCameraListModel::failedRefreshKeepsRows()
{
    QFETCH(QByteArray, operation);
    QFETCH(QString, message);

    CameraListModel model(NoPoll);
    model.updateList();
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    QCOMPARE(KivoSimInjectFault(operation.constData(), 1, 5), 0);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);

    QCOMPARE(TestUtils::errorText([&] { model.updateList(); }), message);

    QCOMPARE(describe(model), QStringLiteral("1 free, 2 free, 3 in use"));
    QCOMPARE(select.count(), 0);
}

void TestCameraListModel::timerRefreshesAndReportsFailures()
{
    CameraListModel model(20);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);
    QVERIFY(changed.wait());
    QCOMPARE(model.rowCount(), 3);

    QCOMPARE(KivoSimInjectFault("CamList", 1, 5), 0);
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    QVERIFY(errors.wait());
    QCOMPARE(errors.first().first().toString(), QStringLiteral("Can't get camera list."));
    QCOMPARE(model.rowCount(), 3);
    // The next tick goes through again.
    QVERIFY(changed.wait());
    QCOMPARE(describe(model), QStringLiteral("1 free, 3 in use"));
}

void TestCameraListModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("rows");

    QTest::newRow("camera id") << 0 << Qt::AscendingOrder << ""
                               << "1 opened, 2 free, 3 in use";
    QTest::newRow("device id, descending") << 1 << Qt::DescendingOrder << ""
                                           << "3 in use, 2 free, 1 opened";
    QTest::newRow("model") << 2 << Qt::AscendingOrder << ""
                           << "1 opened, 3 in use, 2 free";
    QTest::newRow("serial") << 3 << Qt::AscendingOrder << ""
                            << "2 free, 1 opened, 3 in use";
    QTest::newRow("status") << 4 << Qt::AscendingOrder << ""
                            << "2 free, 3 in use, 1 opened";
    QTest::newRow("status, descending") << 4 << Qt::DescendingOrder << ""
                                        << "1 opened, 3 in use, 2 free";
    QTest::newRow("column past the last") << 5 << Qt::AscendingOrder << "Sort Error"
                                          << "1 opened, 2 free, 3 in use";
    QTest::newRow("negative column") << -1 << Qt::DescendingOrder << "Sort Error"
                                     << "1 opened, 2 free, 3 in use";
}

void TestCameraListModel::sort()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QString, error);
    QFETCH(QString, rows);

    Camera camera;
    QCOMPARE(KivoSimSetManualFrames(ColourSerial, 1), 0);
    camera.open(1);
    CameraListModel model(NoPoll);
    model.setOpenCamera(&camera);
    model.updateList();
    model.updateList();
    const QPersistentModelIndex colour = model.index(0, 3);
    int layouts = 0;
    connect(&model, &QAbstractItemModel::layoutChanged, this, [&layouts] { ++layouts; });
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);

    model.sort(column, order);

    QCOMPARE(describe(model), rows);
    QCOMPARE(layouts, error.isEmpty() ? 1 : 0);
    QCOMPARE(errors.value(0).value(0).toString(), error);
    // A selection made before follows its row.
    QCOMPARE(colour.data().toString(), QString::fromLatin1(ColourSerial));
}

QTEST_GUILESS_MAIN(TestCameraListModel)
#include "tst_cameralistmodel.moc"
