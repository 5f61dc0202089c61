#include "badpixellistmodel.h"
#include "pixelclassdelegate.h"

#include "camera.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <csignal>
#include <memory>
#include <tuple>

#include <sys/resource.h>

using TestUtils::errorText;

namespace {

using Ranges = QList<QPair<int, int>>;
using Words = QVector<uint16_t>;
const QString notRead = QStringLiteral("The camera's user hot pixel list has not been read.");

// Entry i of count lies at (i % 256, row + i / 256) of a 256 x 64 sensor;
// factory entries start in row 0, user entries in row 32.
QStringList entries(int count, int row, int pixelclass)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("%1 %2 %3").arg(i % 256).arg(row + i / 256).arg(pixelclass);
    return list;
}

// The list buffer of such entries: n, then n pairs.
Words buffer(int count, int row)
{
    Words words{uint16_t(count)};
    for (int i = 0; i < count; ++i)
        words << uint16_t(i % 256) << uint16_t(row + i / 256);
    return words;
}

QByteArray pairs(int count, int row)
{
    QByteArrayList list;
    for (int i = 0; i < count; ++i)
        list << "[" + QByteArray::number(i % 256) + "," + QByteArray::number(row + i / 256) + "]";
    return "[" + list.join(',') + "]";
}

QString describe(const BadpixelListModel& model)
{
    QStringList list;
    for (const Badpixel& entry : model.badpixelList())
        list << QStringLiteral("%1 %2 %3").arg(entry.x).arg(entry.y).arg(entry.pixelclass);
    return list.join(QLatin1String(", "));
}

// Makes the next CamHotPixel call of the command fail with status 7, or with
// "0x8103@1" the one after next; any other text makes nothing fail.
bool refuse(const QString& command)
{
    const QByteArray operation = "CamHotPixel:" + command.section('@', 0, 0).toLatin1();
    return !command.startsWith(QLatin1String("0x")) ||
           KivoSimInjectFaultAfter(operation.constData(), command.section('@', 1).toInt(), 1, 7) ==
               0;
}

QString unreadRefusal(const QString& reason)
{
    return reason + QStringLiteral(" Writing is refused so that the entries the camera holds are "
                                   "not lost; close and open the camera to read its list again.");
}

Ranges ranges(const QSignalSpy& spy)
{
    Ranges result;
    for (const QList<QVariant>& arguments : spy)
        result << qMakePair(arguments.at(1).toInt(), arguments.at(2).toInt());
    return result;
}

// The user list the EEPROM of camera HP0002 holds.
Words eeprom()
{
    Words words(2 * 65535 + 1);
    words.resize(qMax(0, 2 * KivoSimReadEeprom("HP0002", words.data(), words.size()) + 1));
    return words;
}

// The library's own list; the single word 0 for none.
Words driverList(uint32_t handle)
{
    int32_t count = 0;
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS)
        return {0};
    CamHotPixel(handle, CAM_HP_DRIVER_LIST_COUNT, &count, sizeof count);
    Words words(2 * count + 1);
    CamHotPixel(handle, CAM_HP_DRIVER_LIST_GET, words.data(), 2 * words.size());
    return words;
}

} // namespace

class TestBadpixelListModel : public QObject
{
    Q_OBJECT

private slots:
    void init() { env = std::make_unique<TestUtils::IsolatedEnvironment>(); }
    void cleanup();
    void editing();
    void failedExportKeepsOldFile();
    void readAndWrite_data();
    void readAndWrite();
    void classEditor();
    void import_data();
    void import();
    void driverListFile_data();
    void driverListFile();

private:
    void import(BadpixelListModel& model, const QString& text);
    // Loads cameras HP0001 and HP0002, with lists of {factory, user, most
    // user entries} and no frames, and opens the first.
    void openWorld(const QVector<QVector<int>>& cameras);

