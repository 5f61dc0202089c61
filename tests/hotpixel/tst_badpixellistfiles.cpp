#include "badpixellistmodel.h"

#include "camera.h"
#include "camstatus.h"
#include "hotpixelworld.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>
#include <stdexcept>

#include <sys/resource.h>

using HotpixelWorld::describe;
using HotpixelWorld::errorText;

namespace {

void addEntry(BadpixelListModel& model, int x, int y, const QString& className)
{
    QVERIFY(model.addBadpixel(QPoint(x, y)));
    QVERIFY(model.setData(model.index(model.rowCount() - 1, 2), className));
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Lets the process write no file beyond limit bytes while it lives, the way a
// full disk would stop a write part way.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
        : oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lowered = old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old{};
    void (*oldHandler)(int);
};

// What the library's own list holds after an operation.
enum class DriverListAfter { AsBefore, Empty, FileList };

const QVector<uint16_t> presetDriverList{2, 100, 10, 101, 11};

} // namespace

Q_DECLARE_METATYPE(DriverListAfter)

class TestBadpixelListFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exportWritesOneLinePerUserEntry_data();
    void exportWritesOneLinePerUserEntry();
    void exportReplacesOldFile();
    void exportToUnopenableFileFails();
    void exportFailingPartWayKeepsOldFile();
    void importReadsEveryLine_data();
    void importReadsEveryLine();
    void importReplacesUserEntriesOnly();
    void importMissingFileDropsUserEntries();
    void exportImportRoundTrip();

    void saveLoadRoundTrip_data();
    void saveLoadRoundTrip();
    void loadAppendsFileEntriesAfterOthers_data();
    void loadAppendsFileEntriesAfterOthers();
    void saveToUnwritableFileRestoresDriverList();
    void saveWithoutCameraFails();
    void loadRefusesBadFiles_data();
    void loadRefusesBadFiles();
    void saveFaults_data();
    void saveFaults();
    void loadFaults_data();
    void loadFaults();

private:
    QString path(const QString& name) const { return env->path() + QLatin1Char('/') + name; }
    // A camera with two factory entries whose library holds presetDriverList
    // as its own list when preset is true.
    bool openCamera(bool preset = true);
    // Saves count user entries to a binary file through the camera.
    bool saveUserEntries(const QString& file, int count);
    QVector<uint16_t> driverList() const
    {
        return HotpixelWorld::driverList(camera->cameraHandle());
    }

    std::unique_ptr<TestUtils::IsolatedEnvironment> env;
    std::unique_ptr<Camera> camera;
};

void TestBadpixelListFiles::initTestCase()
{
    qRegisterMetaType<QList<QPersistentModelIndex>>();
    qRegisterMetaType<QAbstractItemModel::LayoutChangeHint>();
}

void TestBadpixelListFiles::init()
{
    env = std::make_unique<TestUtils::IsolatedEnvironment>();
}

void TestBadpixelListFiles::cleanup()
{
    camera.reset();
    KivoSimClearFaults();
    env.reset();
}

bool TestBadpixelListFiles::openCamera(bool preset)
{
    HotpixelWorld::CameraLists lists;
    lists.factoryCount = 2;
    if (!HotpixelWorld::load({lists}))
        return false;
    camera = std::make_unique<Camera>();
    if (!HotpixelWorld::open(*camera, lists.deviceId))
        return false;
    if (!preset)
        return true;
    QVector<uint16_t> words = presetDriverList;
    return CamHotPixel(camera->cameraHandle(), CAM_HP_DRIVER_LIST_SET, words.data(),
                       2 * words.size()) == CAM_SUCCESS;
}

bool TestBadpixelListFiles::saveUserEntries(const QString& file, int count)
{
    const QString text = path(QStringLiteral("entries.txt"));
    QFile lines(text);
    if (!lines.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    for (const QString& line : HotpixelWorld::userEntries(count))
        lines.write(line.toLatin1() + '\n');
    lines.close();
    BadpixelListModel model;
    model.importFromFile(text);
    model.saveAsFile(camera.get(), file);
    return QFileInfo::exists(file);
}

void TestBadpixelListFiles::exportWritesOneLinePerUserEntry_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("user entries around a factory entry")
        << QStringList{QStringLiteral("3 4 user"), QStringLiteral("5 5 factory"),
                       QStringLiteral("10 20 user")}
        << QByteArray("3 4 1\n10 20 1\n");
    QTest::newRow("largest coordinates")
        << QStringList{QStringLiteral("65535 65534 user")} << QByteArray("65535 65534 1\n");
    QTest::newRow("no user entries") << QStringList{QStringLiteral("5 5 factory")} << QByteArray();
    QTest::newRow("empty list") << QStringList() << QByteArray();
}

