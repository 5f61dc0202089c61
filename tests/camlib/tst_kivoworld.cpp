#include "kivo_api.h"
#include "kivo_control.h"
#include "kivotestsession.h"
#include "testutils.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <functional>
#include <vector>

using Call = std::function<int32_t()>;
Q_DECLARE_METATYPE(Call)

namespace {

// The child mode of this test program: prints the serial of each listed camera.
constexpr char childVariable[] = "KIVO_TEST_LIST_CAMERAS";

std::vector<CAM_CAMERA_INFO> listCameras(uint32_t capacity)
{
    std::vector<uint32_t> storage(1 + capacity * sizeof(CAM_CAMERA_INFO) / 4);
    auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
    list->count = capacity;
    if (CamList(list) != CAM_SUCCESS)
        return {};
    return std::vector<CAM_CAMERA_INFO>(list->cameras, list->cameras + list->count);
}

CAM_CAMERA_INFO listed(const char* serial)
{
    for (const CAM_CAMERA_INFO& info : listCameras(8)) {
        if (qstrcmp(info.serial, serial) == 0)
            return info;
    }
    return CAM_CAMERA_INFO();
}

QByteArray oneCamera(const QByteArray& fields)
{
    return R"({"cameras":[{"serial":"CFG01","model":"Config test","deviceId":9,"width":64,)"
           R"("height":48)" +
           (fields.isEmpty() ? QByteArray() : "," + fields) + "}]}";
}

int32_t openDevice(uint32_t request, uint32_t& handle)
{
    handle = request;
    return CamOpen(&handle, nullptr);
}

} // namespace

class TestKivoWorld : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void defaultWorldIsListed();
    void listWritesNoMoreThanItsCapacity();
    void openCameraIsListedInUse();
    void openIsRefused_data();
    void openIsRefused();
    void firmwareUploadIsNeededOnce();
    void sensorAndDeviceRecords();
    void badWorldIsRefused_data();
    void badWorldIsRefused();
    void configurationFile_data();
    void configurationFile();
    void injectedFaults();
    void injectedFaultsAreChecked_data();
    void injectedFaultsAreChecked();
    void badInputFails_data();
    void badInputFails();

private:
    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;
};

void TestKivoWorld::init()
{
    camera.close();
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
}

void TestKivoWorld::cleanup()
{
    KivoSimClearFaults();
}

void TestKivoWorld::defaultWorldIsListed()
{
    int32_t count = 0;
    QCOMPARE(CamCount(&count), CAM_SUCCESS);
    QCOMPARE(count, 3);
    const std::vector<CAM_CAMERA_INFO> cameras = listCameras(3);
    QCOMPARE(cameras.size(), size_t(3));
    QCOMPARE(QByteArray(cameras[0].serial), QByteArray(DefaultWorld::colourSerial));
    QCOMPARE(cameras[0].deviceId, DefaultWorld::colourDevice);
    QCOMPARE(cameras[0].inUse, 0U);
    QCOMPARE(QByteArray(cameras[1].serial), QByteArray(DefaultWorld::monoSerial));
    QCOMPARE(cameras[1].deviceId, DefaultWorld::monoDevice);
    QCOMPARE(cameras[1].inUse, 0U);
    QCOMPARE(QByteArray(cameras[2].serial), QByteArray(DefaultWorld::busySerial));
    QVERIFY(cameras[2].inUse != 0);
    for (const CAM_CAMERA_INFO& info : cameras)
        QVERIFY(qstrlen(info.model) > 0);
}

void TestKivoWorld::listWritesNoMoreThanItsCapacity()
{
    std::vector<uint8_t> storage(4 + 2 * sizeof(CAM_CAMERA_INFO), 0xAB);
    auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
    list->count = 1;
    QCOMPARE(CamList(list), CAM_SUCCESS);
    QCOMPARE(list->count, 1U);
    QCOMPARE(list->cameras[0].deviceId, DefaultWorld::colourDevice);
    for (size_t i = 4 + sizeof(CAM_CAMERA_INFO); i < storage.size(); ++i)
        QCOMPARE(storage[i], uint8_t(0xAB));
}

