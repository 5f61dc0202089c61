#include "kivotestsession.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include <sys/stat.h>

using Words = std::vector<uint16_t>;

// A CamHotPixel call that must fail and leave the camera's lists as they were.
struct BadCall
{
    bool onMono;
    int command;
    Words words; // empty: no buffer
    int byteSize;
    QByteArray text = {};
};
Q_DECLARE_METATYPE(BadCall)

// Spoils the bytes of a saved list file.
using Damage = std::function<void(QByteArray&)>;
Q_DECLARE_METATYPE(Damage)

namespace {

// A list of count entries filling a 64 pixel wide area row by row, shifted right.
Words grid(int count, int shift = 0)
{
    Words words{uint16_t(count)};
    for (int k = 0; k < count; ++k)
        words.insert(words.end(), {uint16_t((k + shift) % 64), uint16_t(k / 64)});
    return words;
}

int32_t send(uint32_t handle, uint32_t command, Words words)
{
    return CamHotPixel(handle, command, words.data(), uint32_t(words.size() * 2));
}

// Reads a list by its count command, the list command following it; empty on failure.
Words readList(uint32_t handle, uint32_t countCommand)
{
    uint32_t count = 0;
    if (CamHotPixel(handle, countCommand, &count, 4) != CAM_SUCCESS)
        return {};
    Words words(2 * size_t(count) + 1, 0xFFFF);
    const uint32_t bytes = uint32_t(words.size() * 2);
    return CamHotPixel(handle, countCommand + 1, words.data(), bytes) == CAM_SUCCESS ? words
                                                                                     : Words();
}

// Saves or loads the driver list, the file named in UTF-16.
int32_t fileCommand(uint32_t handle, uint32_t command, const QString& path)
{
    std::u16string name(reinterpret_cast<const char16_t*>(path.utf16()), size_t(path.size()));
    return CamHotPixel(handle, command, name.data(), 0);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString eepromFile()
{
    return QFile::decodeName(qgetenv("XDG_DATA_HOME")) +
           QStringLiteral("/kivo-sim/eeprom-SIM0001280.bin");
}

} // namespace

class TestKivoHotPixel : public QObject
{
    Q_OBJECT

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession colour;
    KivoTestSession mono;

private slots:
    void init()
    {
        colour.close();
        mono.close();
        QVERIFY(QDir(QFileInfo(eepromFile()).path()).removeRecursively());
        QCOMPARE(KivoSimLoadWorld(nullptr), 0);
        QVERIFY(colour.open(DefaultWorld::colourDevice, false));
        QVERIFY(mono.open(DefaultWorld::monoDevice, false));
    }

    void userListWrittenAndDeleted()
    {
        const uint32_t h = colour.handle();
        const Words factory = readList(h, CAM_HP_FACTORY_COUNT);
        QVERIFY(factory.size() > 20);
        QVERIFY(send(h, CAM_HP_FACTORY_LIST, Words(factory.size() - 1)) != CAM_SUCCESS);
        QCOMPARE(readList(h, CAM_HP_USER_COUNT).size(), size_t(5));
        const Words list = {3, 5, 6, 7, 8, 1279, 1023};
        QCOMPARE(send(h, CAM_HP_USER_WRITE, list), CAM_SUCCESS);
        QCOMPARE(readList(h, CAM_HP_USER_COUNT), list);
        QCOMPARE(CamHotPixel(h, CAM_HP_USER_DELETE, nullptr, 0), CAM_SUCCESS);
        // Emptied is not the same as never written: the configured list stays gone.
        QVERIFY(colour.open(DefaultWorld::colourDevice, false));
        QCOMPARE(readList(colour.handle(), CAM_HP_USER_COUNT), Words{0});
    }