void TestBadpixelListFiles::exportWritesOneLinePerUserEntry()
{
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, text);

    BadpixelListModel model;
    for (const QString& entry : entries) {
        const QStringList fields = entry.split(QLatin1Char(' '));
        addEntry(model, fields[0].toInt(), fields[1].toInt(), fields[2]);
    }
    const QStringList before = describe(model);

    model.exportAsFile(path(QStringLiteral("list.txt")));

    QCOMPARE(readAll(path(QStringLiteral("list.txt"))), text);
    QCOMPARE(describe(model), before);
}

void TestBadpixelListFiles::exportReplacesOldFile()
{
    const QString file = path(QStringLiteral("list.txt"));
    writeBytes(file, QByteArray("a much longer old file of many lines\n").repeated(20));
    BadpixelListModel model;
    model.addBadpixel(QPoint(1, 2));

    model.exportAsFile(file);

    QCOMPARE(readAll(file), QByteArray("1 2 1\n"));
}

void TestBadpixelListFiles::exportToUnopenableFileFails()
{
    BadpixelListModel model;
    model.addBadpixel(QPoint(1, 2));
    const QString file = path(QStringLiteral("no such folder/list.txt"));

    QCOMPARE(errorText([&] { model.exportAsFile(file); }),
             QStringLiteral("Can't open file for writing."));
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(model.rowCount(), 1);
}

void TestBadpixelListFiles::exportFailingPartWayKeepsOldFile()
{
    const QString file = path(QStringLiteral("list.txt"));
    const QByteArray old("7 7 1\n");
    writeBytes(file, old);
    BadpixelListModel model;
    for (int x = 0; x < 200; ++x)
        model.addBadpixel(QPoint(x, 1000));

    QString message;
    {
        const FileSizeLimit limit(100);
        message = errorText([&] { model.exportAsFile(file); });
    }

    QVERIFY2(message.startsWith(QStringLiteral("Can't write file: ")),
             qPrintable(message + QLatin1Char('|')));
    QVERIFY(message.size() > QStringLiteral("Can't write file: ").size());
    QCOMPARE(readAll(file), old);
    // No temporary file is left beside it.
    QCOMPARE(QDir(env->path()).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")});
}

void TestBadpixelListFiles::importReadsEveryLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("entries");

    const QStringList twoUsers{QStringLiteral("3 4 1"), QStringLiteral("10 20 1")};
    QTest::newRow("lf line ends") << QByteArray("3 4 1\n10 20 1\n") << twoUsers;
    QTest::newRow("crlf line ends") << QByteArray("3 4 1\r\n10 20 1\r\n") << twoUsers;
    QTest::newRow("last line without line end") << QByteArray("3 4 1\n10 20 1") << twoUsers;
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("empty line in the middle")
        << QByteArray("3 4 1\n\n10 20 1\n")
        << QStringList{QStringLiteral("3 4 1"), QStringLiteral("0 0 0"), QStringLiteral("10 20 1")};
    QTest::newRow("empty crlf line at the end")
        << QByteArray("3 4 1\r\n\r\n")
        << QStringList{QStringLiteral("3 4 1"), QStringLiteral("0 0 0")};
    QTest::newRow("hexadecimal and octal")
        << QByteArray("0x1F 010 0X2\n") << QStringList{QStringLiteral("31 8 2")};
    QTest::newRow("numbers above 16 and 8 bits")
        << QByteArray("70000 5 257\n") << QStringList{QStringLiteral("4464 5 1")};
    QTest::newRow("trailing text")
        << QByteArray("7 8 2 seen twice\n") << QStringList{QStringLiteral("7 8 2")};
    QTest::newRow("tabs and repeated blanks")
        << QByteArray("  7\t 8   1\n") << QStringList{QStringLiteral("7 8 1")};
    QTest::newRow("unknown class code")
        << QByteArray("1 2 7\n") << QStringList{QStringLiteral("1 2 7")};
    QTest::newRow("missing class") << QByteArray("5 6\n") << QStringList{QStringLiteral("5 6 0")};
    QTest::newRow("text instead of numbers")
        << QByteArray("hot 4 1\n") << QStringList{QStringLiteral("0 0 0")};
    QTest::newRow("same position twice")
        << QByteArray("1 1 1\n1 1 1\n")
        << QStringList{QStringLiteral("1 1 1"), QStringLiteral("1 1 1")};
}

