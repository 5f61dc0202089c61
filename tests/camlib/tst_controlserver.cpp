#include "kivotestsession.h"
#include "uniquefd.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using DefaultWorld::colourSerial;
using DefaultWorld::monoSerial;

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

QStringList words(const char* line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// kivoctl aimed at the program pid, or with pid 0 at the one it finds.
Outcome kivoctl(const QStringList& args, qint64 pid = QCoreApplication::applicationPid(),
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    const QStringList target{QStringLiteral("--pid"), QString::number(pid)};
    process.start(QStringLiteral(KIVOCTL_PATH), (pid ? target : QStringList()) + args);
    Outcome outcome;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        outcome.exitCode = process.exitCode();
    outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

// A client of this test program's control socket that speaks for itself.
UniqueFd connectToSelf()
{
    const QByteArray path = QFile::encodeName(socketOf(QCoreApplication::applicationPid()));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return UniqueFd();
    return fd;
}

// Sends the request as it is; returns the reply line.
QByteArray exchange(const QByteArray& request)
{
    const UniqueFd fd = connectToSelf();
    QByteArray reply;
    char c = 0;
    if (fd.valid() && ::send(fd.get(), request.constData(), size_t(request.size()), MSG_NOSIGNAL) ==
                          request.size()) {
        while (::recv(fd.get(), &c, 1, 0) == 1 && c != '\n')
            reply += c;
    }
    return reply;
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

    TestUtils::IsolatedEnvironment environment;
    KivoTestSession camera;

private slots:
    void init() { QVERIFY(camera.loadWorld()); }

    void commandsChangeTheWorld_data()
    {
        QTest::addColumn<QStringList>("on");
        QTest::addColumn<QStringList>("off");
        QTest::addColumn<QByteArray>("onState");
        QTest::addColumn<QByteArray>("offState");
        QTest::newRow("held by another program")
            << words("inuse SIM0001280") << words("free SIM0001280") << QByteArray(" in use listed")
            << QByteArray();
        QTest::newRow("unplugged") << words("unplug SIM0001280") << words("plug SIM0001280")
                                   << QByteArray(" unplugged") << QByteArray();
        QTest::newRow("covered") << words("cover SIM0000752") << words("uncover SIM0000752")
                                 << QByteArray(" dark") << QByteArray();
    }

    void commandsChangeTheWorld()
    {
        QFETCH(QStringList, on);
        QFETCH(QStringList, off);
        QFETCH(QByteArray, onState);
        QFETCH(QByteArray, offState);
        QVERIFY(camera.open(DefaultWorld::monoDevice));
        QCOMPARE(KivoSimSetManualFrames(monoSerial, 1), 0);
        // The colour camera in CamList and in kivoctl list, and whether the mono
        // camera's next frame is dark.
        const auto state = [this]() -> QByteArray {
            const CAM_CAMERA_INFO colour = listed(colourSerial);
            const QString line = kivoctl(words("list"))
                                     .out.split(QLatin1Char('\n'))
                                     .filter(QLatin1String(colourSerial))
                                     .value(0);
            const std::vector<uint8_t> f = camera.deliverFrame(monoSerial);
            const bool dark =
                f.empty() || std::accumulate(f.begin(), f.end(), 0.0) < 20.0 * f.size();
            return QByteArray(colour.inUse ? " in use" : "") +
                   (line.endsWith(QLatin1String("in use")) ? " listed" : "") +
                   (colour.serial[0] ? "" : " unplugged") + (dark ? " dark" : "");
        };
        QCOMPARE(state(), QByteArray());
        QCOMPARE(kivoctl(on).exitCode, 0);
        QCOMPARE(state(), onState);
        QCOMPARE(kivoctl(off).exitCode, 0);
        QCOMPARE(state(), offState);
    }

    void faultFailsTheNamedCall()
    {
        QCOMPARE(kivoctl(words("fault CamOpen 1 184")).exitCode, 0);
        uint32_t handle = DefaultWorld::monoDevice | CAM_USE_DEVICE_ID;
        QCOMPARE(CamOpen(&handle, nullptr), CAM_FIRMWARE_UPLOAD_NEEDED);
        QVERIFY(camera.open(DefaultWorld::monoDevice));
    }

    void eepromPrintsTheUserList()
    {
        const std::vector<uint16_t> list = controlList(KivoSimReadEeprom, colourSerial);
        QVERIFY(list.size() > 1);
        QStringList expected{QString::number(list[0]) +
                             QStringLiteral(" hot pixels in the EEPROM of ") +
                             QLatin1String(colourSerial)};
        for (size_t i = 1; i + 1 < list.size(); i += 2)
            expected << QString::number(list[i]) + QLatin1Char(',') + QString::number(list[i + 1]);
        const Outcome eeprom = kivoctl(words("eeprom SIM0001280"));
        QCOMPARE(eeprom.exitCode, 0);
        QCOMPARE(eeprom.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    }

    void failuresExitNonZero_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown command")
            << words("shake") << QStringLiteral("unknown command 'shake'");
        QTest::newRow("unknown serial") << words("cover NOPE") << QStringLiteral("NOPE");
        QTest::newRow("eeprom of unknown serial") << words("eeprom NOPE") << QStringLiteral("NOPE");
        QTest::newRow("serial missing")
            << words("unplug") << QStringLiteral("usage: unplug <serial>");
        QTest::newRow("argument too many")
            << words("plug SIM0000752 SIM0000752") << QStringLiteral("usage: plug <serial>");
        QTest::newRow("count not a number")
            << words("fault CamOpen many 3") << QStringLiteral("count must be a number");
        QTest::newRow("negative count")
            << words("fault CamOpen -1 3") << QStringLiteral("count must be a number");
        QTest::newRow("status beyond 32 bits")
            << words("fault CamOpen 1 0x100000000") << QStringLiteral("status must be a number");
        QTest::newRow("space inside an argument")
            << (words("cover") << QStringLiteral("SIM 752")) << QStringLiteral("spaces");
        QTest::newRow("no command") << QStringList() << QStringLiteral("no command given");
    }

    void failuresExitNonZero()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Outcome outcome = kivoctl(arguments);
        QVERIFY(outcome.exitCode > 0);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.startsWith(QLatin1String("kivoctl: ")) &&
                     outcome.err.contains(message),
                 qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(QLatin1Char('\n')), 1);
    }

    void requestsAboveTheLimitAreRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("executed");
        const QByteArray unplug = "unplug SIM0000752";
        QTest::newRow("at the limit") << unplug.leftJustified(1024, ' ') + '\n' << true;
        QTest::newRow("one byte above") << unplug.leftJustified(1025, ' ') + '\n' << false;
        QTest::newRow("line end in the same read") << unplug.leftJustified(4000, ' ') + '\n'
                                                   << false;
        QTest::newRow("no line end") << unplug.leftJustified(3000, ' ') << false;
    }

    void requestsAboveTheLimitAreRefused()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, executed);
        const QByteArray reply = exchange(request);
        QVERIFY2(reply.startsWith(executed ? "ok camera" : "error request longer than 1024 bytes"),
                 reply.constData());
        QCOMPARE(listed(monoSerial).serial[0] == 0, executed);
    }

    void idleClientsDelayNoRequest()
    {
        // Served one after the other, each would hold the request up for its
        // time-out, together beyond kivoctl's own.
        std::vector<UniqueFd> idle(6);
        for (UniqueFd& client : idle) {
            client = connectToSelf();
            QVERIFY(client.valid());
        }
        QCOMPARE(kivoctl(words("list")).exitCode, 0);
    }

    void repliesReachTheTerminalWithoutControlCharacters()
    {
        QVERIFY(camera.loadWorld(testWorld({""}).replace(
            R"("model":"Test")", "\"model\":\"\\u001b[2J\\u009bTest\\u00e4\\u0007\"")));
        QCOMPARE(kivoctl(words("list")).out,
                 QStringLiteral("1 camera\nTEST1  ?[2J?Test\u00e4?  device 1\n"));
    }

    void foreignSocketDirectoryIsRefused_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("link to this user's directory") << true;
        QTest::newRow("directory of another user") << false;
    }

    void foreignSocketDirectoryIsRefused()
    {
        QFETCH(bool, link);
        QTemporaryDir runtime;
        const QString directory = runtime.path() + QStringLiteral("/kivo-sim");
        if (link) {
            QVERIFY(QFile::link(socketDirectory(), directory));
        } else {
            QVERIFY(QDir().mkdir(directory));
            if (::chown(QFile::encodeName(directory).constData(), 65534, 65534) != 0)
                QSKIP("only root can give a directory away");
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        const Outcome outcome =
            kivoctl(words("list"), QCoreApplication::applicationPid(), environment);
        QVERIFY(outcome.exitCode > 0);
        QVERIFY2(outcome.err.contains(QLatin1String("is not a directory of this user")),
                 qPrintable(outcome.err));
    }

    void picksTheOnlyRunningProgram()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        QProcessEnvironment optedOut = environment;
        optedOut.insert(QStringLiteral("KIVO_SIM_NO_CONTROL_SOCKET"), QStringLiteral("1"));
        const auto quiet = startHost(optedOut);
        QVERIFY(quiet);
        // Opted out: no socket, so kivoctl finds this test program alone.
        QCOMPARE(fileMode(socketOf(quiet->processId())), mode_t(0));
        const Outcome alone = kivoctl(words("list"), 0);
        QCOMPARE(alone.exitCode, 0);
        QVERIFY(alone.out.startsWith(QLatin1String("3 cameras\n")));

        const auto other = startHost(environment);
        QVERIFY(other);
        const qint64 otherPid = other->processId();
        QCOMPARE(fileMode(socketOf(otherPid)), mode_t(S_IFSOCK | 0600));
        QCOMPARE(fileMode(socketDirectory()), mode_t(S_IFDIR | 0700));
        const Outcome several = kivoctl(words("list"), 0);
        QVERIFY(several.exitCode > 0);
        QVERIFY2(several.err.contains(QLatin1String("several programs")) &&
                     several.err.contains(QString::number(QCoreApplication::applicationPid())) &&
                     several.err.contains(QString::number(otherPid)),
                 qPrintable(several.err));

        // A program killed outright leaves its socket behind: kivoctl passes over
        // it, and the next program to start removes it.
        other->kill();
        QVERIFY(other->waitForFinished(30000));
        QVERIFY(fileMode(socketOf(otherPid)) != 0);
        QCOMPARE(kivoctl(words("list"), 0).exitCode, 0);
        const Outcome stale = kivoctl(words("list"), otherPid);
        QVERIFY(stale.exitCode > 0);
        QVERIFY2(stale.err.contains(QLatin1String("stale socket")), qPrintable(stale.err));

        const auto next = startHost(environment);
        QVERIFY(next);
        QCOMPARE(fileMode(socketOf(otherPid)), mode_t(0));
        const QString socket = socketOf(next->processId());
        QVERIFY(stopHost(*next) && stopHost(*quiet));
        QCOMPARE(fileMode(socket), mode_t(0));
    }

    void socketWithoutARuntimeDirectory()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        const QString directory = QStringLiteral("/tmp/kivo-sim-") + QString::number(::getuid());
        const auto host = startHost(environment);
        QVERIFY(host);
        const QString socket = socketOf(host->processId(), directory);
        QCOMPARE(fileMode(socket), mode_t(S_IFSOCK | 0600));
        QCOMPARE(fileMode(directory), mode_t(S_IFDIR | 0700));
        QVERIFY(stopHost(*host));
        QCOMPARE(fileMode(socket), mode_t(0));
    }
};

QTEST_GUILESS_MAIN(TestControlServer)
#include "tst_controlserver.moc"
