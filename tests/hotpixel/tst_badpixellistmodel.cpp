#include "badpixellistmodel.h"

#include "camera.h"
#include "camstatus.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>

#include <csignal>
#include <memory>

#include <sys/resource.h>

using TestUtils::errorText;

namespace {

using Ranges = QList<QPair<int, int>>;
using Words = QVector<uint16_t>;
const Words presetDriverList{2, 100, 10, 101, 11};

// A camera of a 256 x 64 sensor: factory entry i lies at (i % 256, i / 256),
// user entry i at (i % 256, 32 + i / 256).
struct Lists
{
    int factory = 0;
    int user = 0;
    int maxUser = 100;
};

QByteArray serial(int device)
{
    return "HP000" + QByteArray::number(device);
}

QByteArray pairs(int count, int row)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list << "[" + QByteArray::number(i % 256) + "," + QByteArray::number(row + i / 256) + "]";
    return "[" + list.join(',') + "]";
}

// Camera i has device id i + 1.
QByteArray world(const QList<Lists>& cameras)
{
    QByteArrayList list;
    for (int i = 0; i < cameras.size(); ++i)
        list << R"({"serial":")" + serial(i + 1) + R"(","model":"HP","deviceId":)" +
                    QByteArray::number(i + 1) + R"(,"width":256,"height":64,"maxUserCount":)" +
                    QByteArray::number(cameras[i].maxUser) + R"(,"factoryList":)" +
                    pairs(cameras[i].factory, 0) + R"(,"userList":)" + pairs(cameras[i].user, 32) +
                    "}";
    return R"({"cameras":[)" + list.join(',') + "]}";
}

// Entries i = 0 to count - 1 at (i % 256, row + i / 256) as "x y class".
QStringList entries(int count, int row, int pixelclass)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("%1 %2 %3").arg(i % 256).arg(row + i / 256).arg(pixelclass);
    return list;
}

// The list buffer of the entries: n, then n pairs.
Words buffer(int count, int row)
{
    Words words{uint16_t(count)};
    for (int i = 0; i < count; ++i)
        words << uint16_t(i % 256) << uint16_t(row + i / 256);
    return words;
}

// The lines of a text file holding the entries.
QString lines(const QStringList& entries)
{
    QString text;
    for (const QString& entry : entries)
        text += entry + QLatin1Char('\n');
    return text;
}

// "x y class, x y class", so that a failing comparison shows the whole list.
QString describe(const BadpixelListModel& model)
{
    QStringList list;
    for (const Badpixel& entry : model.badpixelList())
        list << QStringLiteral("%1 %2 %3").arg(entry.x).arg(entry.y).arg(entry.pixelclass);
    return list.join(QLatin1String(", "));
}

// Makes the next CamHotPixel call of the command fail with status 7, or with
// "0x8103@1" the one after next; any text other than a command makes nothing
// fail.
bool refuse(const QString& command)
{
    const QByteArray operation =
        "CamHotPixel:" + command.section(QLatin1Char('@'), 0, 0).toLatin1();
    const int skip = command.section(QLatin1Char('@'), 1).toInt();
    return !command.startsWith(QLatin1String("0x")) ||
           KivoSimInjectFaultAfter(operation.constData(), skip, 1, 7) == 0;
}

// What a write says while the camera's user list is not in the model.
QString unreadRefusal(const QString& reason)
{
    return reason + QStringLiteral(" Writing is refused so that the entries the camera holds are "
                                   "not lost; close and open the camera to read its list again.");
}

const QString notRead = QStringLiteral("The camera's user hot pixel list has not been read.");