void TestBadpixelListFiles::importReadsEveryLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, entries);

    const QString file = path(QStringLiteral("list.txt"));
    writeBytes(file, text);
    BadpixelListModel model;
    QSignalSpy layoutChanged(&model, &BadpixelListModel::layoutChanged);

    model.importFromFile(file);

    QCOMPARE(describe(model), entries);
    QCOMPARE(layoutChanged.count(), 1);
}

void TestBadpixelListFiles::importReplacesUserEntriesOnly()
{
    const QString file = path(QStringLiteral("list.txt"));
    writeBytes(file, QByteArray("5 5 1\n9 9 2\n"));
    BadpixelListModel model;
    addEntry(model, 1, 1, QStringLiteral("user"));
    addEntry(model, 5, 5, QStringLiteral("factory"));
    addEntry(model, 2, 2, QStringLiteral("user"));
    model.importFromFile(file);

    // A second import drops the user entries of the first but keeps its
    // ignored entry; positions already listed are added again.
    model.importFromFile(file);

    QCOMPARE(describe(model), (QStringList{QStringLiteral("5 5 0"), QStringLiteral("9 9 2"),
                                           QStringLiteral("5 5 1"), QStringLiteral("9 9 2")}));
    QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("ignore"));
}

void TestBadpixelListFiles::importMissingFileDropsUserEntries()
{
    BadpixelListModel model;
    addEntry(model, 1, 1, QStringLiteral("user"));
    addEntry(model, 5, 5, QStringLiteral("factory"));
    QSignalSpy layoutChanged(&model, &BadpixelListModel::layoutChanged);

    QCOMPARE(errorText([&] { model.importFromFile(path(QStringLiteral("missing.txt"))); }),
             QStringLiteral("Can't open file for reading."));

    QCOMPARE(describe(model), QStringList{QStringLiteral("5 5 0")});
    QCOMPARE(layoutChanged.count(), 0);
}

void TestBadpixelListFiles::exportImportRoundTrip()
{
    const QString file = path(QStringLiteral("list.txt"));
    BadpixelListModel model;
    addEntry(model, 3, 4, QStringLiteral("user"));
    addEntry(model, 5, 5, QStringLiteral("factory"));
    addEntry(model, 65535, 0, QStringLiteral("user"));
    addEntry(model, 10, 20, QStringLiteral("user"));

    model.exportAsFile(file);
    model.importFromFile(file);

    QCOMPARE(describe(model),
             (QStringList{QStringLiteral("5 5 0"), QStringLiteral("3 4 1"),
                          QStringLiteral("65535 0 1"), QStringLiteral("10 20 1")}));
}

void TestBadpixelListFiles::saveLoadRoundTrip_data()
{
    QTest::addColumn<bool>("preset");

    QTest::newRow("library holds a list") << true;
    QTest::newRow("library holds no list") << false;
}

void TestBadpixelListFiles::saveLoadRoundTrip()
{
    QFETCH(bool, preset);

    QVERIFY(openCamera(preset));
    const QVector<uint16_t> before = driverList();
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    addEntry(model, 7, 8, QStringLiteral("user"));
    addEntry(model, 9, 9, QStringLiteral("factory"));
    addEntry(model, 5, 6, QStringLiteral("user"));
    const QString file = path(QStringLiteral("list.bin"));

    model.saveAsFile(camera.get(), file);

    QVERIFY(QFileInfo::exists(file));
    // With no list of its own the library ends with an empty one.
    const QVector<uint16_t> restored = preset ? before : QVector<uint16_t>{0};
    QCOMPARE(driverList(), restored);

    QVERIFY(model.addBadpixel(QPoint(1, 1)));
    model.loadFromFile(camera.get(), file);

    const QStringList expected =
        HotpixelWorld::factoryEntries(2) +
        QStringList{QStringLiteral("9 9 0"), QStringLiteral("7 8 1"), QStringLiteral("5 6 1")};
    QCOMPARE(describe(model), expected);
    QCOMPARE(driverList(), restored);
}