void TestKivoWorld::openCameraIsListedInUse()
{
    QVERIFY(camera.open(DefaultWorld::colourDevice, false));
    QVERIFY(listed(DefaultWorld::colourSerial).inUse != 0);
    camera.close();
    QCOMPARE(listed(DefaultWorld::colourSerial).inUse, 0U);
    QCOMPARE(KivoSimSetInUse(DefaultWorld::monoSerial, 1), 0);
    QVERIFY(listed(DefaultWorld::monoSerial).inUse != 0);
}

void TestKivoWorld::openIsRefused_data()
{
    QTest::addColumn<uint32_t>("request");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("already open here")
        << (DefaultWorld::colourDevice | CAM_USE_DEVICE_ID) << QByteArray("already open");
    QTest::newRow("held by another program")
        << (DefaultWorld::busyDevice | CAM_USE_DEVICE_ID) << QByteArray("another program");
    QTest::newRow("no such device") << (77U | CAM_USE_DEVICE_ID) << QByteArray("No camera");
    QTest::newRow("unplugged") << (DefaultWorld::monoDevice | CAM_USE_DEVICE_ID)
                               << QByteArray("No camera");
}

void TestKivoWorld::openIsRefused()
{
    QFETCH(uint32_t, request);
    QFETCH(QByteArray, text);
    QVERIFY(camera.open(DefaultWorld::colourDevice, false));
    QCOMPARE(KivoSimSetPlugged(DefaultWorld::monoSerial, 0), 0);
    uint32_t handle = 0;
    const int32_t status = openDevice(request, handle);
    QVERIFY(status != CAM_SUCCESS);
    QVERIFY2(lastErrorText(0).contains(text), lastErrorText(0).constData());
}

void TestKivoWorld::firmwareUploadIsNeededOnce()
{
    QCOMPARE(KivoSimLoadWorld(oneCamera(R"("firmwareUploadMs":12500)").constData()), 0);
    uint32_t handle = 0;
    QCOMPARE(openDevice(9 | CAM_USE_DEVICE_ID, handle), CAM_FIRMWARE_UPLOAD_NEEDED);
    QVERIFY(!lastErrorText(0).isEmpty());
    uint32_t ms = 0;
    // Not open yet: the handle is still the device id with its flag.
    QCOMPARE(CamDuration(9 | CAM_USE_DEVICE_ID, CAM_DURATION_FIRMWARE_UPLOAD, &ms), CAM_SUCCESS);
    QCOMPARE(ms, 12500U);
    QCOMPARE(openDevice(9 | CAM_USE_DEVICE_ID | CAM_ALLOW_FIRMWARE_UPLOAD, handle), CAM_SUCCESS);
    QVERIFY(handle != 0);
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
    QCOMPARE(openDevice(9 | CAM_USE_DEVICE_ID, handle), CAM_SUCCESS);
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
}

void TestKivoWorld::sensorAndDeviceRecords()
{
    QCOMPARE(KivoSimLoadWorld(oneCamera(R"("sensorId":"0x20B","color":"mono")").constData()), 0);
    uint32_t handle = 0;
    QCOMPARE(openDevice(9 | CAM_USE_DEVICE_ID, handle), CAM_SUCCESS);
    uint8_t sensor[80];
    QCOMPARE(CamSensorInfo(handle, reinterpret_cast<CAM_SENSOR_INFO*>(sensor)), CAM_SUCCESS);
    uint16_t id = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    memcpy(&id, sensor, 2);
    memcpy(&width, sensor + 36, 4);
    memcpy(&height, sensor + 40, 4);
    QCOMPARE(id, uint16_t(0x20B));
    QCOMPARE(width, 64U);
    QCOMPARE(height, 48U);
    CAM_DEVICE_INFO device;
    QCOMPARE(CamDeviceInfo(handle, &device), CAM_SUCCESS);
    QCOMPARE(QByteArray(device.serial), QByteArray("CFG01"));
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
}

