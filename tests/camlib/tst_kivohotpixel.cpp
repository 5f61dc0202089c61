#include "kivo_api.h"
#include "kivo_control.h"
#include "kivotestsession.h"
#include "testutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <utility>
#include <vector>

using Words = std::vector<uint16_t>;
Q_DECLARE_METATYPE(Words)

namespace {

// The child mode of this test program: prints the colour camera's EEPROM
// user list as CamHotPixel gives it, word by word.
constexpr char childVariable[] = "KIVO_TEST_PRINT_EEPROM";

Words listOf(std::initializer_list<std::pair<int, int>> entries)
{
    Words words{uint16_t(entries.size())};
    for (const auto& e : entries) {
        words.push_back(uint16_t(e.first));
        words.push_back(uint16_t(e.second));
    }
    return words;
}

Words numbered(int count)
{
    Words words{uint16_t(count)};
    for (int i = 0; i < count; ++i) {
        words.push_back(uint16_t(10 + i));
        words.push_back(uint16_t(20 + i));
    }
    return words;
}

int32_t send(uint32_t handle, uint32_t command, Words words)
{
    return CamHotPixel(handle, command, words.data(), uint32_t(words.size() * 2));
}

// Reads a list with its count command and list command; empty on failure.
Words readList(uint32_t handle, uint32_t countCommand, uint32_t listCommand)
{
    uint32_t count = 0;
    if (CamHotPixel(handle, countCommand, &count, 4) != CAM_SUCCESS)
        return {};
    Words words(2 * size_t(count) + 1, 0xFFFF);
    if (CamHotPixel(handle, listCommand, words.data(), uint32_t(words.size() * 2)) != CAM_SUCCESS)
        return {};
    return words;
}

Words eeprom(uint32_t handle)
{
    return readList(handle, CAM_HP_USER_COUNT, CAM_HP_USER_LIST);
}

Words driverList(uint32_t handle)
{
    return readList(handle, CAM_HP_DRIVER_LIST_COUNT, CAM_HP_DRIVER_LIST_GET);
}

// A NUL-terminated UTF-16 file name.
std::vector<char16_t> wide(const QString& path)
{
    std::vector<char16_t> name(path.utf16(), path.utf16() + path.size());
    name.push_back(0);
    return name;
}

int32_t fileCommand(uint32_t handle, uint32_t command, const QString& path)
{
    std::vector<char16_t> name = wide(path);
    return CamHotPixel(handle, command, name.data(), 0);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QString eepromDirectory()
{
    return QFile::decodeName(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/kivo-sim");
}

int printEeprom()
{
    KivoTestSession camera;
    if (!camera.open(DefaultWorld::colourDevice, false))
        return 1;
    for (uint16_t w : eeprom(camera.handle()))
        std::printf("%u ", unsigned(w));
    return 0;
}

} // namespace

class TestKivoHotPixel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void correctionModes_data();
    void correctionModes();
    void factoryList();
    void eepromListStartsWithConfiguredEntries();
    void eepromWriteReplacesAndDeleteEmpties();
    void eepromWriteIsChecked_data();
    void eepromWriteIsChecked();
    void cameraWithoutListStoresNothing();
    void driverListBelongsToTheHandle();
    void driverListSetIsChecked_data();
    void driverListSetIsChecked();
    void binaryFileRoundTrip();
    void badFileChangesNothing_data();
    void badFileChangesNothing();
    void eepromSurvivesANewProcess();
    void damagedEepromIsReported();

private:
    TestUtils::IsolatedEnvironment environment;
    KivoTestSession colour;
    KivoTestSession mono;
};

void TestKivoHotPixel::init()
{
    colour.close();
    mono.close();
    QVERIFY(QDir(eepromDirectory()).removeRecursively());
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
    QVERIFY(colour.open(DefaultWorld::colourDevice, false));
    QVERIFY(mono.open(DefaultWorld::monoDevice, false));
}

void TestKivoHotPixel::correctionModes_data()
{
    QTest::addColumn<bool>("colourCamera");
    QTest::addColumn<uint32_t>("modes");
    QTest::newRow("colour camera stores its list") << true << 3U;
    QTest::newRow("mono camera corrects in software only") << false << 1U;
}

void TestKivoHotPixel::correctionModes()
{
    QFETCH(bool, colourCamera);
    QFETCH(uint32_t, modes);
    const uint32_t handle = colourCamera ? colour.handle() : mono.handle();
    uint32_t value = 0;
    QCOMPARE(CamHotPixel(handle, CAM_HP_GET_SUPPORTED_MODES, &value, 4), CAM_SUCCESS);
    QCOMPARE(value, modes);
    QCOMPARE(CamHotPixel(handle, CAM_HP_ENABLE_CAMERA_CORRECTION, nullptr, 0) == CAM_SUCCESS,
             colourCamera);
    QCOMPARE(CamHotPixel(handle, CAM_HP_DISABLE, nullptr, 0), CAM_SUCCESS);
    QVERIFY(CamHotPixel(handle, CAM_HP_GET_SUPPORTED_MODES, &value, 2) != CAM_SUCCESS);
}

void TestKivoHotPixel::factoryList()
{
    const Words expected = controlList(KivoSimReadFactoryList, DefaultWorld::colourSerial);
    QVERIFY(expected.size() > 20);
    QCOMPARE(readList(colour.handle(), CAM_HP_FACTORY_COUNT, CAM_HP_FACTORY_LIST), expected);
    Words tooShort(expected.size() - 1);
    QVERIFY(send(colour.handle(), CAM_HP_FACTORY_LIST, tooShort) != CAM_SUCCESS);
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_FACTORY_LIST, nullptr, 0) != CAM_SUCCESS);
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_FACTORY_COUNT, nullptr, 4) != CAM_SUCCESS);
}