    std::unique_ptr<TestUtils::IsolatedEnvironment> env;
    std::unique_ptr<Camera> camera;
};

void TestBadpixelListModel::cleanup()
{
    camera.reset();
    KivoSimClearFaults();
    env.reset();
}

void TestBadpixelListModel::import(BadpixelListModel& model, const QString& text)
{
    const QString file = env->path() + QStringLiteral("/import.txt");
    QVERIFY(TestUtils::writeFile(file, text.toLatin1()));
    model.importFromFile(file);
}

void TestBadpixelListModel::openWorld(const QVector<QVector<int>>& cameras)
{
    QByteArrayList list;
    for (int i = 1; i <= 2; ++i)
        list << R"({"serial":"HP000)" + QByteArray::number(i) + R"(","model":"HP","deviceId":)" +
                    QByteArray::number(i) + R"(,"width":256,"height":64,"maxUserCount":)" +
                    QByteArray::number(cameras.value(i - 1).value(2)) + R"(,"factoryList":)" +
                    pairs(cameras.value(i - 1).value(0), 0) + R"(,"userList":)" +
                    pairs(cameras.value(i - 1).value(1), 32) + "}";
    QCOMPARE(KivoSimLoadWorld(QByteArray(R"({"cameras":[)" + list.join(',') + "]}").constData()),
             0);
    KivoSimSetManualFrames("HP0001", 1);
    KivoSimSetManualFrames("HP0002", 1);
    camera = std::make_unique<Camera>();
    QCOMPARE(errorText([this] { camera->open(1); }), QString());
}

void TestBadpixelListModel::editing()
{
    BadpixelListModel model;
    QVERIFY(!model.deleteUserBadpixel(0));
    model.sort(7, Qt::AscendingOrder); // an empty list is left alone
    // Until a camera's lists were read, the camera takes no entry.
    QCOMPARE(errorText([&] { model.writeBadpixelList(nullptr); }), unreadRefusal(notRead));
    import(model, QStringLiteral("4 5 0\n6 7 2\n8 9 1\n"));
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    QSignalSpy added(&model, &BadpixelListModel::pixelAdded);

    // Factory and user entries hold their position, also after the 16-bit
    // truncation; an ignored entry does not.
    QVERIFY(!model.addBadpixel(QPoint(4, 5)));
    QVERIFY(!model.addBadpixel(QPoint(65544, 65545)));
    QVERIFY(model.addBadpixel(QPoint(6, 7)));
    QVERIFY(model.addBadpixel(QPoint(70000, -1)));
    QVERIFY(model.insertRows(0, 1));
    QCOMPARE(describe(model), QStringLiteral("0 0 1, 4 5 0, 6 7 2, 8 9 1, 6 7 1, 4464 65535 1"));
    QCOMPARE(ranges(inserted), (Ranges{{3, 3}, {4, 4}, {0, 0}}));
    QCOMPARE(QList<QVariantList>(added), (QList<QVariantList>{{1}, {1}}));
    // An export writes the user entries, over a longer old file.
    const QString file = env->path() + QStringLiteral("/list.txt");
    QVERIFY(TestUtils::writeFile(file, QByteArray("a longer old file\n").repeated(20)));
    model.exportAsFile(file);
    QFile exported(file);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), QByteArray("0 0 1\n8 9 1\n6 7 1\n4464 65535 1\n"));

    for (int row : {-1, 1, 2, 6})
        QVERIFY2(!model.deleteUserBadpixel(row), qPrintable(QString::number(row)));
    QVERIFY(model.deleteUserBadpixel(3));
    // Clearing the user entries announces each removal on its own.
    model.clearUserBadpixelList();
    QCOMPARE(describe(model), QStringLiteral("4 5 0, 6 7 2"));

    // Each column sorts both ways; an unknown column is refused.
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    model.sort(0, Qt::DescendingOrder);
    QCOMPARE(describe(model), QStringLiteral("6 7 2, 4 5 0"));
    model.sort(2, Qt::AscendingOrder);
    QCOMPARE(describe(model), QStringLiteral("4 5 0, 6 7 2"));
    model.sort(1, Qt::DescendingOrder);
    QCOMPARE(errorText([&] { model.sort(3, Qt::AscendingOrder); }), QStringLiteral("Sort Error"));
    QCOMPARE(describe(model), QStringLiteral("6 7 2, 4 5 0"));
    model.sort(1, Qt::AscendingOrder);
    QCOMPARE(layout.count(), 4);

    // The first row strictly within the radius, not the nearest one.
    QCOMPARE(model.findBadpixel(10, 10, 7), model.index(0, 0));
    QCOMPARE(model.findBadpixel(11, 5, 7), model.index(1, 0)); // row 0 is 7 off in x
    QCOMPARE(model.findBadpixel(-1, 12, 7), QModelIndex());    // 7 off in y, and in x

    QVERIFY(model.setData(model.index(0, 0), 70000));
    QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("seven")));
    QVERIFY(model.setData(model.index(1, 2), QStringLiteral("factory")));
    QVERIFY(!model.setData(model.index(0, 2), QStringLiteral("ignore")));
    QCOMPARE(describe(model), QStringLiteral("4464 5 0, 6 7 0"));

    model.clearBadpixelList();
    model.clearBadpixelList();
    QCOMPARE(ranges(removed), (Ranges{{3, 3}, {0, 0}, {2, 2}, {2, 2}, {0, 1}}));
}