void TestKivoWorld::badWorldIsRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("not JSON") << QByteArray("{\"cameras\": [") << QByteArray("not valid JSON");
    QTest::newRow("no cameras key") << QByteArray("{}") << QByteArray("cameras: missing");
    QTest::newRow("misspelt key") << oneCamera(R"("widht":3)")
                                  << QByteArray("cameras[0].widht: unknown key");
    QTest::newRow("missing serial")
        << QByteArray(R"({"cameras":[{"model":"M","deviceId":1,"width":64,"height":48}]})")
        << QByteArray("cameras[0].serial: missing");
    QTest::newRow("width too small")
        << QByteArray(oneCamera("").replace("64", "8")) << QByteArray("cameras[0].width");
    QTest::newRow("hot pixel off the sensor")
        << oneCamera(R"("factoryList":[[1,2],[64,0]])") << QByteArray("cameras[0].factoryList[1]");
    QTest::newRow("more user entries than allowed")
        << oneCamera(R"("maxUserCount":1,"userList":[[1,1],[2,2]])")
        << QByteArray("cameras[0].userList");
    QTest::newRow("clock range reversed") << oneCamera(R"("pixelClock":{"min":50,"max":10})")
                                          << QByteArray("cameras[0].pixelClock.max");
    QTest::newRow("device id twice")
        << QByteArray(R"({"cameras":[{"serial":"A","model":"M","deviceId":4,"width":64,)"
                      R"("height":48},{"serial":"B","model":"M","deviceId":4,"width":64,)"
                      R"("height":48}]})")
        << QByteArray("cameras[1].deviceId");
    QTest::newRow("colour misnamed")
        << oneCamera(R"("color":"colour")") << QByteArray("cameras[0].color");
}

void TestKivoWorld::badWorldIsRefused()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, message);
    QVERIFY(camera.open(DefaultWorld::colourDevice, false));
    QCOMPARE(KivoSimLoadWorld(json.constData()), -1);
    QVERIFY2(QByteArray(KivoSimLastMessage()).contains(message), KivoSimLastMessage());
    // The world stays as it was, open camera included.
    int32_t count = 0;
    QCOMPARE(CamCount(&count), CAM_SUCCESS);
    QCOMPARE(count, 3);
    QVERIFY(listed(DefaultWorld::colourSerial).inUse != 0);
}

void TestKivoWorld::configurationFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("writeFile");
    QTest::addColumn<QByteArray>("serials");
    QTest::addColumn<int>("stderrLines");
    const QByteArray defaults = "SIM0001280 SIM0000752 SIM0001600";
    QTest::newRow("good file") << oneCamera("") << true << QByteArray("CFG01") << 0;
    QTest::newRow("empty world") << QByteArray(R"({"cameras":[]})") << true << QByteArray() << 0;
    QTest::newRow("broken file") << QByteArray("{\"cameras\":") << true << defaults << 1;
    QTest::newRow("bad field") << oneCamera(R"("pixelClock":{"initial":5000})") << true << defaults
                               << 1;
    QTest::newRow("missing file") << QByteArray() << false << defaults << 1;
}

void TestKivoWorld::configurationFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, writeFile);
    QFETCH(QByteArray, serials);
    QFETCH(int, stderrLines);
    const QString path = environment.path() + QStringLiteral("/world.json");
    QFile::remove(path);
    if (writeFile) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KIVO_SIM_CONFIG"), path);
    env.insert(QString::fromLatin1(childVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput().simplified(), serials);
    const QByteArray errors = child.readAllStandardError();
    QCOMPARE(errors.count('\n'), stderrLines);
    if (stderrLines)
        QVERIFY2(errors.startsWith("kivo-sim: configuration ") && errors.contains("built-in"),
                 errors.constData());
}