    void badCallChangesNothing_data()
    {
        QTest::addColumn<BadCall>("call");
        const int user = CAM_HP_USER_WRITE;
        QTest::newRow("EEPROM, size for fewer entries") << BadCall{false, user, {2, 1, 1}, 6};
        QTest::newRow("EEPROM, size for more entries")
            << BadCall{false, user, {2, 1, 2, 3, 4, 0, 0}, 14};
        QTest::newRow("EEPROM, count word only, size 0") << BadCall{false, user, {0}, 0};
        QTest::newRow("EEPROM, right of the sensor") << BadCall{false, user, {1, 1280, 5}, 6};
        QTest::newRow("EEPROM, below the sensor") << BadCall{false, user, {1, 5, 1024}, 6};
        QTest::newRow("mono, EEPROM write") << BadCall{true, user, {1, 1, 1}, 6, "cannot store"};
        QTest::newRow("mono, EEPROM count") << BadCall{true, CAM_HP_USER_COUNT, {0, 0}, 4};
        QTest::newRow("mono, EEPROM delete") << BadCall{true, CAM_HP_USER_DELETE, {}, 0};
        QTest::newRow("mono, correction") << BadCall{true, CAM_HP_ENABLE_CAMERA_CORRECTION, {}, 0};
        QTest::newRow("driver list, no buffer") << BadCall{false, CAM_HP_DRIVER_LIST_SET, {}, 0};
        QTest::newRow("modes, 2 bytes") << BadCall{false, CAM_HP_GET_SUPPORTED_MODES, {0, 0}, 2};
        QTest::newRow("factory count, no buffer") << BadCall{false, CAM_HP_FACTORY_COUNT, {}, 4};
        QTest::newRow("factory list, no buffer") << BadCall{false, CAM_HP_FACTORY_LIST, {}, 0};
    }

    void badCallChangesNothing()
    {
        QFETCH(BadCall, call);
        const uint32_t h = call.onMono ? mono.handle() : colour.handle();
        QCOMPARE(send(h, CAM_HP_DRIVER_LIST_SET, {1, 9, 9}), CAM_SUCCESS);
        const Words eeprom = readList(h, CAM_HP_USER_COUNT);
        QVERIFY(CamHotPixel(h, uint32_t(call.command),
                            call.words.empty() ? nullptr : call.words.data(),
                            uint32_t(call.byteSize)) != CAM_SUCCESS);
        QVERIFY2(!lastErrorText(h).isEmpty() && lastErrorText(h).contains(call.text),
                 lastErrorText(h).constData());
        QCOMPARE(readList(h, CAM_HP_USER_COUNT), eeprom);
        QCOMPARE(readList(h, CAM_HP_DRIVER_LIST_COUNT), (Words{1, 9, 9}));
    }