void TestBadpixelListFiles::loadAppendsFileEntriesAfterOthers_data()
{
    QTest::addColumn<int>("count");

    QTest::newRow("empty list") << 0;
    QTest::newRow("one pair") << 1;
    QTest::newRow("three pairs") << 3;
    QTest::newRow("1500 pairs") << 1500;
}

void TestBadpixelListFiles::loadAppendsFileEntriesAfterOthers()
{
    QFETCH(int, count);

    QVERIFY(openCamera());
    const QString file = path(QStringLiteral("list.bin"));
    QVERIFY(saveUserEntries(file, count));
    const QString others = path(QStringLiteral("others.txt"));
    writeBytes(others, QByteArray("1 1 1\n2 2 0\n3 3 1\n4 4 2\n"));
    BadpixelListModel model;
    model.importFromFile(others);
    QSignalSpy layoutChanged(&model, &BadpixelListModel::layoutChanged);
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);

    model.loadFromFile(camera.get(), file);

    const QStringList expected = QStringList{QStringLiteral("2 2 0"), QStringLiteral("4 4 2")} +
                                 HotpixelWorld::userEntries(count);
    QCOMPARE(describe(model), expected);
    QCOMPARE(layoutChanged.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(driverList(), presetDriverList);
}

void TestBadpixelListFiles::saveToUnwritableFileRestoresDriverList()
{
    QVERIFY(openCamera());
    BadpixelListModel model;
    model.addBadpixel(QPoint(1, 2));
    const QString file = path(QStringLiteral("no such folder/list.bin"));

    const QString error = errorText([&] { model.saveAsFile(camera.get(), file); });

    QCOMPARE(error, QStringLiteral("write to file failed with %1\n").arg(kivo::StatusFileError));
    QCOMPARE(driverList(), presetDriverList);
    QCOMPARE(describe(model), QStringList{QStringLiteral("1 2 1")});
}

void TestBadpixelListFiles::saveWithoutCameraFails()
{
    BadpixelListModel model;
    model.addBadpixel(QPoint(1, 2));
    const QString file = path(QStringLiteral("list.bin"));

    const QString error = errorText([&] { model.saveAsFile(nullptr, file); });

    QCOMPARE(error,
             QStringLiteral("write to file failed with %1\n").arg(kivo::StatusInvalidHandle));
    QVERIFY(!QFileInfo::exists(file));
}

void TestBadpixelListFiles::loadRefusesBadFiles_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("status");

    QTest::newRow("missing") << QStringLiteral("remove") << int(kivo::StatusFileError);
    QTest::newRow("empty") << QStringLiteral("empty") << int(kivo::StatusFileFormat);
    QTest::newRow("truncated") << QStringLiteral("truncate") << int(kivo::StatusFileFormat);
    QTest::newRow("corrupt") << QStringLiteral("flip") << int(kivo::StatusFileFormat);
    QTest::newRow("foreign") << QStringLiteral("text") << int(kivo::StatusFileFormat);
}

void TestBadpixelListFiles::loadRefusesBadFiles()
{
    QFETCH(QString, damage);
    QFETCH(int, status);

    QVERIFY(openCamera());
    const QString file = path(QStringLiteral("list.bin"));
    QVERIFY(saveUserEntries(file, 3));
    QByteArray bytes = readAll(file);
    if (damage == QLatin1String("remove"))
        QVERIFY(QFile::remove(file));
    else if (damage == QLatin1String("empty"))
        writeBytes(file, QByteArray());
    else if (damage == QLatin1String("truncate"))
        writeBytes(file, bytes.left(bytes.size() - 3));
    else if (damage == QLatin1String("flip"))
        writeBytes(file, bytes.replace(14, 1, QByteArray(1, char(bytes.at(14) ^ 0x40))));
    else
        writeBytes(file, QByteArray("3 4 1\n10 20 1\n"));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    model.addBadpixel(QPoint(1, 1));
    QSignalSpy layoutChanged(&model, &BadpixelListModel::layoutChanged);

    const QString error = errorText([&] { model.loadFromFile(camera.get(), file); });

    QCOMPARE(error, QStringLiteral("load from file failed with %1\n").arg(status));
    QCOMPARE(describe(model), HotpixelWorld::factoryEntries(2));
    QCOMPARE(layoutChanged.count(), 0);
    QCOMPARE(driverList(), presetDriverList);
}