Ranges ranges(const QSignalSpy& spy)
{
    Ranges result;
    for (const QList<QVariant>& arguments : spy)
        result << qMakePair(arguments.at(1).toInt(), arguments.at(2).toInt());
    return result;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The camera's user list as its EEPROM holds it: n, then n pairs.
Words eeprom(int device)
{
    Words words(2 * 65535 + 1);
    const int count = KivoSimReadEeprom(serial(device).constData(), words.data(), words.size());
    words.resize(count < 0 ? 0 : 2 * count + 1);
    return words;
}

// The library's own list as CamHotPixel gives it; the single word 0 for none.
Words driverList(uint32_t handle)
{
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS)
        return {0};
    int32_t count = 0;
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_COUNT, &count, sizeof count) != CAM_SUCCESS)
        return {};
    Words words(2 * count + 1);
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_GET, words.data(), 2 * words.size()) != CAM_SUCCESS)
        return {};
    return words;
}

// Exports while the process may write no file beyond 100 bytes, the way a
// full disk stops a write part way.
QString exportOnFullDisk(BadpixelListModel& model, const QString& file)
{
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit lowered = old;
    lowered.rlim_cur = 100;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lowered);
    const QString error = errorText([&] { model.exportAsFile(file); });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    return error;
}

} // namespace

class TestBadpixelListModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void addBadpixel_data();
    void addBadpixel();
    void freshModel();
    void setDataRules_data();
    void setDataRules();
    void findBadpixel_data();
    void findBadpixel();
    void deleteAndClear();
    void sort_data();
    void sort();

    void read_data();
    void read();
    void write_data();
    void write();

    void exportAndImportAgain_data();
    void exportAndImportAgain();
    void failedExportKeepsOldFile();
    void import_data();
    void import();
    void save_data();
    void save();
    void load_data();
    void load();

private:
    QString path(const QString& name) const { return env->path() + QLatin1Char('/') + name; }
    void import(BadpixelListModel& model, const QString& text);
    // Loads the cameras, which produce no frames, and opens the first; the
    // error text on a failure.
    QString openWorld(const QList<Lists>& cameras);
    // A camera with two factory entries whose library holds presetDriverList.
    QString openFileCamera(bool preset);

    std::unique_ptr<TestUtils::IsolatedEnvironment> env;
    std::unique_ptr<Camera> camera;
};

void TestBadpixelListModel::initTestCase()
{
    qRegisterMetaType<QList<QPersistentModelIndex>>();
    qRegisterMetaType<QAbstractItemModel::LayoutChangeHint>();
}

void TestBadpixelListModel::init()
{
    env = std::make_unique<TestUtils::IsolatedEnvironment>();
}

void TestBadpixelListModel::cleanup()
{
    camera.reset();
    KivoSimClearFaults();
    env.reset();
}

void TestBadpixelListModel::import(BadpixelListModel& model, const QString& text)
{
    QVERIFY(TestUtils::writeFile(path(QStringLiteral("import.txt")), text.toLatin1()));
    model.importFromFile(path(QStringLiteral("import.txt")));
}

QString TestBadpixelListModel::openWorld(const QList<Lists>& cameras)
{
    if (KivoSimLoadWorld(world(cameras).constData()) != 0)
        return QString::fromUtf8(KivoSimLastMessage());
    for (int device = 1; device <= cameras.size(); ++device)
        KivoSimSetManualFrames(serial(device).constData(), 1);
    camera = std::make_unique<Camera>();
    return errorText([this] { camera->open(1); });
}

QString TestBadpixelListModel::openFileCamera(bool preset)
{
    const QString error = openWorld({{2, 0, 100}});
    Words words = presetDriverList;
    if (error.isEmpty() && preset &&
        CamHotPixel(camera->cameraHandle(), CAM_HP_DRIVER_LIST_SET, words.data(),
                    2 * words.size()) != CAM_SUCCESS)
        return QStringLiteral("driver list not set");
    return error;
}

void TestBadpixelListModel::addBadpixel_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("added");

    QTest::newRow("position of a factory entry") << "4 5 0" << QPoint(4, 5) << "";
    QTest::newRow("position of a user entry") << "4 5 1" << QPoint(4, 5) << "";
    QTest::newRow("position of an ignored entry") << "4 5 2" << QPoint(4, 5) << ", 4 5 1";
    QTest::newRow("same after 16-bit truncation") << "4 5 1" << QPoint(65540, 65541) << "";
    QTest::newRow("stored as 16 bits") << "4 5 1" << QPoint(70000, -1) << ", 4464 65535 1";
}

