#include "cameralistmodel.h"

#include "camera.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

namespace {

const char* const ColourSerial = "SIM0001280";
const char* const MonoSerial = "SIM0000752";

// The device ids of the rows, top to bottom.
QList<uint> deviceOrder(const CameraListModel& model)
{
    QList<uint> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.index(row, 1).data().toUInt();
    return ids;
}

QString status(const CameraListModel& model, int row)
{
    return model.index(row, 4).data().toString();
}

// Polls far apart, so that only the test refreshes.
constexpr int NoPoll = 3600000;

} // namespace

class TestCameraListModel : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void headers();
    void listsCameras();
    void unchangedRefreshOnlySelectsRow();
    void unplugRemovesExactlyItsRow();
    void replugAppends();
    void inUseChangeUpdatesRowInPlace();
    void openedCamera();
    void noCameraLeft();
    void failedRefreshKeepsRows_data();
    void failedRefreshKeepsRows();
    void timerRefreshes();
    void timerFailureIsReported();
    void sort_data();
    void sort();
    void sortKeepsPersistentIndexes();
    void sortError_data();
    void sortError();
    void sortEmptyList();

private:
    TestUtils::IsolatedEnvironment environment;
};

void TestCameraListModel::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    KivoSimClearFaults();
}

void TestCameraListModel::headers()
{
    CameraListModel model(NoPoll);
    QCOMPARE(model.columnCount(), 5);
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.headerData(column, Qt::Horizontal).toString();
    QCOMPARE(texts, (QStringList{"Cam", "Dev", "Model", "SerNo", "Status"}));
    // Row numbers count from 0.
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 0);
    QCOMPARE(model.headerData(2, Qt::Vertical).toInt(), 2);
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

void TestCameraListModel::listsCameras()
{
    CameraListModel model(NoPoll);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);
    model.updateList();

    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0, 0).data().toUInt(), 1u);
    QCOMPARE(model.index(0, 1).data().toUInt(), 1u);
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("Kivo Sim C1280"));
    QCOMPARE(model.index(0, 3).data().toString(), QString::fromLatin1(ColourSerial));
    QCOMPARE(status(model, 0), QStringLiteral("free"));
    QCOMPARE(status(model, 1), QStringLiteral("free"));
    // Held by another program.
    QCOMPARE(status(model, 2), QStringLiteral("in use"));
    QVERIFY(!model.index(0, 2).data(Qt::EditRole).isValid());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(select.count(), 1);
    QCOMPARE(select.at(0).at(0).toInt(), 0);
}

void TestCameraListModel::unchangedRefreshOnlySelectsRow()
{
    CameraListModel model(NoPoll);
    model.updateList();
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    model.updateList();
    QCOMPARE(changed.count() + data.count() + inserted.count() + removed.count(), 0);
    QCOMPARE(select.count(), 1);
    QCOMPARE(select.at(0).at(0).toInt(), 0);
}

void TestCameraListModel::unplugRemovesExactlyItsRow()
{
    CameraListModel model(NoPoll);
    model.updateList();
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);

    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    model.updateList();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 1);
    QCOMPARE(removed.at(0).at(2).toInt(), 1);
    QCOMPARE(deviceOrder(model), (QList<uint>{1, 3}));
    QCOMPARE(changed.count(), 1);
}

void TestCameraListModel::replugAppends()
{
    CameraListModel model(NoPoll);
    model.updateList();
    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    model.updateList();
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    QCOMPARE(KivoSimSetPlugged(MonoSerial, 1), 0);
    model.updateList();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 2);
    QCOMPARE(inserted.at(0).at(2).toInt(), 2);
    QCOMPARE(deviceOrder(model), (QList<uint>{1, 3, 2}));
}

void TestCameraListModel::inUseChangeUpdatesRowInPlace()
{
    CameraListModel model(NoPoll);
    model.updateList();
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged);

    QCOMPARE(KivoSimSetInUse(ColourSerial, 1), 0);
    model.updateList();
    QCOMPARE(data.count(), 1);
    QCOMPARE(data.at(0).at(0).toModelIndex(), model.index(0, 0));
    QCOMPARE(data.at(0).at(1).toModelIndex(), model.index(0, 4));
    QCOMPARE(status(model, 0), QStringLiteral("in use"));
    QCOMPARE(deviceOrder(model), (QList<uint>{1, 2, 3}));
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
    QCOMPARE(status(model, 0), QStringLiteral("in use"));
    model.updateList();
    QCOMPARE(status(model, 0), QStringLiteral("opened"));
    QCOMPARE(status(model, 1), QStringLiteral("free"));
    QCOMPARE(status(model, 2), QStringLiteral("in use"));

    model.clearOpenCamera();
    model.updateList();
    QCOMPARE(status(model, 0), QStringLiteral("in use"));
    camera.close();
    model.updateList();
    QCOMPARE(status(model, 0), QStringLiteral("free"));
}