void TestKivoHotPixel::eepromListStartsWithConfiguredEntries()
{
    const Words configured = controlList(KivoSimReadEeprom, DefaultWorld::colourSerial);
    QCOMPARE(configured.size(), size_t(5));
    QCOMPARE(eeprom(colour.handle()), configured);
    uint32_t max = 0;
    QCOMPARE(CamHotPixel(colour.handle(), CAM_HP_USER_MAX_COUNT, &max, 4), CAM_SUCCESS);
    QCOMPARE(max, 100U);
}

void TestKivoHotPixel::eepromWriteReplacesAndDeleteEmpties()
{
    const Words list = listOf({{5, 6}, {7, 8}, {1279, 1023}});
    QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, list), CAM_SUCCESS);
    QCOMPARE(eeprom(colour.handle()), list);
    QCOMPARE(controlList(KivoSimReadEeprom, DefaultWorld::colourSerial), list);
    QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, numbered(100)), CAM_SUCCESS);
    QCOMPARE(eeprom(colour.handle()), numbered(100));

    QCOMPARE(CamHotPixel(colour.handle(), CAM_HP_USER_DELETE, nullptr, 0), CAM_SUCCESS);
    uint32_t count = 99;
    QCOMPARE(CamHotPixel(colour.handle(), CAM_HP_USER_COUNT, &count, 4), CAM_SUCCESS);
    QCOMPARE(count, 0U);
    // Emptied is not the same as never written: the configured list stays gone.
    colour.close();
    QVERIFY(colour.open(DefaultWorld::colourDevice, false));
    QCOMPARE(CamHotPixel(colour.handle(), CAM_HP_USER_COUNT, &count, 4), CAM_SUCCESS);
    QCOMPARE(count, 0U);
}

void TestKivoHotPixel::eepromWriteIsChecked_data()
{
    QTest::addColumn<Words>("words");
    QTest::addColumn<int>("byteSize");
    const Words two = listOf({{1, 2}, {3, 4}});
    QTest::newRow("one above the maximum") << numbered(101) << 101 * 4 + 2;
    QTest::newRow("size for fewer entries") << two << 6;
    QTest::newRow("size for more entries") << Words{2, 1, 2, 3, 4, 0, 0} << 14;
    QTest::newRow("odd size") << two << 9;
    QTest::newRow("count word only, size 0") << Words{0} << 0;
    QTest::newRow("entry right of the sensor") << listOf({{1280, 5}}) << 6;
    QTest::newRow("entry below the sensor") << listOf({{5, 1024}}) << 6;
}

void TestKivoHotPixel::eepromWriteIsChecked()
{
    QFETCH(Words, words);
    QFETCH(int, byteSize);
    const Words before = eeprom(colour.handle());
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_USER_WRITE, words.data(), uint32_t(byteSize)) !=
            CAM_SUCCESS);
    QVERIFY(!lastErrorText(colour.handle()).isEmpty());
    QCOMPARE(eeprom(colour.handle()), before);
}