void TestBadpixelListModel::addBadpixel()
{
    QFETCH(QString, existing);
    QFETCH(QPoint, position);
    QFETCH(QString, added);

    BadpixelListModel model;
    import(model, existing);
    QSignalSpy pixelAdded(&model, &BadpixelListModel::pixelAdded);
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);

    QCOMPARE(model.addBadpixel(position), !added.isEmpty());

    QCOMPARE(describe(model), existing + added);
    QCOMPARE(ranges(inserted), added.isEmpty() ? Ranges() : (Ranges{{1, 1}}));
    QCOMPARE(pixelAdded.count(), inserted.count());
    if (!added.isEmpty())
        QCOMPARE(pixelAdded.first().first().toInt(), 1);
}

void TestBadpixelListModel::freshModel()
{
    BadpixelListModel model;
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    model.sort(7, Qt::AscendingOrder); // an empty list is left alone
    QCOMPARE(layout.count(), 0);
    model.addBadpixel(QPoint(12, 34));
    // Until a camera's lists were read, the camera takes no entry.
    QCOMPARE(errorText([&] { model.writeBadpixelList(nullptr); }), unreadRefusal(notRead));
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);
    QVERIFY(model.insertRows(0, 1));
    QCOMPARE(ranges(inserted), (Ranges{{0, 0}}));
    QCOMPARE(describe(model), QStringLiteral("0 0 1, 12 34 1"));

    QCOMPARE(model.data(model.index(1, 0)), QVariant(12));
    QCOMPARE(model.data(model.index(1, 2), Qt::EditRole), QVariant(QStringLiteral("user")));
    QVERIFY(!model.data(model.index(1, 1), Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
    QCOMPARE(model.headerData(2, Qt::Horizontal), QVariant(QStringLiteral("class")));
    QCOMPARE(model.headerData(1, Qt::Vertical), QVariant(1));
}

void TestBadpixelListModel::setDataRules_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVariant>("shown");

    const QVariant user(QStringLiteral("user"));
    const QVariant factory(QStringLiteral("factory"));
    QTest::newRow("x truncated") << 0 << QVariant(70000) << true << QVariant(4464);
    QTest::newRow("y from text") << 1 << QVariant(QStringLiteral("17")) << true << QVariant(17);
    QTest::newRow("x not a number")
        << 0 << QVariant(QStringLiteral("seven")) << false << QVariant(1);
    QTest::newRow("factory accepted") << 2 << factory << true << factory;
    QTest::newRow("ignore refused") << 2 << QVariant(QStringLiteral("ignore")) << false << user;
    QTest::newRow("other case refused")
        << 2 << QVariant(QStringLiteral("Factory")) << false << user;
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
    if (accepted)
        QCOMPARE(changed.first().mid(0, 2), (QVariantList{index, index}));
    QVERIFY(!model.setData(model.index(0, 3), value));
}

void TestBadpixelListModel::findBadpixel_data()
{
    QTest::addColumn<QList<QPoint>>("positions");
    QTest::addColumn<int>("radius");
    QTest::addColumn<int>("row");

    QTest::newRow("exact, radius 1") << QList<QPoint>{{10, 10}} << 1 << 0;
    QTest::newRow("one off, radius 1") << QList<QPoint>{{11, 10}} << 1 << -1;
    QTest::newRow("6 and 6 off, radius 7") << QList<QPoint>{{16, 4}} << 7 << 0;
    QTest::newRow("7 off in x, radius 7") << QList<QPoint>{{17, 10}} << 7 << -1;
    QTest::newRow("7 off in y, radius 7") << QList<QPoint>{{10, 3}} << 7 << -1;
    QTest::newRow("lowest row, not nearest") << QList<QPoint>{{15, 15}, {10, 10}} << 7 << 0;
}

