#include "kivotestsession.h"

#include <QFile>
#include <QProcess>

#include <algorithm>

#include <sys/stat.h>

class TestKivoWorld : public QObject
{
    Q_OBJECT

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;

private slots:
    void init() { QVERIFY(camera.loadWorld()); }

    void cleanup() { KivoSimClearFaults(); }

    void countAndListWithinItsCapacity()
    {
        int32_t count = 0;
        QCOMPARE(CamCount(&count), CAM_SUCCESS);
        QCOMPARE(count, 3);
        // Room for one: one record, nothing written past it.
        std::vector<uint8_t> storage(4 + 2 * sizeof(CAM_CAMERA_INFO), 0xAB);
        auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
        list->count = 1;
        QCOMPARE(CamList(list), CAM_SUCCESS);
        QCOMPARE(list->count, 1U);
        QCOMPARE(list->cameras[0].deviceId, DefaultWorld::colourDevice);
        QVERIFY(std::all_of(storage.begin() + 4 + sizeof(CAM_CAMERA_INFO), storage.end(),
                            [](uint8_t b) { return b == 0xAB; }));
    }

    void openIsRefused_data()
    {
        QTest::addColumn<uint32_t>("device");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("already open here")
            << DefaultWorld::colourDevice << QByteArray("already open");
        QTest::newRow("held by another program") << 3U << QByteArray("another program");
        QTest::newRow("no such device") << 77U << QByteArray("No camera");
        QTest::newRow("unplugged") << DefaultWorld::monoDevice << QByteArray("No camera");
    }

    void openIsRefused()
    {
        QFETCH(uint32_t, device);
        QFETCH(QByteArray, text);
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        QCOMPARE(KivoSimSetPlugged(DefaultWorld::monoSerial, 0), 0);
        uint32_t handle = device | CAM_USE_DEVICE_ID;
        QVERIFY(CamOpen(&handle, nullptr) != CAM_SUCCESS);
        QVERIFY2(lastErrorText(0).contains(text), lastErrorText(0).constData());
    }

