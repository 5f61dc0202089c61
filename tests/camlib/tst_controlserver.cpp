#include "kivo_api.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <memory>
#include <numeric>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char monoSerial[] = "SIM0000752";
const char colourSerial[] = "SIM0001280";

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

QString socketDirectory()
{
    return QFile::decodeName(qgetenv("XDG_RUNTIME_DIR")) + QStringLiteral("/kivo-sim");
}

QString socketOf(qint64 pid, const QString& directory = socketDirectory())
{
    return directory + QLatin1Char('/') + QString::number(pid) + QStringLiteral(".sock");
}

// The file type and permission bits of path, 0 when there is no such file.
mode_t modeOf(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

Outcome runKivoctl(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(KIVOCTL_PATH), args);
    Outcome outcome;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        outcome.exitCode = process.exitCode();
    outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

QStringList pidArguments(qint64 pid)
{
    return {QStringLiteral("--pid"), QString::number(pid)};
}

// kivoctl aimed at this test process.
Outcome kivoctl(const QStringList& args)
{
    return runKivoctl(pidArguments(QCoreApplication::applicationPid()) + args);
}

// The camera record of serial in CamList, or an empty record when it is not listed.
CAM_CAMERA_INFO listed(const char* serial)
{
    int32_t count = 0;
    CamCount(&count);
    std::vector<uint32_t> storage(1 + size_t(count) * sizeof(CAM_CAMERA_INFO) / 4);
    auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
    list->count = uint32_t(count);
    CamList(list);
    for (uint32_t i = 0; i < list->count; ++i) {
        if (qstrcmp(list->cameras[i].serial, serial) == 0)
            return list->cameras[i];
    }
    return CAM_CAMERA_INFO{};
}

bool waitForEvent(uint32_t handle, uint32_t id)
{
    uint32_t ids[] = {id};
    CAM_EVENT_WAIT_RECORD wait{ids, 1, 0, 5000, 0};
    return CamEvent(handle, CAM_EVENT_WAIT, &wait, sizeof(wait)) == CAM_SUCCESS &&
           wait.signalled == id;
}

// The library host (kivosimhost.cpp): a program of its own with a control socket.
std::unique_ptr<QProcess> startHost(const QProcessEnvironment& environment)
{
    auto host = std::make_unique<QProcess>();
    host->setProcessEnvironment(environment);
    host->start(QStringLiteral(KIVO_SIM_HOST_PATH), QStringList());
    if (!host->waitForReadyRead(30000) || host->readLine().trimmed() != "ready")
        return nullptr;
    return host;
}

// Ends the host the normal way: its standard input closes and it returns from main.
bool stopHost(QProcess& host)
{
    host.closeWriteChannel();
    return host.waitForFinished(30000) && host.exitStatus() == QProcess::NormalExit &&
           host.exitCode() == 0;
}

} // namespace

class TestControlServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void socketAndDirectoryAreUserOnly();
    void inUseAndFree();
    void unplugAndPlugSignalHandleZero();
    void coverDarkensTheImage();
    void faultFailsTheNamedCall();
    void eepromPrintsTheUserList();
    void failuresExitNonZero_data();
    void failuresExitNonZero();
    void picksTheOnlyRunningProgram();
    void socketGoesAwayWithTheProgram_data();
    void socketGoesAwayWithTheProgram();

private:
    TestUtils::IsolatedEnvironment environment;
};

void TestControlServer::initTestCase()
{
    int32_t count = 0;
    QCOMPARE(CamCount(&count), CAM_SUCCESS);
    QVERIFY(modeOf(socketOf(QCoreApplication::applicationPid())) != 0);
}

void TestControlServer::init()
{
    QCOMPARE(KivoSimLoadWorld(nullptr), 0);
}

void TestControlServer::socketAndDirectoryAreUserOnly()
{
    const mode_t socket = modeOf(socketOf(QCoreApplication::applicationPid()));
    QVERIFY(S_ISSOCK(socket));
    QCOMPARE(socket & 07777, mode_t(0600));
    const mode_t directory = modeOf(socketDirectory());
    QVERIFY(S_ISDIR(directory));
    QCOMPARE(directory & 07777, mode_t(0700));
}

void TestControlServer::inUseAndFree()
{
    QCOMPARE(listed(monoSerial).inUse, 0u);

    QCOMPARE(kivoctl({QStringLiteral("inuse"), QLatin1String(monoSerial)}).exitCode, 0);
    QVERIFY(listed(monoSerial).inUse != 0);
    const Outcome list = kivoctl({QStringLiteral("list")});
    QCOMPARE(list.exitCode, 0);
    const QStringList lines = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("3 cameras"));
    QVERIFY2(lines.filter(QLatin1String(monoSerial)).value(0).endsWith(QLatin1String("in use")),
             qPrintable(list.out));
    uint32_t handle = 2 | CAM_USE_DEVICE_ID;
    QVERIFY(CamOpen(&handle, nullptr) != CAM_SUCCESS);

    QCOMPARE(kivoctl({QStringLiteral("free"), QLatin1String(monoSerial)}).exitCode, 0);
    QCOMPARE(listed(monoSerial).inUse, 0u);
}

