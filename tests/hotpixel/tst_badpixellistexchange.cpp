#include "badpixellistmodel.h"

#include "camera.h"
#include "hotpixelworld.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>

#include <memory>
#include <stdexcept>

using HotpixelWorld::CameraLists;
using HotpixelWorld::describe;
using HotpixelWorld::errorText;

namespace {

const char* const childArgument = "--print-camera-lists";

using Announcements = QList<QPair<int, int>>;

QPair<int, int> rowRange(const QList<QVariant>& signalArguments)
{
    return {signalArguments.at(1).toInt(), signalArguments.at(2).toInt()};
}

Announcements ranges(const QSignalSpy& spy)
{
    Announcements result;
    for (const QList<QVariant>& arguments : spy)
        result << rowRange(arguments);
    return result;
}

// Entries of classes the camera never reports, brought in as a text file.
void importEntries(BadpixelListModel& model, const QString& path, const QStringList& lines)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream(&file) << lines.join(QLatin1Char('\n')) << '\n';
    file.close();
    model.importFromFile(path);
}

QStringList ignoreEntries(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("%1 60 2").arg(i);
    return lines;
}

void addUserEntries(BadpixelListModel& model, int count)
{
    for (int i = 0; i < count; ++i)
        QVERIFY(model.addBadpixel(QPoint(i, 50)));
}

// The second process of the round trip: opens the camera and prints the
// lists it reads, one entry per line.
int printCameraLists(uint32_t deviceId, const QByteArray& serial)
{
    Camera camera;
    BadpixelListModel model;
    if (!HotpixelWorld::stopFrames(serial))
        return 1;
    try {
        camera.open(deviceId);
    } catch (const std::exception& error) {
        QTextStream(stderr) << error.what() << '\n';
        return 1;
    }
    model.getBadpixelList(&camera);
    QTextStream out(stdout);
    for (const QString& line : describe(model))
        out << line << '\n';
    return 0;
}

} // namespace

class TestBadpixelListExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readGivesFactoryThenUserEntries_data();
    void readGivesFactoryThenUserEntries();
    void readDropsEveryOldEntry();
    void readWithoutCameraOnlyEmptiesList();
    void refusedReadsLeaveListsOut_data();
    void refusedReadsLeaveListsOut();
    void failedCountQueriesKeepOldCounts_data();
    void failedCountQueriesKeepOldCounts();
    void unreadFactoryListStillCounts();
    void writeLimit_data();
    void writeLimit();
    void writeBeforeAnyReadFailsLimit();
    void writeSendsUserEntriesInRowOrder();
    void writeWithoutUserEntriesEmptiesCameraList();
    void refusedWrites_data();
    void refusedWrites();
    void writtenListSurvivesNewProcess();

private:
    // Loads the world and opens its first camera.
    bool openWorld(const QList<CameraLists>& cameras);

    std::unique_ptr<TestUtils::IsolatedEnvironment> env;
    std::unique_ptr<Camera> camera;
};

void TestBadpixelListExchange::initTestCase()
{
    qRegisterMetaType<QList<QPersistentModelIndex>>();
    qRegisterMetaType<QAbstractItemModel::LayoutChangeHint>();
}

void TestBadpixelListExchange::init()
{
    env = std::make_unique<TestUtils::IsolatedEnvironment>();
    camera = std::make_unique<Camera>();
}

void TestBadpixelListExchange::cleanup()
{
    camera.reset();
    KivoSimClearFaults();
    env.reset();
}

bool TestBadpixelListExchange::openWorld(const QList<CameraLists>& cameras)
{
    return HotpixelWorld::load(cameras) && HotpixelWorld::open(*camera, cameras.first().deviceId);
}