void TestBadpixelListModel::findBadpixel()
{
    QFETCH(QList<QPoint>, positions);
    QFETCH(int, radius);
    QFETCH(int, row);

    BadpixelListModel model;
    for (const QPoint& position : positions)
        model.addBadpixel(position);
    const QModelIndex index = model.findBadpixel(10, 10, radius);
    QCOMPARE(index.row(), row);
    QCOMPARE(index.column(), row < 0 ? -1 : 0);
}

void TestBadpixelListModel::deleteAndClear()
{
    BadpixelListModel model;
    QVERIFY(!model.deleteUserBadpixel(0));
    import(model, QStringLiteral("1 1 1\n2 2 0\n3 3 1\n4 4 2\n5 5 1\n"));
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);

    for (int row : {-1, 1, 3, 5})
        QVERIFY2(!model.deleteUserBadpixel(row), qPrintable(QString::number(row)));
    QVERIFY(model.deleteUserBadpixel(2));
    // Clearing the user entries announces each removal on its own.
    model.clearUserBadpixelList();
    QCOMPARE(describe(model), QStringLiteral("2 2 0, 4 4 2"));
    QCOMPARE(ranges(removed), (Ranges{{2, 2}, {0, 0}, {2, 2}}));

    removed.clear();
    model.clearBadpixelList();
    model.clearBadpixelList();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(ranges(removed), (Ranges{{0, 1}}));
}

void TestBadpixelListModel::sort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("shown");

    QTest::newRow("x ascending") << 0 << int(Qt::AscendingOrder) << "1 2 3";
    QTest::newRow("x descending") << 0 << int(Qt::DescendingOrder) << "3 2 1";
    QTest::newRow("y ascending") << 1 << int(Qt::AscendingOrder) << "10 20 30";
    QTest::newRow("class ascending") << 2 << int(Qt::AscendingOrder) << "factory user user";
    QTest::newRow("class descending") << 2 << int(Qt::DescendingOrder) << "user user factory";
    QTest::newRow("unknown column") << 3 << int(Qt::AscendingOrder) << "Sort Error";
}

void TestBadpixelListModel::sort()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QString, shown);

    BadpixelListModel model;
    import(model, QStringLiteral("2 30 1\n3 10 1\n1 20 0\n"));
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);

    const QString error = errorText([&] { model.sort(column, Qt::SortOrder(order)); });

    // The sorted column as shown, or the error, after which nothing changed.
    QStringList sorted;
    for (int row = 0; row < model.rowCount(); ++row)
        sorted << model.data(model.index(row, column)).toString();
    QCOMPARE(error.isEmpty() ? sorted.join(QLatin1Char(' ')) : error, shown);
    QCOMPARE(layout.count(), error.isEmpty() ? 1 : 0);
}

void TestBadpixelListModel::read_data()
{
    QTest::addColumn<int>("factory");
    QTest::addColumn<int>("user");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("factoryRead");
    QTest::addColumn<QString>("userError");

    const QString refused = QStringLiteral("The camera's user hot pixel list could not be read "
                                           "(status 7).");
    QTest::newRow("3 factory, 2 user") << 3 << 2 << "" << true << "";
    QTest::newRow("no lists") << 0 << 0 << "" << false << "";
    QTest::newRow("1000 factory entries") << 1000 << 1 << "" << true << "";
    QTest::newRow("1001 factory entries") << 1001 << 2 << "" << false << "";
    QTest::newRow("1000 user entries") << 1 << 1000 << "" << true << "";
    QTest::newRow("camera holding 1001 user entries") << 1 << 1001 << "" << true << "";
    QTest::newRow("camera holding 4000 user entries") << 1 << 4000 << "" << true << "";
    QTest::newRow("factory count refused") << 3 << 2 << "0x8107" << false << "";
    QTest::newRow("factory list refused") << 3 << 2 << "0x8108" << false << "";
    QTest::newRow("user count refused") << 3 << 2 << "0x810A" << true << refused;
    QTest::newRow("user list refused") << 3 << 2 << "0x810B" << true << refused;
    QTest::newRow("maximum unknown, more than 0 entries")
        << 3 << 2 << "0x810D" << true
        << "The camera reports 2 user hot pixel entries but holds at most 0, so its user hot "
           "pixel list could not be read.";
    QTest::newRow("no camera") << 3 << 2 << "no camera" << false << notRead;
}