void TestControlServer::unplugAndPlugSignalHandleZero()
{
    CAM_EVENT_INIT_RECORD removal{CAM_EV_REMOVAL, 0, 0};
    CAM_EVENT_INIT_RECORD arrival{CAM_EV_NEW_DEVICE, 0, 0};
    QCOMPARE(CamEvent(0, CAM_EVENT_INIT, &removal, sizeof(removal)), CAM_SUCCESS);
    QCOMPARE(CamEvent(0, CAM_EVENT_INIT, &arrival, sizeof(arrival)), CAM_SUCCESS);
    uint32_t ids[] = {CAM_EV_REMOVAL, CAM_EV_NEW_DEVICE};
    QCOMPARE(CamEvent(0, CAM_EVENT_ENABLE, ids, sizeof(ids)), CAM_SUCCESS);

    QCOMPARE(kivoctl({QStringLiteral("unplug"), QLatin1String(colourSerial)}).exitCode, 0);
    QVERIFY(waitForEvent(0, CAM_EV_REMOVAL));
    QCOMPARE(listed(colourSerial).serial[0], '\0');

    QCOMPARE(kivoctl({QStringLiteral("plug"), QLatin1String(colourSerial)}).exitCode, 0);
    QVERIFY(waitForEvent(0, CAM_EV_NEW_DEVICE));
    QCOMPARE(QLatin1String(listed(colourSerial).serial), QLatin1String(colourSerial));

    QCOMPARE(CamEvent(0, CAM_EVENT_DISABLE, ids, sizeof(ids)), CAM_SUCCESS);
}

void TestControlServer::coverDarkensTheImage()
{
    const int width = 752;
    const int height = 480;
    uint32_t handle = 2 | CAM_USE_DEVICE_ID;
    QCOMPARE(CamOpen(&handle, nullptr), CAM_SUCCESS);
    QCOMPARE(KivoSimSetManualFrames(monoSerial, 1), 0);
    QCOMPARE(CamColorMode(handle, CAM_CM_MONO8), CAM_SUCCESS);
    char* memory = nullptr;
    int32_t memoryId = 0;
    QCOMPARE(CamAllocBuffer(handle, width, height, 8, &memory, &memoryId), CAM_SUCCESS);
    QCOMPARE(CamRingAdd(handle, memory, memoryId), CAM_SUCCESS);
    QCOMPARE(CamStartCapture(handle, 0), CAM_SUCCESS);
    const auto meanOfNextFrame = [&]() {
        char* last = nullptr;
        if (KivoSimDeliverFrame(monoSerial, nullptr, 0) != 0 ||
            CamRingLatest(handle, nullptr, nullptr, &last) != CAM_SUCCESS || !last)
            return -1.0;
        const auto* pixels = reinterpret_cast<const uint8_t*>(last);
        return std::accumulate(pixels, pixels + width * height, 0.0) / (width * height);
    };

    const double open = meanOfNextFrame();
    QCOMPARE(kivoctl({QStringLiteral("cover"), QLatin1String(monoSerial)}).exitCode, 0);
    const double covered = meanOfNextFrame();
    QCOMPARE(kivoctl({QStringLiteral("uncover"), QLatin1String(monoSerial)}).exitCode, 0);
    const double uncovered = meanOfNextFrame();

    QVERIFY2(covered >= 0 && covered < open / 4 && covered < uncovered / 4,
             qPrintable(QStringLiteral("means %1, %2, %3").arg(open).arg(covered).arg(uncovered)));
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
}

void TestControlServer::faultFailsTheNamedCall()
{
    const Outcome fault = kivoctl({QStringLiteral("fault"), QStringLiteral("CamOpen"),
                                   QStringLiteral("1"), QStringLiteral("184")});
    QCOMPARE(fault.exitCode, 0);
    uint32_t handle = 2 | CAM_USE_DEVICE_ID;
    QCOMPARE(CamOpen(&handle, nullptr), CAM_FIRMWARE_UPLOAD_NEEDED);
    handle = 2 | CAM_USE_DEVICE_ID;
    QCOMPARE(CamOpen(&handle, nullptr), CAM_SUCCESS);
    QCOMPARE(CamClose(handle), CAM_SUCCESS);
}