void TestKivoHotPixel::cameraWithoutListStoresNothing()
{
    uint32_t value = 77;
    QCOMPARE(CamHotPixel(mono.handle(), CAM_HP_USER_MAX_COUNT, &value, 4), CAM_SUCCESS);
    QCOMPARE(value, 0U);
    QVERIFY(CamHotPixel(mono.handle(), CAM_HP_USER_COUNT, &value, 4) != CAM_SUCCESS);
    QVERIFY(send(mono.handle(), CAM_HP_USER_WRITE, listOf({{1, 1}})) != CAM_SUCCESS);
    QVERIFY(lastErrorText(mono.handle()).contains("cannot store"));
    QVERIFY(CamHotPixel(mono.handle(), CAM_HP_USER_DELETE, nullptr, 0) != CAM_SUCCESS);
    QVERIFY(readList(mono.handle(), CAM_HP_FACTORY_COUNT, CAM_HP_FACTORY_LIST).size() > 1);
}

void TestKivoHotPixel::driverListBelongsToTheHandle()
{
    // None after the open, and saving none is an error.
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS);
    uint32_t count = 0;
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_DRIVER_LIST_COUNT, &count, 4) != CAM_SUCCESS);
    const QString file = environment.path() + QStringLiteral("/none.bin");
    QVERIFY(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file) != CAM_SUCCESS);
    QVERIFY(!QFile::exists(file));

    QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, Words{0}), CAM_SUCCESS);
    QCOMPARE(CamHotPixel(colour.handle(), CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0), CAM_SUCCESS);
    QCOMPARE(driverList(colour.handle()), Words{0});
    const Words list = listOf({{3, 4}, {10, 20}});
    QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, list), CAM_SUCCESS);
    QCOMPARE(driverList(colour.handle()), list);
    // Another handle has its own, and a new open starts without one.
    QVERIFY(CamHotPixel(mono.handle(), CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS);
    colour.close();
    QVERIFY(colour.open(DefaultWorld::colourDevice, false));
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS);
}

void TestKivoHotPixel::driverListSetIsChecked_data()
{
    QTest::addColumn<Words>("words");
    QTest::addColumn<int>("byteSize");
    QTest::newRow("size for fewer entries") << listOf({{1, 2}, {3, 4}}) << 6;
    QTest::newRow("size one byte short") << listOf({{1, 2}}) << 5;
    QTest::newRow("no count word") << Words{} << 0;
    QTest::newRow("entry off the sensor") << listOf({{2000, 2}}) << 6;
}

void TestKivoHotPixel::driverListSetIsChecked()
{
    QFETCH(Words, words);
    QFETCH(int, byteSize);
    const Words held = listOf({{9, 9}});
    QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, held), CAM_SUCCESS);
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_DRIVER_LIST_SET,
                        words.empty() ? nullptr : words.data(), uint32_t(byteSize)) != CAM_SUCCESS);
    QCOMPARE(driverList(colour.handle()), held);
}

void TestKivoHotPixel::binaryFileRoundTrip()
{
    const QString file = environment.path() + QStringLiteral("/Liste \u00e4\u20ac.bin");
    const Words list = listOf({{3, 4}, {10, 20}, {751, 479}});
    QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, list), CAM_SUCCESS);
    QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file), CAM_SUCCESS);
    QVERIFY(readAll(file).startsWith("KVHP"));
    QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, listOf({{1, 1}})), CAM_SUCCESS);
    QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_LOAD_FILE, file), CAM_SUCCESS);
    QCOMPARE(driverList(colour.handle()), list);
    // Another camera's handle reads the same file into its own list.
    QCOMPARE(fileCommand(mono.handle(), CAM_HP_DRIVER_LIST_LOAD_FILE, file), CAM_SUCCESS);
    QCOMPARE(driverList(mono.handle()), list);
}