void TestBadpixelListModel::read()
{
    QFETCH(int, factory);
    QFETCH(int, user);
    QFETCH(QString, fault);
    QFETCH(bool, factoryRead);
    QFETCH(QString, userError);

    QCOMPARE(openWorld({{factory, user, qMax(user, 100)}}), QString());
    BadpixelListModel model;
    import(model, QStringLiteral("1 1 1\n2 2 0\n3 3 2\n"));
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);
    QVERIFY(refuse(fault));

    model.getBadpixelList(fault == "no camera" ? nullptr : camera.get());

    const bool userRead = userError.isEmpty();
    const int factoryRows = factoryRead ? factory : 0;
    const QStringList users = entries(userRead ? user : 0, 32, User);
    QCOMPARE(describe(model), (entries(factoryRows, 0, Factory) + users).join(", "));
    QCOMPARE(ranges(removed), (Ranges{{0, 2}}));
    Ranges announced;
    if (factoryRead)
        announced << qMakePair(0, factory - 1);
    if (userRead && user > 0)
        announced << qMakePair(factoryRows, factoryRows + user - 1);
    QCOMPARE(ranges(inserted), announced);
    QCOMPARE(model.userListReadError(), userError);

    // Written back, the camera's list stays whole; a list not read whole is
    // not written over.
    QCOMPARE(errorText([&] { model.writeBadpixelList(camera.get()); }),
             userRead ? QString() : unreadRefusal(userError));
    QCOMPARE(eeprom(1), buffer(user, 32));
}

void TestBadpixelListModel::write_data()
{
    QTest::addColumn<int>("factory");
    QTest::addColumn<int>("maxUser");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("error");
    QTest::addColumn<Words>("stored");

    // The camera under test holds 4 user entries. Before it, the model reads
    // one that has 10 factory entries and takes 100 user entries.
    const QStringList users{"5 6 1", "9 9 2", "7 8 1"};
    const QStringList noUsers{"9 9 2"};
    const QStringList six = entries(6, 50, User);
    const Words usersWritten{2, 5, 6, 7, 8}; // taken only with their size of 10 bytes
    const Words kept = buffer(4, 32);
    const QString over100 = QStringLiteral("Can't write more than 100 hot pixel entries.");
    const QString refused = QStringLiteral("Error writing hotpixel list");
    QTest::newRow("user entries in row order") << 10 << 100 << "" << users << "" << usersWritten;
    QTest::newRow("no user entries empty the list") << 10 << 100 << "" << noUsers << "" << Words{0};
    QTest::newRow("list write refused") << 10 << 100 << "0x810C" << users << refused << kept;
    QTest::newRow("emptying refused") << 10 << 100 << "0x810E" << noUsers << refused << kept;
    QTest::newRow("110 rows, 100 past the factory list")
        << 10 << 100 << "" << entries(100, 50, User) << "" << buffer(100, 50);
    QTest::newRow("111 rows, one ignored")
        << 10 << 100 << "" << entries(1, 60, Ignore) + entries(100, 50, User) << over100 << kept;
    QTest::newRow("unread factory list of 1001 counts")
        << 1001 << 100 << "" << entries(120, 60, Ignore) + entries(30, 50, User) << ""
        << buffer(30, 50);
    QTest::newRow("limit of the camera read last")
        << 0 << 5 << "" << six << "Can't write more than 5 hot pixel entries." << kept;
    // What a refused query or no camera leaves lets the entries pass the
    // limit, and the camera refuses them.
    QTest::newRow("maximum query refused") << 0 << 5 << "0x810D" << six << refused << kept;
    QTest::newRow("factory count refused") << 0 << 5 << "0x8107" << six << refused << kept;
    QTest::newRow("no camera read last")
        << 0 << 5 << "no camera" << six << unreadRefusal(notRead) << kept;
    QTest::newRow("3000 user entries, camera takes 4000")
        << 0 << 4000 << "" << entries(3000, 50, User) << "" << buffer(3000, 50);
}