void TestControlServer::eepromPrintsTheUserList()
{
    uint16_t words[64] = {};
    const int count = KivoSimReadEeprom(colourSerial, words, 64);
    QVERIFY(count > 0 && count < 32);
    QStringList expected{QString::number(count) + QStringLiteral(" hot pixels in the EEPROM of ") +
                         QLatin1String(colourSerial)};
    for (int i = 0; i < count; ++i)
        expected << QString::number(words[1 + 2 * i]) + QLatin1Char(',') +
                        QString::number(words[2 + 2 * i]);

    const Outcome eeprom = kivoctl({QStringLiteral("eeprom"), QLatin1String(colourSerial)});
    QCOMPARE(eeprom.exitCode, 0);
    QCOMPARE(eeprom.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

void TestControlServer::failuresExitNonZero_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString serial = QLatin1String(monoSerial);
    QTest::newRow("unknown command")
        << QStringList{QStringLiteral("shake")} << QStringLiteral("unknown command 'shake'");
    QTest::newRow("unknown serial")
        << QStringList{QStringLiteral("cover"), QStringLiteral("NOPE")} << QStringLiteral("NOPE");
    QTest::newRow("eeprom of unknown serial")
        << QStringList{QStringLiteral("eeprom"), QStringLiteral("NOPE")} << QStringLiteral("NOPE");
    QTest::newRow("serial missing")
        << QStringList{QStringLiteral("unplug")} << QStringLiteral("usage: unplug <serial>");
    QTest::newRow("argument too many") << QStringList{QStringLiteral("plug"), serial, serial}
                                       << QStringLiteral("usage: plug <serial>");
    QTest::newRow("count not a number")
        << QStringList{QStringLiteral("fault"), QStringLiteral("CamOpen"), QStringLiteral("many"),
                       QStringLiteral("3")}
        << QStringLiteral("count must be a number");
    QTest::newRow("negative count")
        << QStringList{QStringLiteral("fault"), QStringLiteral("CamOpen"), QStringLiteral("-1"),
                       QStringLiteral("3")}
        << QStringLiteral("count must be a number");
    QTest::newRow("status beyond 32 bits")
        << QStringList{QStringLiteral("fault"), QStringLiteral("CamOpen"), QStringLiteral("1"),
                       QStringLiteral("0x100000000")}
        << QStringLiteral("status must be a number");
    QTest::newRow("space inside an argument")
        << QStringList{QStringLiteral("cover"), QStringLiteral("SIM 752")}
        << QStringLiteral("spaces");
    QTest::newRow("no command") << QStringList{} << QStringLiteral("no command given");
}

void TestControlServer::failuresExitNonZero()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const Outcome outcome = kivoctl(arguments);
    QVERIFY(outcome.exitCode > 0);
    QVERIFY(outcome.out.isEmpty());
    QVERIFY2(outcome.err.startsWith(QLatin1String("kivoctl: ")) && outcome.err.contains(message),
             qPrintable(outcome.err));
    QCOMPARE(outcome.err.count(QLatin1Char('\n')), 1);
}

void TestControlServer::picksTheOnlyRunningProgram()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment optedOut = environment;
    optedOut.insert(QStringLiteral("KIVO_SIM_NO_CONTROL_SOCKET"), QStringLiteral("1"));

    const auto quiet = startHost(optedOut);
    QVERIFY(quiet);
    QCOMPARE(modeOf(socketOf(quiet->processId())), mode_t(0));
    const Outcome alone = runKivoctl({QStringLiteral("list")});
    QCOMPARE(alone.exitCode, 0);
    QVERIFY(alone.out.startsWith(QLatin1String("3 cameras\n")));

    const auto other = startHost(environment);
    QVERIFY(other);
    const qint64 otherPid = other->processId();
    const Outcome several = runKivoctl({QStringLiteral("list")});
    QVERIFY(several.exitCode > 0);
    QVERIFY2(several.err.contains(QLatin1String("several programs")) &&
                 several.err.contains(self) && several.err.contains(QString::number(otherPid)),
             qPrintable(several.err));

    // A program killed outright leaves its socket behind: kivoctl passes over
    // it, and the next program to start removes it.
    other->kill();
    QVERIFY(other->waitForFinished(30000));
    QVERIFY(modeOf(socketOf(otherPid)) != 0);
    QCOMPARE(runKivoctl({QStringLiteral("list")}).exitCode, 0);
    const Outcome stale = runKivoctl(pidArguments(otherPid) << QStringLiteral("list"));
    QVERIFY(stale.exitCode > 0);
    QVERIFY2(stale.err.contains(QLatin1String("stale socket")), qPrintable(stale.err));

    const auto next = startHost(environment);
    QVERIFY(next);
    QCOMPARE(modeOf(socketOf(otherPid)), mode_t(0));
    QVERIFY(stopHost(*next));
    QVERIFY(stopHost(*quiet));
}

void TestControlServer::socketGoesAwayWithTheProgram_data()
{
    QTest::addColumn<bool>("runtimeDirectory");

    QTest::newRow("in the runtime directory") << true;
    QTest::newRow("without a runtime directory") << false;
}

void TestControlServer::socketGoesAwayWithTheProgram()
{
    QFETCH(bool, runtimeDirectory);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString directory = socketDirectory();
    if (!runtimeDirectory) {
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        directory = QStringLiteral("/tmp/kivo-sim-") + QString::number(::getuid());
    }
    const auto host = startHost(environment);
    QVERIFY(host);
    const QString socket = socketOf(host->processId(), directory);
    QCOMPARE(modeOf(socket) & 07777, mode_t(0600));
    QCOMPARE(modeOf(directory) & 07777, mode_t(0700));
    QVERIFY(stopHost(*host));
    QCOMPARE(modeOf(socket), mode_t(0));
}

QTEST_GUILESS_MAIN(TestControlServer)
#include "tst_controlserver.moc"