void TestBadpixelListExchange::readGivesFactoryThenUserEntries_data()
{
    QTest::addColumn<int>("factoryCount");
    QTest::addColumn<int>("userCount");
    QTest::addColumn<int>("maxUserCount");
    QTest::addColumn<bool>("factoryRead");
    QTest::addColumn<bool>("userRead");

    QTest::newRow("3 factory, 2 user") << 3 << 2 << 100 << true << true;
    QTest::newRow("no lists") << 0 << 0 << 100 << false << false;
    QTest::newRow("user list only") << 0 << 4 << 100 << false << true;
    QTest::newRow("1000 factory entries") << 1000 << 1 << 100 << true << true;
    QTest::newRow("1001 factory entries") << 1001 << 2 << 100 << false << true;
    QTest::newRow("1000 user entries") << 1 << 1000 << 1000 << true << true;
    QTest::newRow("1001 user entries") << 1 << 1001 << 1001 << true << false;
}

void TestBadpixelListExchange::readGivesFactoryThenUserEntries()
{
    QFETCH(int, factoryCount);
    QFETCH(int, userCount);
    QFETCH(int, maxUserCount);
    QFETCH(bool, factoryRead);
    QFETCH(bool, userRead);

    CameraLists lists;
    lists.factoryCount = factoryCount;
    lists.userCount = userCount;
    lists.maxUserCount = maxUserCount;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);

    model.getBadpixelList(camera.get());

    QStringList expected;
    Announcements announced;
    if (factoryRead) {
        expected << HotpixelWorld::factoryEntries(factoryCount);
        announced << qMakePair(0, factoryCount - 1);
    }
    if (userRead) {
        announced << qMakePair(expected.size(), expected.size() + userCount - 1);
        expected << HotpixelWorld::userEntries(userCount);
    }
    QCOMPARE(describe(model), expected);
    QCOMPARE(ranges(inserted), announced);
}

void TestBadpixelListExchange::readDropsEveryOldEntry()
{
    CameraLists lists;
    lists.factoryCount = 2;
    lists.userCount = 1;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    importEntries(model, env->path() + QStringLiteral("/old.txt"),
                  {QStringLiteral("1 1 1"), QStringLiteral("2 2 0"), QStringLiteral("3 3 2")});
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);

    model.getBadpixelList(camera.get());

    QCOMPARE(ranges(removed), (Announcements{{0, 2}}));
    QCOMPARE(describe(model), HotpixelWorld::factoryEntries(2) + HotpixelWorld::userEntries(1));
}

void TestBadpixelListExchange::readWithoutCameraOnlyEmptiesList()
{
    CameraLists lists;
    lists.factoryCount = 10;
    lists.userCount = 3;
    lists.maxUserCount = 100;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);

    model.getBadpixelList(nullptr);

    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(ranges(removed), (Announcements{{0, 12}}));
    QCOMPARE(inserted.count(), 0);
    // The camera's counts stay: 105 rows are 95 beyond the factory list of
    // 10, within the 100 the camera takes.
    importEntries(model, env->path() + QStringLiteral("/ignored.txt"), ignoreEntries(5));
    addUserEntries(model, 100);
    model.writeBadpixelList(camera.get());
    QCOMPARE(HotpixelWorld::eeprom(lists.serial).value(0), uint16_t(100));
}

void TestBadpixelListExchange::refusedReadsLeaveListsOut_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<bool>("factoryRead");
    QTest::addColumn<bool>("userRead");

    QTest::newRow("factory count query") << QByteArray("CamHotPixel:0x8107") << false << true;
    QTest::newRow("factory list") << QByteArray("CamHotPixel:0x8108") << false << true;
    QTest::newRow("user count query") << QByteArray("CamHotPixel:0x810A") << true << false;
    QTest::newRow("user list") << QByteArray("CamHotPixel:0x810B") << true << false;
    QTest::newRow("maximum user count query") << QByteArray("CamHotPixel:0x810D") << true << true;
}

void TestBadpixelListExchange::refusedReadsLeaveListsOut()
{
    QFETCH(QByteArray, fault);
    QFETCH(bool, factoryRead);
    QFETCH(bool, userRead);

    CameraLists lists;
    lists.factoryCount = 3;
    lists.userCount = 2;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    QCOMPARE(KivoSimInjectFault(fault.constData(), 1, 7), 0);

    model.getBadpixelList(camera.get());

    QStringList expected;
    if (factoryRead)
        expected << HotpixelWorld::factoryEntries(3);
    if (userRead)
        expected << HotpixelWorld::userEntries(2);
    QCOMPARE(describe(model), expected);
}