void TestBadpixelListModel::write()
{
    QFETCH(int, factory);
    QFETCH(int, maxUser);
    QFETCH(QString, fault);
    QFETCH(QStringList, list);
    QFETCH(QString, error);
    QFETCH(Words, stored);

    QCOMPARE(openWorld({{10, 0, 100}, {factory, 4, maxUser}}), QString());
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    QCOMPARE(errorText([this] { camera->open(2); }), QString());
    QVERIFY(refuse(fault));
    model.getBadpixelList(fault == "no camera" ? nullptr : camera.get());
    import(model, lines(list));
    const QString before = describe(model);
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);

    QCOMPARE(errorText([&] { model.writeBadpixelList(camera.get()); }), error);

    QCOMPARE(eeprom(2), stored);
    QCOMPARE(describe(model), before);
    QCOMPARE(layout.count(), 0);
}

void TestBadpixelListModel::exportAndImportAgain_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("list");

    QTest::newRow("user entries among others")
        << QByteArray("3 4 1\n10 20 1\n") << QStringList{"3 4 1", "5 5 0", "9 9 2", "10 20 1"};
    QTest::newRow("largest coordinates")
        << QByteArray("65535 65534 1\n") << QStringList{"65535 65534 1"};
    QTest::newRow("no user entries") << QByteArray() << QStringList{"5 5 0"};
    QTest::newRow("empty list") << QByteArray() << QStringList();
}

void TestBadpixelListModel::exportAndImportAgain()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, list);

    const QString file = path(QStringLiteral("list.txt"));
    QVERIFY(TestUtils::writeFile(file, QByteArray("a longer old file\n").repeated(20)));
    BadpixelListModel model;
    import(model, lines(list));

    model.exportAsFile(file);

    QCOMPARE(readAll(file), text);
    QCOMPARE(describe(model), list.join(", "));
    // The user entries come back after the others, with no duplicate.
    model.importFromFile(file);
    QStringList users;
    QStringList others;
    for (const QString& entry : list)
        (entry.endsWith(QLatin1String(" 1")) ? users : others) << entry;
    QCOMPARE(describe(model), (others + users).join(", "));
}

