// One walk through the program as a new user takes it: open the colour camera,
// cover it with kivoctl, detect its unlisted hot pixels, see them marked, write
// them into the camera and find them there when the program starts again.

#include "detectiondialogue.h"
#include "displaywidget.h"
#include "kivo_control.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextStream>

#include <vector>

namespace {

const char serial[] = "SIM0001280";
// As this binary's only argument: a second program that opens the camera and
// prints its user entries, one "x y" line each.
const char printUserListArgument[] = "--print-user-list";

QStringList simList(int (*read)(const char*, uint16_t*, int))
{
    std::vector<uint16_t> words(2 * 0xFFFF + 1);
    QStringList list;
    for (int i = 0; i < read(serial, words.data(), int(words.size())); ++i)
        list << QStringLiteral("%1 %2").arg(words[1 + 2 * i]).arg(words[2 + 2 * i]);
    return list;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList userEntries(const WindowDriver& driver)
{
    const QAbstractItemModel* list = driver.badpixelView()->model();
    QStringList result;
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->index(row, 2).data().toString() == QLatin1String("user"))
            result << list->index(row, 0).data().toString() + QLatin1Char(' ') +
                          list->index(row, 1).data().toString();
    }
    return result;
}

int printUserList(int argc, char* argv[])
{
    QApplication application(argc, argv);
    WindowDriver driver;
    driver.openCamera(QString::fromLatin1(serial));
    QTextStream(stdout) << userEntries(driver).join(QLatin1Char('\n'));
    return driver.cameraStatus(QString::fromLatin1(serial)) == QLatin1String("opened") ? 0 : 1;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void walkThrough();
};

void TestEndToEnd::walkThrough()
{
    // Before the first library call: its control socket goes into the runtime
    // folder set here, where kivoctl looks for it.
    TestUtils::IsolatedEnvironment environment;
    QDir::setCurrent(environment.path());
    QVERIFY(KivoSimLoadWorld(nullptr) == 0);
    QVERIFY(KivoSimSetManualFrames(serial, 1) == 0);
    const QStringList eeprom = simList(KivoSimReadEeprom);
    QStringList found;
    for (const QString& pixel : simList(KivoSimReadTrueHotPixels)) {
        if (!simList(KivoSimReadFactoryList).contains(pixel) && !eeprom.contains(pixel))
            found << pixel;
    }
    QVERIFY(!found.isEmpty() && !eeprom.isEmpty());

    auto driver = std::make_unique<WindowDriver>();
    driver->openCamera(QString::fromLatin1(serial));
    QCOMPARE(userEntries(*driver), eeprom);
    QProcess kivoctl;
    kivoctl.start(QStringLiteral(KIVOCTL_PATH),
                  {QStringLiteral("--pid"), QString::number(QCoreApplication::applicationPid()),
                   QStringLiteral("cover"), QString::fromLatin1(serial)});
    QVERIFY(kivoctl.waitForFinished(30000));
    QVERIFY2(kivoctl.exitCode() == 0, kivoctl.readAllStandardError().constData());

    // Ten covered frames are collected, the eleventh runs the detection; Add
    // puts its candidates into the list.
    driver->action("Detec&t hot pixel")->trigger();
    auto* dialog = driver->window.findChild<DetectionDialogue*>();
    auto* progress = dialog->findChild<QProgressBar*>();
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    for (int frame = 1; frame <= 11; ++frame) {
        QVERIFY(KivoSimDeliverFrame(serial, nullptr, 0) == 0);
        QTRY_COMPARE(progress->value(), std::min(10 * frame, 100));
    }
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Add")) {
            QTRY_VERIFY(button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    QCOMPARE(sorted(userEntries(*driver)), sorted(eeprom + found));
    QVERIFY(driver->runner->shown.isEmpty());
    dialog->close();

    // The next frame marks every found pixel with a green ring, at 1:1.
    const QString frames = driver->label("framesLabel");
    QVERIFY(KivoSimDeliverFrame(serial, nullptr, 0) == 0);
    QTRY_VERIFY(driver->label("framesLabel") != frames);
    const QImage shown = driver->display()->imageLabel->grab().toImage();
    QCOMPARE(shown.size(), QSize(1280, 1024));
    for (const QString& pixel : found) {
        // A point of the ring, on the side of the pixel that is in the image.
        const int x = pixel.section(QLatin1Char(' '), 0, 0).toInt();
        const QRgb ring =
            shown.pixel(x + (x + 4 < 1280 ? 4 : -4), pixel.section(QLatin1Char(' '), 1).toInt());
        QVERIFY2(qGreen(ring) > 90 && qRed(ring) < 40, qPrintable(pixel));
    }

    driver->runner->answers = {int(QMessageBox::Yes)};
    driver->action("&Write hot pixel")->trigger();
    const QStringList written = userEntries(*driver);
    QCOMPARE(simList(KivoSimReadEeprom), written);
    driver.reset();

    // A second program, as the user starts it next time: it shares only the
    // simulated EEPROM in the data folder with this one.
    QProcess program;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    variables.remove(QStringLiteral("KIVO_SIM_CONFIG"));
    program.setProcessEnvironment(variables);
    program.start(QCoreApplication::applicationFilePath(),
                  {QString::fromLatin1(printUserListArgument)});
    QVERIFY(program.waitForFinished(60000));
    QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
    QCOMPARE(QString::fromLatin1(program.readAllStandardOutput()).split(QLatin1Char('\n')),
             written);
}

int main(int argc, char* argv[])
{
    if (argc == 2 && qstrcmp(argv[1], printUserListArgument) == 0)
        return printUserList(argc, argv);
    QApplication application(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    TestEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_endtoend.moc"