    void driverListThroughABinaryFile()
    {
        const QString file = environment.path() + QStringLiteral("/Liste \u00e4\u20ac.bin");
        // A handle without a driver list of its own saves nothing.
        QVERIFY(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file) != CAM_SUCCESS);
        QVERIFY(!QFile::exists(file));
        const Words list = {3, 3, 4, 10, 20, 751, 479};
        QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, list), CAM_SUCCESS);
        QVERIFY(CamHotPixel(mono.handle(), CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS);
        // A new file takes the umask's mode, a replaced one keeps its own.
        const mode_t umask = ::umask(027);
        QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file), CAM_SUCCESS);
        ::umask(umask);
        QCOMPARE(fileMode(file), mode_t(S_IFREG | 0640));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file), CAM_SUCCESS);
        QCOMPARE(fileMode(file), mode_t(S_IFREG | 0600));
        QVERIFY(readAll(file).startsWith("KVHP"));
        QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, {1, 1, 1}), CAM_SUCCESS);
        QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_LOAD_FILE, file), CAM_SUCCESS);
        QCOMPARE(readList(colour.handle(), CAM_HP_DRIVER_LIST_COUNT), list);
        QCOMPARE(fileCommand(mono.handle(), CAM_HP_DRIVER_LIST_LOAD_FILE, file), CAM_SUCCESS);
        QCOMPARE(readList(mono.handle(), CAM_HP_DRIVER_LIST_COUNT), list);
    }

    void badFileChangesNothing_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<bool>("onMono");
        // As saved: 12 bytes header, the entries (3, 4), (700, 900), 4 bytes checksum.
        QTest::newRow("empty") << Damage([](QByteArray& b) { b = QByteArray(""); }) << false;
        QTest::newRow("truncated by one byte") << Damage([](QByteArray& b) { b.chop(1); }) << false;
        QTest::newRow("one byte longer") << Damage([](QByteArray& b) { b += '\0'; }) << false;
        QTest::newRow("foreign text file")
            << Damage([](QByteArray& b) { b = "3 4 1\n700 900 1\n"; }) << false;
        QTest::newRow("entries beyond this sensor") << Damage([](QByteArray&) {}) << true;
    }

    void badFileChangesNothing()
    {
        QFETCH(Damage, damage);
        QFETCH(bool, onMono);
        const QString file = environment.path() + QStringLiteral("/damaged.bin");
        QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, {2, 3, 4, 700, 900}), CAM_SUCCESS);
        QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file), CAM_SUCCESS);
        QByteArray bytes = readAll(file);
        QCOMPARE(bytes.size(), 12 + 2 * 4 + 4);
        damage(bytes);
        QVERIFY(TestUtils::writeFile(file, bytes));

        const uint32_t h = onMono ? mono.handle() : colour.handle();
        QCOMPARE(send(h, CAM_HP_DRIVER_LIST_SET, {1, 1, 1}), CAM_SUCCESS);
        QVERIFY(fileCommand(h, CAM_HP_DRIVER_LIST_LOAD_FILE, file) != CAM_SUCCESS);
        QVERIFY(!lastErrorText(h).isEmpty());
        QCOMPARE(readList(h, CAM_HP_DRIVER_LIST_COUNT), (Words{1, 1, 1}));
    }

    void eepromFilePerSerial()
    {
        // A list an earlier version stored under a plain serial, in the list file format.
        QVERIFY(QDir().mkpath(QFileInfo(eepromFile()).path()));
        const QString earlier =
            QFileInfo(eepromFile()).path() + QStringLiteral("/eeprom-CAM_1.bin");
        QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, {1, 5, 6}), CAM_SUCCESS);
        QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, earlier), CAM_SUCCESS);
        QVERIFY(colour.loadWorld(testWorld({"", "", ""})
                                     .replace("TEST1", "CAM_1")
                                     .replace("TEST2", "CAM.1")
                                     .replace("TEST3", "CAM/1")));
        // Serials that differ only in punctuation keep lists of their own.
        KivoTestSession cameras[2];
        for (uint16_t i = 0; i < 2; ++i) {
            QVERIFY(cameras[i].open(i + 2U, false));
            QCOMPARE(send(cameras[i].handle(), CAM_HP_USER_WRITE, {1, i, i}), CAM_SUCCESS);
        }
        QCOMPARE(controlList(KivoSimReadEeprom, "CAM_1"), (Words{1, 5, 6}));
        QCOMPARE(controlList(KivoSimReadEeprom, "CAM.1"), (Words{1, 0, 0}));
        QCOMPARE(controlList(KivoSimReadEeprom, "CAM/1"), (Words{1, 1, 1}));
    }

    void killedWritesLeaveOldOrNewList()
    {
        // Lists of 1000 and 900 entries: an EEPROM write takes about 30 ms.
        const QByteArray world = testWorld({R"("maxUserCount":1000)", ""});
        const QString worldFile = environment.path() + QStringLiteral("/kill-world.json");
        QVERIFY(TestUtils::writeFile(worldFile, world));
        // The writer holds the first camera; the second reads its files back.
        KivoTestSession reader;
        QVERIFY(reader.loadWorld(world) && reader.open(2, false));
        const QString directory = environment.path() + QStringLiteral("/kill");
        const QString target = directory + QStringLiteral("/target.bin");
        QVERIFY(QDir().mkpath(directory));
        const QStringList arguments{QStringLiteral("write"), target};
        const Words lists[2] = {grid(1000), grid(900, 1)};
        QProcess writer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIVO_SIM_CONFIG"), worldFile);
        writer.setProcessEnvironment(env);
        for (int point = 0; point < 200; ++point) {
            writer.start(QStringLiteral(KIVO_SIM_HOST_PATH), arguments);
            QVERIFY(writer.waitForReadyRead(30000));
            // The kill points spread over about two rounds of writing.
            std::this_thread::sleep_for(std::chrono::microseconds(point * 350));
            writer.kill();
            QVERIFY(writer.waitForFinished(30000));
            const Words eeprom = controlList(KivoSimReadEeprom, "TEST1");
            QCOMPARE(fileCommand(reader.handle(), CAM_HP_DRIVER_LIST_LOAD_FILE, target),
                     CAM_SUCCESS);
            const Words saved = readList(reader.handle(), CAM_HP_DRIVER_LIST_COUNT);
            QVERIFY2(eeprom == lists[0] || eeprom == lists[1], qPrintable(QString::number(point)));
            QVERIFY2(saved == lists[0] || saved == lists[1], qPrintable(QString::number(point)));
        }
        // The next writer to start clears the temporaries the killed ones left.
        writer.start(QStringLiteral(KIVO_SIM_HOST_PATH), arguments);
        QVERIFY(writer.waitForReadyRead(30000));
        writer.closeWriteChannel();
        QVERIFY(writer.waitForFinished(30000) && writer.exitCode() == 0);
        QCOMPARE(QDir(directory).entryList(QDir::Files), QStringList{QStringLiteral("target.bin")});
        QCOMPARE(QDir(QFileInfo(eepromFile()).path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("eeprom-TEST1.bin")});
    }

    void unplugDuringEepromWriteKeepsOldList()
    {
        // A thousand entries take a second to program.
        QVERIFY(colour.loadWorld(testWorld({R"("maxUserCount":1000,"eepromMsPerHundred":100)"})));
        KivoTestSession camera;
        QVERIFY(camera.open(1, false));
        QCOMPARE(send(camera.handle(), CAM_HP_USER_WRITE, {1, 5, 6}), CAM_SUCCESS);
        const QString file = QFileInfo(eepromFile()).path() + QStringLiteral("/eeprom-TEST1.bin");
        const QByteArray before = readAll(file);
        auto write = std::async(std::launch::async, [&] {
            return send(camera.handle(), CAM_HP_USER_WRITE, grid(1000));
        });
        // Unplugged once the first pages of the new list are programmed.
        QTRY_VERIFY(readAll(file) != before);
        QCOMPARE(KivoSimSetPlugged("TEST1", 0), 0);
        QVERIFY(write.get() != CAM_SUCCESS);
        QVERIFY2(lastErrorText(camera.handle()).contains("unplugged during"),
                 lastErrorText(camera.handle()).constData());
        QCOMPARE(KivoSimSetPlugged("TEST1", 1), 0);
        QCOMPARE(readList(camera.handle(), CAM_HP_USER_COUNT), (Words{1, 5, 6}));
    }

    void damagedEepromIsReported()
    {
        QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, {1, 1, 2}), CAM_SUCCESS);
        QVERIFY(TestUtils::writeFile(eepromFile(), "garbage"));
        QVERIFY(readList(colour.handle(), CAM_HP_USER_COUNT).empty());
        QVERIFY(lastErrorText(colour.handle()).contains("EEPROM"));
        QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, {1, 5, 6}), CAM_SUCCESS);
        QCOMPARE(readList(colour.handle(), CAM_HP_USER_COUNT), (Words{1, 5, 6}));
    }
};

QTEST_GUILESS_MAIN(TestKivoHotPixel)

#include "tst_kivohotpixel.moc"