void TestBadpixelListModel::failedExportKeepsOldFile()
{
    BadpixelListModel model;
    for (int x = 0; x < 200; ++x)
        model.addBadpixel(QPoint(x, 1000));
    QCOMPARE(errorText([&] { model.exportAsFile(path(QStringLiteral("no folder/list.txt"))); }),
             QStringLiteral("Can't open file for writing."));

    const QString file = path(QStringLiteral("list.txt"));
    QVERIFY(TestUtils::writeFile(file, "7 7 1\n"));
    const QString error = exportOnFullDisk(model, file);
    QVERIFY2(error.startsWith(QStringLiteral("Can't write file: ")) && error.size() > 18,
             qPrintable(error));
    QCOMPARE(readAll(file), QByteArray("7 7 1\n"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(env->path()).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")});
}

void TestBadpixelListModel::import_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("error");

    const QString none;
    QTest::newRow("lf line ends") << QByteArray("3 4 1\n10 20 1\n") << "3 4 1, 10 20 1" << none;
    QTest::newRow("crlf line ends")
        << QByteArray("3 4 1\r\n10 20 1\r\n") << "3 4 1, 10 20 1" << none;
    QTest::newRow("last line without line end")
        << QByteArray("3 4 1\n10 20 1") << "3 4 1, 10 20 1" << none;
    QTest::newRow("empty file") << QByteArray("") << "" << none;
    QTest::newRow("blank lines skipped")
        << QByteArray("3 4 1\n \n10 20 1\r\n\r\n") << "3 4 1, 10 20 1" << none;
    QTest::newRow("hexadecimal and octal") << QByteArray("0x1F 010 0X2\n") << "31 8 2" << none;
    QTest::newRow("tabs and repeated blanks") << QByteArray("  7\t 8   1\n") << "7 8 1" << none;
    QTest::newRow("unknown class code") << QByteArray("1 2 7\n") << "1 2 7" << none;
    QTest::newRow("positions already listed")
        << QByteArray("5 5 0\n5 5 0\n") << "5 5 0, 5 5 0" << none;
    // Any wrong line: the list stays as it was, the message names the line.
    const QString line1 = QStringLiteral("Line 1 is not a hot pixel entry");
    QTest::newRow("numbers above 16 and 8 bits") << QByteArray("70000 5 1\n") << "" << line1;
    QTest::newRow("class above 8 bits") << QByteArray("7 5 256\n") << "" << line1;
    QTest::newRow("trailing text") << QByteArray("7 8 2 seen twice\n") << "" << line1;
    QTest::newRow("missing class") << QByteArray("5 6\n") << "" << line1;
    QTest::newRow("negative number") << QByteArray("-5 6 1\n") << "" << line1;
    QTest::newRow("text after good lines")
        << QByteArray("1 2 1\n\nhello world\n") << ""
        << "Line 3 is not a hot pixel entry \"x y class\":\nhello world\nNothing was imported.";
    QTest::newRow("missing file") << QByteArray() << ""
                                  << "Can't open file for reading.";
}

void TestBadpixelListModel::import()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, entries);
    QFETCH(QString, error);

    const QString file = path(QStringLiteral("list.txt"));
    if (!text.isNull())
        QVERIFY(TestUtils::writeFile(file, text));
    BadpixelListModel model;
    import(model, QStringLiteral("1 1 1\n5 5 0\n9 9 2\n"));
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);

    const QString reported = errorText([&] { model.importFromFile(file); });
    QVERIFY2(error.isEmpty() ? reported.isEmpty() : reported.startsWith(error),
             qPrintable(reported));

    // The user entries are replaced only by a file read completely.
    QStringList expected{"5 5 0", "9 9 2"};
    if (!error.isEmpty())
        expected.prepend(QStringLiteral("1 1 1"));
    else if (!entries.isEmpty())
        expected << entries;
    QCOMPARE(describe(model), expected.join(", "));
    QCOMPARE(layout.count(), error.isEmpty() ? 1 : 0);
}

void TestBadpixelListModel::save_data()
{
    QTest::addColumn<bool>("preset");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("error");
    QTest::addColumn<Words>("driverListAfter");

    const Words before = presetDriverList;
    const QString refused = QStringLiteral("write to file failed with 7\n");
    QTest::newRow("library holds a list") << true << "" << true << "" << before;
    QTest::newRow("library holds none") << false << "" << true << "" << Words{0};
    QTest::newRow("list query refused counts as none")
        << true << "0x8100" << true << "" << Words{0};
    QTest::newRow("count refused") << true << "0x8101" << true << refused << before;
    QTest::newRow("list read refused") << true << "0x8102" << true << refused << before;
    QTest::newRow("list set refused") << true << "0x8103" << true << refused << before;
    QTest::newRow("file save refused") << true << "0x8111" << true << refused << before;
    QTest::newRow("file cannot be written")
        << true << "" << false
        << QStringLiteral("write to file failed with %1\n").arg(kivo::StatusFileError) << before;
    QTest::newRow("restore refused after the file was written")
        << true << "0x8103@1" << true
        << "The hot pixel list was written to the file, but the camera library's own list could "
           "not be put back (status 7)."
        << Words{1, 5, 6};
}