    void cameraOfAnotherProgram_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("the other program exits") << false;
        QTest::newRow("the other program is killed") << true;
    }

    void cameraOfAnotherProgram()
    {
        QFETCH(bool, killed);
        QProcess other;
        other.start(QStringLiteral(KIVO_SIM_HOST_PATH), {QStringLiteral("hold")});
        QVERIFY(other.waitForReadyRead(30000));
        QVERIFY(listed(DefaultWorld::colourSerial).inUse != 0);
        uint32_t handle = DefaultWorld::colourDevice | CAM_USE_DEVICE_ID;
        QVERIFY(CamOpen(&handle, nullptr) != CAM_SUCCESS);
        // Camera id 0 asks for the first free camera.
        handle = 0;
        CAM_DEVICE_INFO device;
        QCOMPARE(CamOpen(&handle, nullptr), CAM_SUCCESS);
        QCOMPARE(CamDeviceInfo(handle, &device), CAM_SUCCESS);
        QCOMPARE(CamClose(handle), CAM_SUCCESS);
        QCOMPARE(QByteArray(device.serial), QByteArray(DefaultWorld::monoSerial));
        if (killed)
            other.kill();
        else
            other.closeWriteChannel();
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(listed(DefaultWorld::colourSerial).inUse, 0U);
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
    }

    void badWorldIsRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("not JSON") << QByteArray("{\"cameras\": [") << QByteArray("not valid JSON");
        QTest::newRow("no cameras key") << QByteArray("{}") << QByteArray("cameras: missing");
        QTest::newRow("misspelt key")
            << testWorld({R"("widht":3)"}) << QByteArray("cameras[0].widht: unknown key");
        QTest::newRow("missing serial") << testWorld({""}).replace(R"("serial":"TEST1",)", "")
                                        << QByteArray("cameras[0].serial: missing");
        QTest::newRow("width too small")
            << testWorld({""}).replace("64", "8") << QByteArray("cameras[0].width");
        QTest::newRow("hot pixel off the sensor") << testWorld({R"("factoryList":[[1,2],[64,0]])"})
                                                  << QByteArray("cameras[0].factoryList[1]");
        QTest::newRow("more user entries than allowed")
            << testWorld({R"("maxUserCount":1,"userList":[[1,1],[2,2]])"})
            << QByteArray("cameras[0].userList");
        QTest::newRow("clock range reversed") << testWorld({R"("pixelClock":{"min":50,"max":10})"})
                                              << QByteArray("cameras[0].pixelClock.max");
        QTest::newRow("device id twice")
            << testWorld({"", ""}).replace(R"("deviceId":2)", R"("deviceId":1)")
            << QByteArray("cameras[1].deviceId");
        QTest::newRow("colour misnamed")
            << testWorld({R"("color":"colour")"}) << QByteArray("cameras[0].color");
        QTest::newRow("number beyond a double")
            << testWorld({R"("startExposureMs":1e400)"})
            << QByteArray("cameras[0].startExposureMs: number out of range");
    }

    void badWorldIsRefused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, message);
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        QCOMPARE(KivoSimLoadWorld(json.constData()), -1);
        QVERIFY2(QByteArray(KivoSimLastMessage()).contains(message), KivoSimLastMessage());
        // The world stays as it was, open camera included.
        QCOMPARE(listCameras().size(), size_t(3));
        QVERIFY(listed(DefaultWorld::colourSerial).inUse != 0);
    }

    void configurationFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QByteArray>("serials");
        const QByteArray defaults = "SIM0001280 SIM0000752 SIM0001600";
        QTest::newRow("good file") << testWorld({""}) << false << QByteArray("TEST1");
        QTest::newRow("empty world") << QByteArray(R"({"cameras":[]})") << false << QByteArray();
        QTest::newRow("broken file") << QByteArray("{\"cameras\":") << false << defaults;
        QTest::newRow("missing file") << QByteArray() << false << defaults;
        QTest::newRow("good world in a file above 16 MiB")
            << testWorld({""}) + QByteArray(16 << 20, ' ') << false << defaults;
        QTest::newRow("FIFO") << QByteArray() << true << defaults;
    }

    void configurationFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, fifo);
        QFETCH(QByteArray, serials);
        const QString path = environment.path() + QStringLiteral("/world.json");
        QFile::remove(path);
        QVERIFY(contents.isEmpty() || TestUtils::writeFile(path, contents));
        QVERIFY(!fifo || ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIVO_SIM_CONFIG"), path);
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(KIVO_SIM_HOST_PATH), {QStringLiteral("list")});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput().simplified(), serials);
        // A faulty file is named in one line, and the built-in cameras used.
        const QByteArray errors = child.readAllStandardError();
        const bool fallback = serials.startsWith("SIM");
        QCOMPARE(errors.count('\n'), fallback ? 1 : 0);
        QVERIFY2(!fallback ||
                     (errors.startsWith("kivo-sim: configuration ") && errors.contains("built-in")),
                 errors.constData());
    }

    void injectedFaults()
    {
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        const uint32_t h = camera.handle();
        uint32_t value = 0;
        // A command of its own fails after the calls it skips; the others go on working.
        QCOMPARE(KivoSimInjectFaultAfter("CamHotPixel:0x8107", 1, 1, 56), 0);
        QCOMPARE(CamHotPixel(h, CAM_HP_FACTORY_COUNT, &value, 4), CAM_SUCCESS);
        QCOMPARE(CamHotPixel(h, CAM_HP_USER_MAX_COUNT, &value, 4), CAM_SUCCESS);
        QCOMPARE(KivoSimPendingFaults(), 1);
        QCOMPARE(CamHotPixel(h, CAM_HP_FACTORY_COUNT, &value, 4), 56);
        QVERIFY(lastErrorText(h).contains("CamHotPixel"));
        QCOMPARE(CamHotPixel(h, CAM_HP_FACTORY_COUNT, &value, 4), CAM_SUCCESS);
        // Count 0 removes a fault.
        QCOMPARE(KivoSimInjectFault("CamGain", 5, 9), 0);
        QCOMPARE(CamGain(h, 10, -1, -1, -1), 9);
        QCOMPARE(KivoSimInjectFault("CamGain", 0, 9), 0);
        QCOMPARE(CamGain(h, 10, -1, -1, -1), CAM_SUCCESS);
        // Faults that cannot be are refused.
        QCOMPARE(KivoSimInjectFault("CamFly", 1, 5), -1);
        QVERIFY(qstrlen(KivoSimLastMessage()) > 0);
        QCOMPARE(KivoSimInjectFault("CamOpen:1", 1, 5), -1); // a call without commands
        QCOMPARE(KivoSimInjectFault("CamHotPixel:abc", 1, 5), -1);
        QCOMPARE(KivoSimInjectFault("CamOpen", -1, 5), -1);
        QCOMPARE(KivoSimInjectFaultAfter("CamOpen", -1, 1, 5), -1);
        QCOMPARE(KivoSimInjectFault("CamOpen", 1, 0), -1);
        QCOMPARE(KivoSimPendingFaults(), 0);
    }

    void badInputIsRefused()
    {
        // Small cameras under the default device ids keep this quick.
        QVERIFY(camera.loadWorld(testWorld({"", ""})));
        QVERIFY(camera.open(DefaultWorld::colourDevice, false));
        const uint32_t h = camera.handle();
        double d = 0;
        int32_t i = 0;
        char* p = nullptr;
        char bytes[64] = {};
        uint32_t mono = DefaultWorld::monoDevice | CAM_USE_DEVICE_ID;
        uint32_t strayBits = 0x40000 | mono;
        int32_t tooWide[4] = {8, 0, 64, 48};
        QVERIFY(CamCount(nullptr) && CamList(nullptr) && CamOpen(nullptr, nullptr) &&
                CamLastError(0, nullptr, nullptr) && CamSensorInfo(h, nullptr) &&
                CamPixelClockRange(h, nullptr, &i) && CamFrameRate(h, 5.0, nullptr) &&
                CamFrameTimeRange(h, &d, nullptr, &d) && CamExposure(h, 5.0, nullptr));
        QVERIFY(CamOpen(&mono, bytes) && CamOpen(&strayBits, nullptr));
        QVERIFY(CamClose(999) && CamStartCapture(12345, 0));
        QVERIFY(CamDuration(h, 2, reinterpret_cast<uint32_t*>(bytes)) && CamColorMode(h, 5));
        QVERIFY(CamImageArea(h, CAM_AOI_SET, bytes, 12) &&
                CamImageArea(h, CAM_AOI_SET, tooWide, 16) && CamImageArea(h, 7, bytes, 8));
        QVERIFY(CamAllocBuffer(h, 64, 64, 12, &p, &i) && CamAllocBuffer(h, -64, 64, 8, &p, &i) &&
                CamAllocBuffer(h, 1 << 30, 1 << 30, 32, &p, &i));
        QVERIFY(CamFreeBuffer(h, bytes, 1) && CamRingAdd(h, camera.buffers()[0], 1) &&
                CamRingLock(h, -1, bytes) && CamRingLatest(h, nullptr, nullptr, &p));
        QVERIFY(CamFrameRate(h, 0.0, &d) && CamGain(h, 5, -1, -1, -2));
        QCOMPARE(CamStartCapture(h, 0), CAM_SUCCESS);
        QVERIFY(camera.waitFrame());
    }
};

QTEST_GUILESS_MAIN(TestKivoWorld)
#include "tst_kivoworld.moc"
