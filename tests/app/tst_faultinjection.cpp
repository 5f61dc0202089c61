#include "kivo_control.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString camera = QStringLiteral("SIM0001280");
const QByteArray serial = camera.toLatin1();
const QStringList steps{"open", "frames", "write", "save", "load", "close"};

// The camera's stored list, "x y" each.
QStringList eeprom()
{
    QVector<uint16_t> words(2 * 65535 + 1);
    QStringList list;
    for (int i = 0; i < KivoSimReadEeprom(serial.constData(), words.data(), words.size()); ++i)
        list << QStringLiteral("%1 %2").arg(words[1 + 2 * i]).arg(words[2 + 2 * i]);
    return list;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file to load, (700, 70) and (701, 71), written by the library alone.
bool writeListFile(const QString& path)
{
    uint32_t handle = 1 | CAM_USE_DEVICE_ID;
    if (CamOpen(&handle, nullptr) != CAM_SUCCESS)
        return false;
    uint16_t words[] = {2, 700, 70, 701, 71};
    std::u16string name = path.toStdU16String();
    const bool written = CamHotPixel(handle, CAM_HP_DRIVER_LIST_SET, words, sizeof words) == 0 &&
                         CamHotPixel(handle, CAM_HP_DRIVER_LIST_SAVE_FILE, name.data(), 0) == 0;
    return CamClose(handle) == CAM_SUCCESS && written;
}

} // namespace

// Fails each camera library call of the main sequence in turn (open with the
// read of the camera's lists, frames, write, save, load and close): the
// program tells every failure and changes nothing it keeps without telling a
// success.
class TestFaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        environment = std::make_unique<TestUtils::IsolatedEnvironment>();
        QDir::setCurrent(environment->path());
    }
    void init();
    void cleanup()
    {
        driver.reset();
        KivoSimClearFaults();
    }
    void everyCallFailedInTurn_data();
    void everyCallFailedInTurn();

private:
    QString path(const char* name) const { return environment->path() + QLatin1Char('/') + name; }
    void run(const QString& step);
    bool succeeded(const QString& step);

    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
    std::unique_ptr<WindowDriver> driver;
    // The status bar's frame count, which moves only when frames are shown.
    QString shownFrames;
};

void TestFaultInjection::init()
{
    QVERIFY(WindowDriver::resetWorld());
    QVERIFY(writeListFile(path("load.bin")));
    QVERIFY(TestUtils::writeFile(path("save.bin"), "the user's older file"));
    QCOMPARE(KivoSimSetManualFrames(serial.constData(), 1), 0);
    driver = std::make_unique<WindowDriver>();
}

void TestFaultInjection::run(const QString& step)
{
    shownFrames = driver->label("framesLabel");
    if (step == "open") {
        driver->openCamera(camera);
    } else if (step == "frames") {
        // A frame that fails may be dropped; the next one must show.
        KivoSimDeliverFrame(serial.constData(), nullptr, 0);
        static_cast<void>(
            QTest::qWaitFor([&] { return driver->label("framesLabel") != shownFrames; }, 2000));
        KivoSimDeliverFrame(serial.constData(), nullptr, 0);
    } else if (step == "write") {
        emit driver->display()->positionClicked(QPoint(321, 123));
        driver->action("&Add hot pixel")->trigger();
        driver->runner->answers = {QMessageBox::Yes};
        driver->action("&Write hot pixel")->trigger();
    } else if (step == "save" || step == "load") {
        driver->runner->fileNames = QStringList{path(step == "save" ? "save.bin" : "load.bin")};
        driver->action(step == "save" ? "&Save hot pixel list" : "&Load hot pixel list")->trigger();
    } else {
        driver->selectCamera(camera);
        driver->action("&Close camera")->trigger();
    }
}

bool TestFaultInjection::succeeded(const QString& step)
{
    const QLabel* view = driver->display()->imageLabel;
    if (step == "open") {
        if (driver->cameraStatus(camera) != QStringLiteral("opened") ||
            driver->entries("user").size() != eeprom().size())
            return false;
        KivoSimDeliverFrame(serial.constData(), nullptr, 0);
    }
    if (step == "open" || step == "frames")
        return QTest::qWaitFor(
            [&] { return view->isVisible() && driver->label("framesLabel") != shownFrames; }, 3000);
    if (step == "write")
        return eeprom() == driver->entries("user") && eeprom().contains(QStringLiteral("321 123"));
    if (step == "save")
        return !readAll(path("save.bin")).startsWith("the user's older file");
    if (step == "load")
        return driver->entries("user") == QStringList{"700 70", "701 71"};
    // A failed refresh of the camera list heals with the next poll.
    return QTest::qWaitFor([&] { return driver->cameraStatus(camera) == QStringLiteral("free"); },
                           2500);
}