void TestBadpixelListModel::readAndWrite_data()
{
    QTest::addColumn<QVector<int>>("lists");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("error");
    QTest::addColumn<Words>("stored");

    // Camera 2 with {factory, user, most user} entries, read after camera 1
    // with {10, 0, 100}, gives the factory and user rows. What was read is
    // written back unless a list is given; the error of a failed read is the
    // reason the write is refused.
    const QStringList users{"5 6 1", "9 9 2", "7 8 1"};
    const QVector<int> ten{10, 4, 100};
    const Words kept = buffer(4, 32);
    QTest::newRow("1000 factory, 4000 user")
        << QVector<int>{1000, 4000, 4000} << QString() << "1000 4000" << QStringList() << QString()
        << buffer(4000, 32);
    QTest::newRow("1001 factory, not read") << QVector<int>{1001, 2, 100} << QString() << "0 2"
                                            << QStringList() << QString() << buffer(2, 32);
    // A refused maximum leaves the one of the camera read before.
    QTest::newRow("maximum refused")
        << QVector<int>{3, 200, 300} << "0x810D"
        << "3 0" << QStringList()
        << "The camera reports 200 user hot pixel entries but holds at most 100, so its user hot "
           "pixel list could not be read."
        << buffer(200, 32);
    QTest::newRow("no camera") << QVector<int>{3, 2, 100} << "no camera"
                               << "0 0" << QStringList() << notRead << buffer(2, 32);
    QTest::newRow("user entries in row order")
        << ten << QString() << "10 4" << users << QString() << Words{2, 5, 6, 7, 8};
    QTest::newRow("no user entries empty the list")
        << ten << QString() << "10 4" << QStringList{"9 9 2"} << QString() << Words{0};
    QTest::newRow("110 rows, 100 past the factory list")
        << ten << QString() << "10 4" << entries(100, 50, User) << QString() << buffer(100, 50);
    QTest::newRow("111 rows, one ignored")
        << ten << QString() << "10 4" << entries(1, 60, Ignore) + entries(100, 50, User)
        << "Can't write more than 100 hot pixel entries." << kept;
    QTest::newRow("limit of the camera read last")
        << QVector<int>{0, 4, 5} << QString() << "0 4" << entries(6, 50, User)
        << "Can't write more than 5 hot pixel entries." << kept;
}