void TestBadpixelListModel::save()
{
    QFETCH(bool, preset);
    QFETCH(QString, fault);
    QFETCH(bool, writable);
    QFETCH(QString, error);
    QFETCH(Words, driverListAfter);

    QCOMPARE(openFileCamera(preset), QString());
    BadpixelListModel model;
    import(model, QStringLiteral("9 9 0\n5 6 1\n"));
    const QString file =
        path(writable ? QStringLiteral("list.bin") : QStringLiteral("no/list.bin"));
    QVERIFY(refuse(fault));

    QCOMPARE(errorText([&] { model.saveAsFile(camera.get(), file); }), error);

    QCOMPARE(QFileInfo::exists(file), !error.startsWith(QLatin1String("write to file failed")));
    QCOMPARE(driverList(camera->cameraHandle()), driverListAfter);
    QCOMPARE(describe(model), QStringLiteral("9 9 0, 5 6 1"));
}

void TestBadpixelListModel::load_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<Words>("driverListAfter");

    const Words before = presetDriverList;
    const auto failed = [](int status) {
        return QStringLiteral("load from file failed with %1\n").arg(status);
    };
    const QString format = failed(kivo::StatusFileFormat);
    QTest::newRow("empty list") << 0 << ""
                                << "" << true << before;
    QTest::newRow("one pair") << 1 << ""
                              << "" << true << before;
    QTest::newRow("1500 pairs") << 1500 << ""
                                << "" << true << before;
    QTest::newRow("missing file") << 3 << "remove" << failed(kivo::StatusFileError) << false
                                  << before;
    QTest::newRow("corrupt file") << 3 << "flip" << format << false << before;
    QTest::newRow("list query refused counts as none") << 2 << "0x8100"
                                                       << "" << true << Words{0};
    QTest::newRow("count refused") << 2 << "0x8101" << failed(7) << false << before;
    QTest::newRow("list read refused") << 2 << "0x8102" << failed(7) << false << before;
    QTest::newRow("file load refused") << 2 << "0x8112" << failed(7) << false << before;
    // After the file was taken, every refusal is a failure and the library's
    // list is put back.
    QTest::newRow("loaded list query refused") << 2 << "0x8100@1" << failed(7) << false << before;
    QTest::newRow("loaded count refused") << 2 << "0x8101@1" << failed(7) << false << before;
    // The file's entries stay although the library keeps the file's list.
    QTest::newRow("restore refused")
        << 2 << "0x8103"
        << "The hot pixel list was loaded from the file, but the camera library's own list could "
           "not be put back (status 7)."
        << true << buffer(2, 32);
}

void TestBadpixelListModel::load()
{
    QFETCH(int, count);
    QFETCH(QString, trouble);
    QFETCH(QString, error);
    QFETCH(bool, loaded);
    QFETCH(Words, driverListAfter);

    QCOMPARE(openFileCamera(true), QString());
    const QString file = path(QStringLiteral("list.bin"));
    BadpixelListModel model;
    import(model, lines(QStringList{"9 9 0"} + entries(count, 32, User) + QStringList{"8 8 2"}));
    model.saveAsFile(camera.get(), file);
    QByteArray bytes = readAll(file);
    // Other damage takes the same road; the library's own suite covers its kinds.
    if (trouble == "flip")
        bytes[14] = char(bytes.at(14) ^ 0x40);
    QVERIFY(trouble == "remove" ? QFile::remove(file) : TestUtils::writeFile(file, bytes));
    model.getBadpixelList(camera.get());
    import(model, QStringLiteral("1 1 1\n4 4 2\n"));
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);
    QVERIFY(refuse(trouble));

    QCOMPARE(errorText([&] { model.loadFromFile(camera.get(), file); }), error);

    // A load that did not get the file's list leaves the user entries alone.
    const QStringList others = entries(2, 0, Factory) + QStringList{"4 4 2"};
    const QStringList kept{"0 0 0", "1 0 0", "1 1 1", "4 4 2"};
    QCOMPARE(describe(model),
             (loaded ? others + entries(count, 32, User) : kept).join(QLatin1String(", ")));
    QCOMPARE(layout.count(), loaded ? 1 : 0);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(driverList(camera->cameraHandle()), driverListAfter);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestBadpixelListModel test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_badpixellistmodel.moc"