void TestKivoWorld::injectedFaults()
{
    QCOMPARE(KivoSimInjectFault("CamOpen", 2, 321), 0);
    uint32_t handle = 0;
    QCOMPARE(openDevice(DefaultWorld::colourDevice | CAM_USE_DEVICE_ID, handle), 321);
    QVERIFY(lastErrorText(0).contains("CamOpen"));
    QCOMPARE(openDevice(DefaultWorld::colourDevice | CAM_USE_DEVICE_ID, handle), 321);
    QCOMPARE(openDevice(DefaultWorld::colourDevice | CAM_USE_DEVICE_ID, handle), CAM_SUCCESS);

    // A command of its own fails; the others go on working.
    QCOMPARE(KivoSimInjectFault("CamHotPixel:0x8107", 1, 55), 0);
    uint32_t factoryCount = 0;
    uint32_t maxCount = 0;
    QCOMPARE(CamHotPixel(handle, CAM_HP_USER_MAX_COUNT, &maxCount, 4), CAM_SUCCESS);
    QCOMPARE(CamHotPixel(handle, CAM_HP_FACTORY_COUNT, &factoryCount, 4), 55);
    QCOMPARE(lastErrorText(handle).contains("CamHotPixel"), true);
    QCOMPARE(CamHotPixel(handle, CAM_HP_FACTORY_COUNT, &factoryCount, 4), CAM_SUCCESS);

    QCOMPARE(KivoSimInjectFault("CamGain", 5, 9), 0);
    QCOMPARE(CamGain(handle, 10, -1, -1, -1), 9);
    QCOMPARE(KivoSimInjectFault("CamGain", 0, 9), 0);
    QCOMPARE(CamGain(handle, 10, -1, -1, -1), CAM_SUCCESS);
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
}

void TestKivoWorld::injectedFaultsAreChecked_data()
{
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown operation") << QByteArray("CamFly") << 1 << 5;
    QTest::newRow("command on a call without commands") << QByteArray("CamOpen:1") << 1 << 5;
    QTest::newRow("command not a number") << QByteArray("CamHotPixel:abc") << 1 << 5;
    QTest::newRow("negative count") << QByteArray("CamOpen") << -1 << 5;
    QTest::newRow("status 0") << QByteArray("CamOpen") << 1 << 0;
}

void TestKivoWorld::injectedFaultsAreChecked()
{
    QFETCH(QByteArray, operation);
    QFETCH(int, count);
    QFETCH(int, status);
    QCOMPARE(KivoSimInjectFault(operation.constData(), count, status), -1);
    QVERIFY(qstrlen(KivoSimLastMessage()) > 0);
    uint32_t handle = 0;
    QCOMPARE(openDevice(DefaultWorld::colourDevice | CAM_USE_DEVICE_ID, handle), CAM_SUCCESS);
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
}