void TestBadpixelListModel::readAndWrite()
{
    QFETCH(QVector<int>, lists);
    QFETCH(QString, fault);
    QFETCH(QString, rows);
    QFETCH(QStringList, list);
    QFETCH(QString, error);
    QFETCH(Words, stored);

    openWorld({{10, 0, 100}, lists});
    BadpixelListModel model;
    model.getBadpixelList(camera.get());
    QCOMPARE(errorText([this] { camera->open(2); }), QString());
    QSignalSpy removed(&model, &BadpixelListModel::rowsRemoved);
    QSignalSpy inserted(&model, &BadpixelListModel::rowsInserted);
    QVERIFY(refuse(fault));

    model.getBadpixelList(fault == "no camera" ? nullptr : camera.get());

    const int factoryRows = rows.section(' ', 0, 0).toInt();
    const int userRows = rows.section(' ', 1).toInt();
    QCOMPARE(describe(model),
             (entries(factoryRows, 0, Factory) + entries(userRows, 32, User)).join(", "));
    QCOMPARE(ranges(removed), (Ranges{{0, 9}}));
    QCOMPARE(inserted.count(), int(factoryRows > 0) + int(userRows > 0));
    const QString readError = model.userListReadError();
    if (!list.isEmpty())
        import(model, list.join('\n'));
    const QString before = describe(model);

    QCOMPARE(errorText([&] { model.writeBadpixelList(camera.get()); }),
             readError.isEmpty() ? error : unreadRefusal(error));
    QCOMPARE(eeprom(), stored);
    QCOMPARE(describe(model), before);
}

void TestBadpixelListModel::classEditor()
{
    BadpixelListModel model;
    import(model, QStringLiteral("10 20 0\n11 21 1\n13 23 7\n"));
    PixelclassDelegate delegate;
    QTableView view;
    view.setModel(&model);
    view.setItemDelegateForColumn(2, &delegate);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // A factory entry made user, a user entry made factory, and an unknown
    // code, shown as ignore, made user.
    const QList<std::tuple<int, QString, Qt::Key>> edits{
        {0, "factory", Qt::Key_Down}, {1, "user", Qt::Key_Up}, {2, "ignore", Qt::Key_Up}};
    for (const auto& [row, shown, key] : edits) {
        // The first click of a double click comes as press and release.
        const QRect cell = view.visualRect(model.index(row, 2));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        const QPointer<QComboBox> editor = view.viewport()->findChild<QComboBox*>();
        QVERIFY(editor);
        QCOMPARE(editor->count(), 3);
        QCOMPARE(editor->currentText(), shown);
        QCOMPARE(editor->geometry(), cell);
        QTest::keyClick(editor, key);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(editor.isNull());
    }
    QCOMPARE(describe(model), QStringLiteral("10 20 1, 11 21 0, 13 23 1"));
}

// The process may write no file beyond 100 bytes, the way a full disk stops
// a write part way: the old file stays whole and no temporary is left.
void TestBadpixelListModel::failedExportKeepsOldFile()
{
    BadpixelListModel model;
    for (int x = 0; x < 200; ++x)
        model.addBadpixel(QPoint(x, 1000));
    const QString file = env->path() + QStringLiteral("/list.txt");
    QVERIFY(TestUtils::writeFile(file, "7 7 1\n"));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lowered{100, old.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lowered);
    const QString error = errorText([&] { model.exportAsFile(file); });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);

    QVERIFY2(error.startsWith(QStringLiteral("Can't write file: ")), qPrintable(error));
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("7 7 1\n"));
    QCOMPARE(QDir(env->path()).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")});
}