void TestBadpixelListFiles::saveFaults_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<DriverListAfter>("driverListAfter");

    // A failed query whether the library holds a list counts as no list: the
    // save goes on, and the library ends with an empty list.
    QTest::newRow("list query") << QByteArray("CamHotPixel:0x8100") << true
                                << DriverListAfter::Empty;
    QTest::newRow("count") << QByteArray("CamHotPixel:0x8101") << false
                           << DriverListAfter::AsBefore;
    QTest::newRow("list read") << QByteArray("CamHotPixel:0x8102") << false
                               << DriverListAfter::AsBefore;
    QTest::newRow("list set") << QByteArray("CamHotPixel:0x8103") << false
                              << DriverListAfter::AsBefore;
    QTest::newRow("file save") << QByteArray("CamHotPixel:0x8111") << false
                               << DriverListAfter::AsBefore;
}

void TestBadpixelListFiles::saveFaults()
{
    QFETCH(QByteArray, fault);
    QFETCH(bool, saved);
    QFETCH(DriverListAfter, driverListAfter);

    QVERIFY(openCamera());
    BadpixelListModel model;
    model.addBadpixel(QPoint(5, 6));
    const QString file = path(QStringLiteral("list.bin"));
    QCOMPARE(KivoSimInjectFault(fault.constData(), 1, 7), 0);

    const QString error = errorText([&] { model.saveAsFile(camera.get(), file); });

    QCOMPARE(error, saved ? QString() : QStringLiteral("write to file failed with 7\n"));
    QCOMPARE(QFileInfo::exists(file), saved);
    QCOMPARE(driverList(),
             driverListAfter == DriverListAfter::Empty ? QVector<uint16_t>{0} : presetDriverList);
    QCOMPARE(describe(model), QStringList{QStringLiteral("5 6 1")});
}

void TestBadpixelListFiles::loadFaults_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<DriverListAfter>("driverListAfter");

    const QString failed = QStringLiteral("load from file failed with 7\n");
    QTest::newRow("list query") << QByteArray("CamHotPixel:0x8100") << QString() << true
                                << DriverListAfter::Empty;
    QTest::newRow("count") << QByteArray("CamHotPixel:0x8101") << failed << false
                           << DriverListAfter::AsBefore;
    QTest::newRow("list read") << QByteArray("CamHotPixel:0x8102") << failed << false
                               << DriverListAfter::AsBefore;
    QTest::newRow("file load") << QByteArray("CamHotPixel:0x8112") << failed << false
                               << DriverListAfter::AsBefore;
    // The file's entries stay although the library keeps the file's list.
    QTest::newRow("restore") << QByteArray("CamHotPixel:0x8103") << failed << true
                             << DriverListAfter::FileList;
}

void TestBadpixelListFiles::loadFaults()
{
    QFETCH(QByteArray, fault);
    QFETCH(QString, error);
    QFETCH(bool, loaded);
    QFETCH(DriverListAfter, driverListAfter);

    QVERIFY(openCamera());
    const QString file = path(QStringLiteral("list.bin"));
    QVERIFY(saveUserEntries(file, 2));
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    model.addBadpixel(QPoint(1, 1));
    QSignalSpy layoutChanged(&model, &BadpixelListModel::layoutChanged);
    QCOMPARE(KivoSimInjectFault(fault.constData(), 1, 7), 0);

    QCOMPARE(errorText([&] { model.loadFromFile(camera.get(), file); }), error);

    QCOMPARE(describe(model), HotpixelWorld::factoryEntries(2) +
                                  (loaded ? HotpixelWorld::userEntries(2) : QStringList()));
    QCOMPARE(layoutChanged.count(), loaded ? 1 : 0);
    const QVector<uint16_t> fileList{2, 0, 32, 1, 32};
    switch (driverListAfter) {
    case DriverListAfter::AsBefore:
        QCOMPARE(driverList(), presetDriverList);
        break;
    case DriverListAfter::Empty:
        QCOMPARE(driverList(), QVector<uint16_t>{0});
        break;
    case DriverListAfter::FileList:
        QCOMPARE(driverList(), fileList);
        break;
    }
}

QTEST_GUILESS_MAIN(TestBadpixelListFiles)
#include "tst_badpixellistfiles.moc"