void TestFaultInjection::everyCallFailedInTurn_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("call");

    // "@n": the call after n earlier ones of the same kind in that step; the
    // save finds no list of the library's own before the first save.
    const QList<QPair<QString, QString>> calls{
        {"open", "CamOpen CamSensorInfo CamDeviceInfo CamColorMode CamColorMode@1 CamHotPixel:0x0 "
                 "CamImageArea CamImageArea@1 CamAllocBuffer CamAllocBuffer@2 CamRingAdd "
                 "CamEvent:1 CamEvent:1@4 CamEvent:3 CamStartCapture CamHotPixel:0x810D "
                 "CamHotPixel:0x8107 CamHotPixel:0x8108 CamHotPixel:0x810A CamHotPixel:0x810B "
                 "CamCount CamList CamPixelClock CamCurrentFps CamExposure CamPixelClockRange "
                 "CamFrameTimeRange CamFrameRate CamExposureRange CamGain CamStopCapture "
                 "CamStartCapture@1 CamHotPixel:0x8001"},
        {"frames", "CamEvent:7 CamRingLatest CamRingLock CamRingUnlock"},
        {"write", "CamHotPixel:0x8001 CamHotPixel:0x810C"},
        {"save", "CamHotPixel:0x8100 CamHotPixel:0x8103 CamHotPixel:0x8111 CamHotPixel:0x8103@1"},
        {"load", "CamHotPixel:0x8100 CamHotPixel:0x8101 CamHotPixel:0x8102 CamHotPixel:0x8112 "
                 "CamHotPixel:0x8100@1 CamHotPixel:0x8101@1 CamHotPixel:0x8102@1 "
                 "CamHotPixel:0x8103"},
        {"close", "CamStopCapture CamEvent:5 CamEvent:2 CamRingClear CamFreeBuffer CamClose "
                  "CamCount CamList"}};
    for (const auto& step : calls) {
        for (const QString& call : step.second.split(QLatin1Char(' ')))
            QTest::addRow("%s: %s", qPrintable(step.first), qPrintable(call)) << step.first << call;
    }
}

void TestFaultInjection::everyCallFailedInTurn()
{
    QFETCH(QString, step);
    QFETCH(QString, call);

    for (const QString& earlier : steps.mid(0, steps.indexOf(step))) {
        run(earlier);
        QVERIFY2(succeeded(earlier), qPrintable(earlier));
    }
    // What outlives the program: the camera's stored list and the user's files.
    const auto stored = [this] {
        return QByteArrayList{eeprom().join(QLatin1Char(',')).toLatin1(), readAll(path("save.bin")),
                              readAll(path("load.bin"))};
    };
    const QByteArrayList before = stored();
    QStringList held = driver->entries("user");
    driver->runner->shown.clear();
    QSignalSpy statusMessages(driver->window.statusBar(), &QStatusBar::messageChanged);
    QCOMPARE(KivoSimInjectFaultAfter(qPrintable(call.section(QLatin1Char('@'), 0, 0)),
                                     call.section(QLatin1Char('@'), 1).toInt(), 1, 5),
             0);
    run(step);
    QTRY_COMPARE(KivoSimPendingFaults(), 0);

    // Success is told in the status bar ("Hot pixel list saved to ..."), or,
    // when only the library's own list could not be put back, in the failure
    // message ("The hot pixel list was written to the file, but ...").
    QStringList messages;
    for (const ScriptedRunner::Shown& box : qAsConst(driver->runner->shown)) {
        if (box.informativeText != QStringLiteral("Do you want to continue?"))
            messages << box.title + QLatin1Char(' ') + box.text;
    }
    for (const QList<QVariant>& arguments : qAsConst(statusMessages))
        messages << arguments.first().toString();
    messages.removeAll(QString());
    const QRegularExpression success(QStringLiteral("^Hot pixel list |hot pixel list was "));
    const int toldSuccess = messages.filter(success).size();
    const bool done = succeeded(step);
    QVERIFY2(done || messages.size() > toldSuccess, "failed without a message");
    QVERIFY2(stored() == before || (done && toldSuccess > 0), qPrintable(messages.join('|')));
    // The list keeps what it held, with the entry added before the write.
    if (step == "write")
        held << QStringLiteral("321 123");
    if (!done && step != "open" && step != "close")
        QCOMPARE(driver->entries("user"), held);
}

QTEST_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