void TestBadpixelListModel::import_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("entries");

    // No entries: the first line is refused.
    QTest::newRow("crlf, blank lines") << QByteArray("3 4 1\r\n \n10 20 1") << "3 4 1, 10 20 1";
    QTest::newRow("hexadecimal, octal, tabs") << QByteArray(" 0x1F\t 010   0X2\n") << "31 8 2";
    QTest::newRow("unknown class, repeated") << QByteArray("1 2 7\n1 2 7\n") << "1 2 7, 1 2 7";
    QTest::newRow("number above 16 bits") << QByteArray("70000 5 1\n") << QString();
    QTest::newRow("class above 8 bits") << QByteArray("7 5 256\n") << QString();
    QTest::newRow("missing class") << QByteArray("5 6\n") << QString();
}

void TestBadpixelListModel::import()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, entries);

    const QString file = env->path() + QStringLiteral("/list.txt");
    QVERIFY(TestUtils::writeFile(file, text));
    BadpixelListModel model;
    import(model, QStringLiteral("1 1 1\n5 5 0\n9 9 2\n"));
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);

    const QString error = errorText([&] { model.importFromFile(file); });
    QVERIFY2(error.startsWith(QLatin1String("Line 1 is not a hot pixel entry")) == entries.isNull(),
             qPrintable(error));
    // The user entries are replaced only by a file read completely.
    QCOMPARE(describe(model),
             entries.isNull() ? QStringLiteral("1 1 1, 5 5 0, 9 9 2") : "5 5 0, 9 9 2, " + entries);
    QCOMPARE(layout.count(), int(!entries.isNull()));
}

void TestBadpixelListModel::driverListFile_data()
{
    QTest::addColumn<bool>("load");
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QString>("error");
    QTest::addColumn<Words>("driverListAfter");

    // The library holds {2, 100, 10, 101, 11}, unless the trouble is "none",
    // and gets it back after the file was written or read. The file holds
    // 1500 user entries.
    const Words before{2, 100, 10, 101, 11};
    const QString putBack = ", but the camera library's own list could not be put back (status 7).";
    QTest::newRow("save") << false << QString() << QString() << before;
    QTest::newRow("save, library holds none") << false << "none" << QString() << Words{0};
    QTest::newRow("load") << true << QString() << QString() << before;
    // The file's entries stay although the library keeps the file's list.
    QTest::newRow("load, restore refused")
        << true << "0x8103"
        << "The hot pixel list was loaded from the file" + putBack << buffer(1500, 32);
}

void TestBadpixelListModel::driverListFile()
{
    QFETCH(bool, load);
    QFETCH(QString, trouble);
    QFETCH(QString, error);
    QFETCH(Words, driverListAfter);

    openWorld({{2, 0, 100}});
    const uint32_t handle = camera->cameraHandle();
    Words preset{2, 100, 10, 101, 11};
    QVERIFY(trouble == "none" ||
            CamHotPixel(handle, CAM_HP_DRIVER_LIST_SET, preset.data(), 2 * preset.size()) == 0);
    const QString file = env->path() + QStringLiteral("/list.bin");
    const QStringList users = entries(1500, 32, User);
    BadpixelListModel model;
    import(model, (QStringList{"9 9 0"} + users).join('\n'));
    if (load) {
        model.saveAsFile(camera.get(), file);
        model.getBadpixelList(camera.get());
        model.addBadpixel(QPoint(1, 1));
    }
    const QString before = describe(model);
    QSignalSpy layout(&model, &BadpixelListModel::layoutChanged);
    QVERIFY(refuse(trouble));

    QCOMPARE(errorText([&] {
                 load ? model.loadFromFile(camera.get(), file)
                      : model.saveAsFile(camera.get(), file);
             }),
             error);

    QCOMPARE(driverList(handle), driverListAfter);
    // A load that did not get the file's list leaves the user entries alone.
    const bool loaded = load && !error.startsWith(QLatin1String("load from"));
    QCOMPARE(describe(model), loaded ? (entries(2, 0, Factory) + users).join(", ") : before);
    QCOMPARE(layout.count(), int(loaded));
}

QTEST_MAIN(TestBadpixelListModel)
#include "tst_badpixellistmodel.moc"