void TestKivoWorld::badInputFails_data()
{
    QTest::addColumn<Call>("call");
    // c->handle() is the camera opened by the test function before the call runs.
    KivoTestSession* c = &camera;
    static double d = 0;
    static int32_t i = 0;
    static char* p = nullptr;
    static char bytes[64];
    QTest::newRow("count, null") << Call([] { return CamCount(nullptr); });
    QTest::newRow("list, null") << Call([] { return CamList(nullptr); });
    QTest::newRow("open, null") << Call([] { return CamOpen(nullptr, nullptr); });
    QTest::newRow("open, window") << Call([] {
        uint32_t h = DefaultWorld::monoDevice | CAM_USE_DEVICE_ID;
        return CamOpen(&h, bytes);
    });
    QTest::newRow("open, stray bits") << Call([] {
        uint32_t h = 0x40000 | DefaultWorld::monoDevice | CAM_USE_DEVICE_ID;
        return CamOpen(&h, nullptr);
    });
    QTest::newRow("close, unknown handle") << Call([] { return CamClose(999); });
    QTest::newRow("last error, null") << Call([] { return CamLastError(0, nullptr, nullptr); });
    QTest::newRow("sensor info, null") << Call([c] { return CamSensorInfo(c->handle(), nullptr); });
    QTest::newRow("duration, unknown mode")
        << Call([c] { return CamDuration(c->handle(), 2, reinterpret_cast<uint32_t*>(bytes)); });
    QTest::newRow("colour mode 5") << Call([c] { return CamColorMode(c->handle(), 5); });
    QTest::newRow("area, 12 bytes")
        << Call([c] { return CamImageArea(c->handle(), 1, bytes, 12); });
    QTest::newRow("area, too wide") << Call([c] {
        int32_t area[4] = {8, 0, c->width(), c->height()};
        return CamImageArea(c->handle(), 1, area, 16);
    });
    QTest::newRow("area, unknown command")
        << Call([c] { return CamImageArea(c->handle(), 7, bytes, 8); });
    QTest::newRow("alloc, 12 bits")
        << Call([c] { return CamAllocBuffer(c->handle(), 64, 64, 12, &p, &i); });
    QTest::newRow("alloc, negative width")
        << Call([c] { return CamAllocBuffer(c->handle(), -64, 64, 8, &p, &i); });
    QTest::newRow("alloc, huge") << Call(
        [c] { return CamAllocBuffer(c->handle(), 1 << 30, 1 << 30, 32, &p, &i); });
    QTest::newRow("free, foreign address")
        << Call([c] { return CamFreeBuffer(c->handle(), bytes, 1); });
    QTest::newRow("ring add, twice")
        << Call([c] { return CamRingAdd(c->handle(), c->buffers()[0], 1); });
    QTest::newRow("lock, foreign address")
        << Call([c] { return CamRingLock(c->handle(), -1, bytes); });
    QTest::newRow("latest before any frame")
        << Call([c] { return CamRingLatest(c->handle(), nullptr, nullptr, &p); });
    QTest::newRow("pixel clock, above range")
        << Call([c] { return CamPixelClock(c->handle(), 5000); });
    QTest::newRow("pixel clock range, null")
        << Call([c] { return CamPixelClockRange(c->handle(), nullptr, &i); });
    QTest::newRow("frame rate 0") << Call([c] { return CamFrameRate(c->handle(), 0.0, &d); });
    QTest::newRow("frame rate, null")
        << Call([c] { return CamFrameRate(c->handle(), 5.0, nullptr); });
    QTest::newRow("frame time range, null")
        << Call([c] { return CamFrameTimeRange(c->handle(), &d, nullptr, &d); });
    QTest::newRow("exposure, null") << Call([c] { return CamExposure(c->handle(), 5.0, nullptr); });
    QTest::newRow("gain 101") << Call([c] { return CamGain(c->handle(), 101, -1, -1, -1); });
    QTest::newRow("blue gain -2") << Call([c] { return CamGain(c->handle(), 5, -1, -1, -2); });
    QTest::newRow("start, unknown handle") << Call([] { return CamStartCapture(12345, 0); });
}

void TestKivoWorld::badInputFails()
{
    QFETCH(Call, call);
    // Small cameras under the default device ids keep the many rows quick.
    QCOMPARE(
        KivoSimLoadWorld(R"({"cameras":[)"
                         R"({"serial":"BI01","model":"M","deviceId":1,"width":64,"height":48},)"
                         R"({"serial":"BI02","model":"M","deviceId":2,"width":64,"height":48}]})"),
        0);
    QVERIFY(camera.open(DefaultWorld::colourDevice, false));
    const int32_t status = call();
    QVERIFY(status != CAM_SUCCESS);
    // The camera is still usable afterwards.
    QCOMPARE(CamStartCapture(camera.handle(), 0), CAM_SUCCESS);
    QVERIFY(camera.waitFrame());
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(childVariable)) {
        for (const CAM_CAMERA_INFO& info : listCameras(16))
            std::printf("%s\n", info.serial);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestKivoWorld test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kivoworld.moc"