void TestCameraListModel::noCameraLeft()
{
    CameraListModel model(NoPoll);
    model.updateList();
    QCOMPARE(KivoSimLoadWorld(R"({"cameras":[]})"), 0);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QSignalSpy select(&model, &CameraListModel::rowToSelect);

    model.updateList();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(removed.at(0).at(2).toInt(), 2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(select.count(), 1);

    model.updateList();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(select.count(), 2);
    QCOMPARE(select.at(1).at(0).toInt(), 0);
}

void TestCameraListModel::failedRefreshKeepsRows_data()
{
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<QString>("message");

    QTest::newRow("count") << QByteArray("CamCount")
                           << QStringLiteral("Can't get number of cameras.");
    QTest::newRow("list") << QByteArray("CamList") << QStringLiteral("Can't get camera list.");
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
    try {
        model.updateList();
        QFAIL("the refresh succeeded");
    } catch (const std::runtime_error& error) {
        QCOMPARE(QString::fromStdString(error.what()), message);
    }
    QCOMPARE(deviceOrder(model), (QList<uint>{1, 2, 3}));
    QCOMPARE(select.count(), 0);
}

void TestCameraListModel::timerRefreshes()
{
    CameraListModel model(20);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QVERIFY(changed.wait());
    QCOMPARE(model.rowCount(), 3);

    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    QVERIFY(changed.wait());
    QCOMPARE(deviceOrder(model), (QList<uint>{1, 3}));
}

void TestCameraListModel::timerFailureIsReported()
{
    CameraListModel model(20);
    QSignalSpy changed(&model, &CameraListModel::somethingChanged);
    QVERIFY(changed.wait());
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);

    QCOMPARE(KivoSimSetPlugged(MonoSerial, 0), 0);
    QCOMPARE(KivoSimInjectFault("CamList", 1, 5), 0);
    QVERIFY(errors.wait());
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Can't get camera list."));
    QCOMPARE(model.rowCount(), 3);
    // The next tick goes through again.
    QVERIFY(changed.wait());
    QCOMPARE(model.rowCount(), 2);
}

void TestCameraListModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<uint>>("devices");

    // Statuses: device 1 opened, 2 free, 3 in use.
    QTest::newRow("camera id ascending") << 0 << int(Qt::AscendingOrder) << QList<uint>{1, 2, 3};
    QTest::newRow("device id descending") << 1 << int(Qt::DescendingOrder) << QList<uint>{3, 2, 1};
    QTest::newRow("model ascending") << 2 << int(Qt::AscendingOrder) << QList<uint>{1, 3, 2};
    QTest::newRow("serial ascending") << 3 << int(Qt::AscendingOrder) << QList<uint>{2, 1, 3};
    QTest::newRow("status ascending") << 4 << int(Qt::AscendingOrder) << QList<uint>{2, 3, 1};
    QTest::newRow("status descending") << 4 << int(Qt::DescendingOrder) << QList<uint>{1, 3, 2};
}

void TestCameraListModel::sort()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QList<uint>, devices);

    Camera camera;
    QCOMPARE(KivoSimSetManualFrames(ColourSerial, 1), 0);
    camera.open(1);
    CameraListModel model(NoPoll);
    model.setOpenCamera(&camera);
    model.updateList();
    model.updateList();
    int layouts = 0;
    connect(&model, &QAbstractItemModel::layoutChanged, this, [&layouts] { ++layouts; });

    model.sort(column, static_cast<Qt::SortOrder>(order));
    QCOMPARE(deviceOrder(model), devices);
    QCOMPARE(layouts, 1);
}

void TestCameraListModel::sortKeepsPersistentIndexes()
{
    CameraListModel model(NoPoll);
    model.updateList();
    const QPersistentModelIndex colour = model.index(0, 3);
    model.sort(1, Qt::DescendingOrder);
    QCOMPARE(colour.row(), 2);
    QCOMPARE(colour.data().toString(), QString::fromLatin1(ColourSerial));
}

void TestCameraListModel::sortError_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");

    QTest::newRow("column past the last") << 5 << int(Qt::AscendingOrder);
    QTest::newRow("negative column") << -1 << int(Qt::DescendingOrder);
}

void TestCameraListModel::sortError()
{
    QFETCH(int, column);
    QFETCH(int, order);

    CameraListModel model(NoPoll);
    model.updateList();
    int layouts = 0;
    connect(&model, &QAbstractItemModel::layoutChanged, this, [&layouts] { ++layouts; });
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);

    model.sort(column, static_cast<Qt::SortOrder>(order));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Sort Error"));
    QCOMPARE(layouts, 0);
    QCOMPARE(deviceOrder(model), (QList<uint>{1, 2, 3}));
}

void TestCameraListModel::sortEmptyList()
{
    CameraListModel model(NoPoll);
    int layouts = 0;
    connect(&model, &QAbstractItemModel::layoutChanged, this, [&layouts] { ++layouts; });
    QSignalSpy errors(&model, &CameraListModel::errorOccurred);
    model.sort(7, Qt::AscendingOrder);
    QCOMPARE(layouts + errors.count(), 0);
}

QTEST_GUILESS_MAIN(TestCameraListModel)
#include "tst_cameralistmodel.moc"