void TestKivoHotPixel::badFileChangesNothing_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("empty") << QStringLiteral("empty");
    QTest::newRow("truncated by one byte") << QStringLiteral("truncated");
    QTest::newRow("one byte longer") << QStringLiteral("overlong");
    QTest::newRow("corrupt entry") << QStringLiteral("corrupt");
    QTest::newRow("foreign text file") << QStringLiteral("foreign");
    QTest::newRow("future version") << QStringLiteral("version");
    QTest::newRow("entries beyond this sensor") << QStringLiteral("bigger sensor");
}

void TestKivoHotPixel::badFileChangesNothing()
{
    QFETCH(QString, damage);
    const QString file = environment.path() + QStringLiteral("/damaged.bin");
    QFile::remove(file);
    QCOMPARE(send(colour.handle(), CAM_HP_DRIVER_LIST_SET, listOf({{3, 4}, {700, 900}})),
             CAM_SUCCESS);
    QCOMPARE(fileCommand(colour.handle(), CAM_HP_DRIVER_LIST_SAVE_FILE, file), CAM_SUCCESS);
    QByteArray bytes = readAll(file);
    QCOMPARE(bytes.size(), 12 + 2 * 4 + 4);
    uint32_t target = colour.handle();
    if (damage == QLatin1String("missing"))
        QVERIFY(QFile::remove(file));
    else if (damage == QLatin1String("empty"))
        bytes.clear();
    else if (damage == QLatin1String("truncated"))
        bytes.chop(1);
    else if (damage == QLatin1String("overlong"))
        bytes.append('\0');
    else if (damage == QLatin1String("corrupt"))
        bytes[14] = char(bytes[14] ^ 0x01);
    else if (damage == QLatin1String("foreign"))
        bytes = "3 4 1\n700 900 1\n";
    else if (damage == QLatin1String("version"))
        bytes[4] = 2;
    else
        target = mono.handle();
    if (damage != QLatin1String("missing") && damage != QLatin1String("bigger sensor"))
        QVERIFY(writeAll(file, bytes));

    const Words held = listOf({{1, 1}});
    QCOMPARE(send(target, CAM_HP_DRIVER_LIST_SET, held), CAM_SUCCESS);
    QVERIFY(fileCommand(target, CAM_HP_DRIVER_LIST_LOAD_FILE, file) != CAM_SUCCESS);
    QVERIFY(!lastErrorText(target).isEmpty());
    QCOMPARE(driverList(target), held);
}

void TestKivoHotPixel::eepromSurvivesANewProcess()
{
    const Words configured = controlList(KivoSimReadEeprom, DefaultWorld::colourSerial);
    const Words list = listOf({{11, 12}, {13, 14}, {15, 16}});
    QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, list), CAM_SUCCESS);
    QVERIFY(QFile::exists(eepromDirectory() + QStringLiteral("/eeprom-SIM0001280.bin")));

    auto childList = [](const QString& dataHome) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        env.insert(QString::fromLatin1(childVariable), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        if (!child.waitForFinished(30000) || child.exitCode() != 0)
            return QByteArray("failed");
        return child.readAllStandardOutput().trimmed();
    };
    QCOMPARE(childList(QFile::decodeName(qgetenv("XDG_DATA_HOME"))),
             QByteArray("3 11 12 13 14 15 16"));
    // Elsewhere nothing was written, so the configured list applies.
    const QString elsewhere = environment.path() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    QByteArray expected;
    for (uint16_t w : configured)
        expected += QByteArray::number(w) + ' ';
    QCOMPARE(childList(elsewhere), expected.trimmed());
}

void TestKivoHotPixel::damagedEepromIsReported()
{
    QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, listOf({{1, 2}})), CAM_SUCCESS);
    const QString path = eepromDirectory() + QStringLiteral("/eeprom-SIM0001280.bin");
    QVERIFY(writeAll(path, "garbage"));
    uint32_t count = 0;
    QVERIFY(CamHotPixel(colour.handle(), CAM_HP_USER_COUNT, &count, 4) != CAM_SUCCESS);
    QVERIFY(lastErrorText(colour.handle()).contains("EEPROM"));
    // Writing a new list repairs it.
    QCOMPARE(send(colour.handle(), CAM_HP_USER_WRITE, listOf({{5, 6}})), CAM_SUCCESS);
    QCOMPARE(eeprom(colour.handle()), listOf({{5, 6}}));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(childVariable))
        return printEeprom();
    QCoreApplication app(argc, argv);
    TestKivoHotPixel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kivohotpixel.moc"