void TestBadpixelListExchange::failedCountQueriesKeepOldCounts_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("writeError");

    // The first camera takes 100 user entries and has 10 factory entries,
    // the second takes 5 and has none. Six user entries pass the limit only
    // when one of the first camera's numbers was kept, and then the second
    // camera refuses them.
    QTest::newRow("both queries work")
        << QByteArray() << QStringLiteral("Can't write more than 5 hot pixel entries.");
    QTest::newRow("maximum user count query fails")
        << QByteArray("CamHotPixel:0x810D") << QStringLiteral("Error writing hotpixel list");
    QTest::newRow("factory count query fails")
        << QByteArray("CamHotPixel:0x8107") << QStringLiteral("Error writing hotpixel list");
}

void TestBadpixelListExchange::failedCountQueriesKeepOldCounts()
{
    QFETCH(QByteArray, fault);
    QFETCH(QString, writeError);

    CameraLists first;
    first.factoryCount = 10;
    first.maxUserCount = 100;
    CameraLists second;
    second.serial = "HP0002";
    second.deviceId = 2;
    second.maxUserCount = 5;
    QVERIFY(openWorld({first, second}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    camera->open(second.deviceId);
    if (!fault.isEmpty())
        QCOMPARE(KivoSimInjectFault(fault.constData(), 1, 7), 0);
    model.getBadpixelList(camera.get());
    addUserEntries(model, 6);

    QCOMPARE(errorText([&] { model.writeBadpixelList(camera.get()); }), writeError);
    QCOMPARE(HotpixelWorld::eeprom(second.serial), QVector<uint16_t>{0});
}

void TestBadpixelListExchange::unreadFactoryListStillCounts()
{
    // A factory list too long to read still counts: 30 user entries and 120
    // ignored ones are 150 rows, far below the 1001 of the factory list.
    CameraLists lists;
    lists.factoryCount = 1001;
    lists.maxUserCount = 100;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    QCOMPARE(model.rowCount(), 0);
    importEntries(model, env->path() + QStringLiteral("/ignored.txt"), ignoreEntries(120));
    addUserEntries(model, 30);

    model.writeBadpixelList(camera.get());

    QCOMPARE(HotpixelWorld::eeprom(lists.serial).value(0), uint16_t(30));
}

void TestBadpixelListExchange::writeLimit_data()
{
    QTest::addColumn<int>("userCount");
    QTest::addColumn<int>("ignoreCount");
    QTest::addColumn<bool>("written");

    // 10 factory entries and room for 100 user entries.
    QTest::newRow("110 rows, all beyond the factory list user") << 100 << 0 << true;
    QTest::newRow("111 rows") << 100 << 1 << false;
    QTest::newRow("ignored entries count against the limit") << 50 << 51 << false;
    QTest::newRow("ignored entries within the limit") << 50 << 50 << true;
}

void TestBadpixelListExchange::writeLimit()
{
    QFETCH(int, userCount);
    QFETCH(int, ignoreCount);
    QFETCH(bool, written);

    CameraLists lists;
    lists.factoryCount = 10;
    lists.userCount = 3;
    lists.maxUserCount = 100;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    model.clearUserBadpixelList();
    if (ignoreCount > 0)
        importEntries(model, env->path() + QStringLiteral("/ignored.txt"),
                      ignoreEntries(ignoreCount));
    addUserEntries(model, userCount);
    const QStringList before = describe(model);

    const QString error = errorText([&] { model.writeBadpixelList(camera.get()); });

    QCOMPARE(error,
             written ? QString() : QStringLiteral("Can't write more than 100 hot pixel entries."));
    QCOMPARE(HotpixelWorld::eeprom(lists.serial).value(0), uint16_t(written ? userCount : 3));
    QCOMPARE(describe(model), before);
}

void TestBadpixelListExchange::writeBeforeAnyReadFailsLimit()
{
    CameraLists lists;
    lists.userCount = 2;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.addBadpixel(QPoint(1, 1));

    QCOMPARE(errorText([&] { model.writeBadpixelList(camera.get()); }),
             QStringLiteral("Can't write more than 0 hot pixel entries."));
    QCOMPARE(HotpixelWorld::eeprom(lists.serial).value(0), uint16_t(2));
}

void TestBadpixelListExchange::writeSendsUserEntriesInRowOrder()
{
    CameraLists lists;
    lists.factoryCount = 1;
    lists.userCount = 4;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    importEntries(model, env->path() + QStringLiteral("/list.txt"),
                  {QStringLiteral("5 6 1"), QStringLiteral("9 9 2"), QStringLiteral("7 8 1")});
    const QStringList before = describe(model);
    QSignalSpy layoutChanged(&model, &BadpixelListModel::layoutChanged);

    model.writeBadpixelList(camera.get());

    QCOMPARE(HotpixelWorld::eeprom(lists.serial), (QVector<uint16_t>{2, 5, 6, 7, 8}));
    QCOMPARE(describe(model), before);
    QCOMPARE(layoutChanged.count(), 0);
}

void TestBadpixelListExchange::writeWithoutUserEntriesEmptiesCameraList()
{
    CameraLists lists;
    lists.factoryCount = 2;
    lists.userCount = 3;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    importEntries(model, env->path() + QStringLiteral("/ignored.txt"), ignoreEntries(3));

    model.writeBadpixelList(camera.get());

    QCOMPARE(HotpixelWorld::eeprom(lists.serial), QVector<uint16_t>{0});
}

void TestBadpixelListExchange::refusedWrites_data()
{
    QTest::addColumn<int>("userCount");
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<bool>("written");

    // Each list goes with its own command: a fault on the other one is never
    // seen.
    QTest::newRow("user entries, write refused") << 2 << QByteArray("CamHotPixel:0x810C") << false;
    QTest::newRow("user entries, delete refused") << 2 << QByteArray("CamHotPixel:0x810E") << true;
    QTest::newRow("no user entries, delete refused")
        << 0 << QByteArray("CamHotPixel:0x810E") << false;
    QTest::newRow("no user entries, write refused")
        << 0 << QByteArray("CamHotPixel:0x810C") << true;
}

void TestBadpixelListExchange::refusedWrites()
{
    QFETCH(int, userCount);
    QFETCH(QByteArray, fault);
    QFETCH(bool, written);

    CameraLists lists;
    lists.userCount = 3;
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    model.clearUserBadpixelList();
    addUserEntries(model, userCount);
    const QVector<uint16_t> before = HotpixelWorld::eeprom(lists.serial);
    QCOMPARE(KivoSimInjectFault(fault.constData(), 1, 7), 0);

    const QString error = errorText([&] { model.writeBadpixelList(camera.get()); });

    QCOMPARE(error, written ? QString() : QStringLiteral("Error writing hotpixel list"));
    QCOMPARE(HotpixelWorld::eeprom(lists.serial).value(0),
             written ? uint16_t(userCount) : before.value(0));
    QCOMPARE(model.rowCount(), userCount);
}

void TestBadpixelListExchange::writtenListSurvivesNewProcess()
{
    CameraLists lists;
    lists.factoryCount = 3;
    lists.userCount = 2;
    const QString worldFile = env->path() + QStringLiteral("/world.json");
    {
        QFile file(worldFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(HotpixelWorld::json({lists}));
    }
    QVERIFY(openWorld({lists}));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    model.clearUserBadpixelList();
    addUserEntries(model, 4);
    model.writeBadpixelList(camera.get());
    const QStringList written = describe(model);
    camera->close();

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KIVO_SIM_CONFIG"), worldFile);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(childArgument), QString::number(lists.deviceId),
                 QString::fromLatin1(lists.serial)});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitCode() == 0, child.readAllStandardError().constData());

    const QStringList read = QString::fromUtf8(child.readAllStandardOutput())
                                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(read, written);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], childArgument) == 0)
        return printCameraLists(QByteArray(argv[2]).toUInt(), argv[3]);
    TestBadpixelListExchange test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_badpixellistexchange.moc"
