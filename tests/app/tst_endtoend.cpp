// One walk through the program as a new user takes it: open the colour
// camera, cover it with kivoctl, detect its unlisted hot pixels, write them
// into the camera, start the program again, and keep the list in text and
// binary files. The steps run in order, each on what the one before left.

#include "badpixellistmodel.h"
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
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace {

const char serial[] = "SIM0001280";
// Run as this test binary's first argument: a second program that opens the
// camera and prints its user entries, one "x y" line each.
const char printUserListArgument[] = "--print-user-list";

using SimListReader = int (*)(const char*, uint16_t*, int);

// One of the simulated camera's lists; false when the library refuses.
bool readSimList(SimListReader read, QList<QPoint>& list)
{
    std::vector<uint16_t> words(2 * 0xFFFF + 1);
    const int count = read(serial, words.data(), int(words.size()));
    list.clear();
    for (int i = 0; i < count; ++i)
        list << QPoint(words[1 + 2 * i], words[2 + 2 * i]);
    return count >= 0;
}

QList<QPoint> userEntries(const WindowDriver& driver)
{
    const auto* model = qobject_cast<const BadpixelListModel*>(driver.badpixelView()->model());
    QList<QPoint> result;
    for (const Badpixel& entry : model->badpixelList()) {
        if (entry.isUser())
            result << QPoint(entry.x, entry.y);
    }
    return result;
}

QList<QPoint> sorted(QList<QPoint> points)
{
    std::sort(points.begin(), points.end(), [](QPoint a, QPoint b) {
        return std::make_pair(a.y(), a.x()) < std::make_pair(b.y(), b.x());
    });
    return points;
}

QImage shownImage(const WindowDriver& driver)
{
    return driver.display()->imageLabel->grab().toImage();
}

// A point on the marker ring drawn around a listed pixel, inside the image.
QPoint onRing(QPoint pixel, int width)
{
    return pixel.x() + 4 < width ? pixel + QPoint(4, 0) : pixel - QPoint(4, 0);
}

QLabel* labelStartingWith(QWidget* parent, const QString& text)
{
    for (QLabel* candidate : parent->findChildren<QLabel*>()) {
        if (candidate->text().startsWith(text))
            return candidate;
    }
    return nullptr;
}

int printUserList(int argc, char* argv[])
{
    QApplication application(argc, argv);
    WindowDriver driver;
    driver.openCamera(QString::fromLatin1(serial));
    if (driver.cameraStatus(QString::fromLatin1(serial)) != QLatin1String("opened")) {
        qCritical("%s did not open: %s", serial, qPrintable(driver.statusMessage()));
        return 1;
    }
    QTextStream out(stdout);
    for (const QPoint& entry : userEntries(driver))
        out << entry.x() << ' ' << entry.y() << '\n';
    return 0;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openColourCamera();
    void coverWithControlTool();
    void detectMarksUnlistedHotPixels();
    void writeIntoCamera();
    void restartedProgramReadsWrittenList();

private:
    // Delivers one simulated frame and waits until the display shows it.
    bool showNextFrame();

    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
    std::unique_ptr<WindowDriver> driver;
    QList<QPoint> eepromAtStart;
    QList<QPoint> found;
    QList<QPoint> written;
};

void TestEndToEnd::initTestCase()
{
    // Before the first library call: its control socket goes into the runtime
    // folder set here, where kivoctl looks for it. The fresh data folder holds
    // no EEPROM file, so the camera starts with its built-in user entries.
    environment = std::make_unique<TestUtils::IsolatedEnvironment>();
    // No cameraparameter.xml here: the open uses the built-in start values.
    QDir::setCurrent(environment->path());
    QVERIFY(KivoSimLoadWorld(nullptr) == 0);
    // One frame at a time, so that every frame of the detection is counted.
    QVERIFY(KivoSimSetManualFrames(serial, 1) == 0);
    QVERIFY(readSimList(KivoSimReadEeprom, eepromAtStart));
    QVERIFY(!eepromAtStart.isEmpty());
}

bool TestEndToEnd::showNextFrame()
{
    // The view draws a frame as it arrives, before the status bar counts it.
    const QString before = driver->label("framesLabel");
    if (KivoSimDeliverFrame(serial, nullptr, 0) != 0)
        return false;
    return QTest::qWaitFor([this, &before]() { return driver->label("framesLabel") != before; });
}

void TestEndToEnd::openColourCamera()
{
    driver = std::make_unique<WindowDriver>();
    driver->openCamera(QString::fromLatin1(serial));
    QCOMPARE(driver->cameraStatus(QString::fromLatin1(serial)), QStringLiteral("opened"));
    QVERIFY(driver->runner->shown.isEmpty());
    QCOMPARE(userEntries(*driver), eepromAtStart);

    QVERIFY(showNextFrame());
    QCOMPARE(shownImage(*driver).size(), QSize(1280, 1024));
}

void TestEndToEnd::coverWithControlTool()
{
    QVERIFY(driver);
    QProcess kivoctl;
    kivoctl.start(QStringLiteral(KIVOCTL_PATH),
                  {QStringLiteral("--pid"), QString::number(QCoreApplication::applicationPid()),
                   QStringLiteral("cover"), QString::fromLatin1(serial)});
    QVERIFY(kivoctl.waitForFinished(30000));
    QVERIFY2(kivoctl.exitStatus() == QProcess::NormalExit && kivoctl.exitCode() == 0,
             kivoctl.readAllStandardError().constData());
}

void TestEndToEnd::detectMarksUnlistedHotPixels()
{
    QVERIFY(driver);
    QList<QPoint> truePixels;
    QList<QPoint> factory;
    QVERIFY(readSimList(KivoSimReadTrueHotPixels, truePixels));
    QVERIFY(readSimList(KivoSimReadFactoryList, factory));
    found.clear();
    for (const QPoint& pixel : truePixels) {
        if (!factory.contains(pixel) && !eepromAtStart.contains(pixel))
            found << pixel;
    }
    QVERIFY(!found.isEmpty());

    driver->action(QStringLiteral("Detec&t hot pixel"))->trigger();
    auto* dialog = driver->window.findChild<DetectionDialogue*>();
    QVERIFY(dialog && dialog->isVisible());
    auto* progress = dialog->findChild<QProgressBar*>();
    QLabel* countLabel = labelStartingWith(dialog, QStringLiteral("Hot pixel detected:"));
    QVERIFY(progress && countLabel);
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QPushButton* start = buttons->button(QDialogButtonBox::Ok);
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QTest::mouseClick(start, Qt::LeftButton);

    // Ten covered frames are collected, the eleventh runs the detection.
    for (int frame = 1; frame <= 10; ++frame) {
        QVERIFY(KivoSimDeliverFrame(serial, nullptr, 0) == 0);
        QTRY_COMPARE(progress->value(), 10 * frame);
    }
    QVERIFY(KivoSimDeliverFrame(serial, nullptr, 0) == 0);
    // The run offers its candidates; Add puts them into the list.
    QPushButton* add = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Add"))
            add = button;
    }
    QVERIFY(add);
    QTRY_VERIFY(add->isEnabled());
    // Before they are added, the next frame marks them in magenta.
    QVERIFY(showNextFrame());
    const QImage previewed = shownImage(*driver);
    for (const QPoint& pixel : found) {
        const QRgb ring = previewed.pixel(onRing(pixel, previewed.width()));
        QVERIFY2(
            qRed(ring) > 90 && qBlue(ring) > 90 && qGreen(ring) < 40,
            qPrintable(
                QStringLiteral("no candidate ring around (%1, %2)").arg(pixel.x()).arg(pixel.y())));
    }
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(countLabel->text(), QStringLiteral("Hot pixel detected: %1").arg(found.size()));
    // Neither the "Detection failed" box of a bright frame nor any other.
    QVERIFY(driver->runner->shown.isEmpty());
    QCOMPARE(sorted(userEntries(*driver)), sorted(eepromAtStart + found));
    QTest::mouseClick(buttons->button(QDialogButtonBox::Close), Qt::LeftButton);

    // The next frame marks every found pixel with a green ring, at 1:1.
    QVERIFY(driver->action(QStringLiteral("&Highlight"))->isChecked());
    QVERIFY(showNextFrame());
    QImage shown = shownImage(*driver);
    QCOMPARE(shown.size(), QSize(1280, 1024));
    for (const QPoint& pixel : found) {
        const QRgb ring = shown.pixel(onRing(pixel, shown.width()));
        QVERIFY2(
            qGreen(ring) > 90 && qRed(ring) < 40,
            qPrintable(QStringLiteral("no ring around (%1, %2)").arg(pixel.x()).arg(pixel.y())));
    }

    // Without highlighting the same places show the dark sensor.
    QAction* highlight = driver->action(QStringLiteral("&Highlight"));
    highlight->trigger();
    QVERIFY(showNextFrame());
    shown = shownImage(*driver);
    for (const QPoint& pixel : found)
        QVERIFY(qGreen(shown.pixel(onRing(pixel, shown.width()))) < 60);
    highlight->trigger();
}

void TestEndToEnd::writeIntoCamera()
{
    QVERIFY(driver);
    driver->runner->answers = {int(QMessageBox::Yes)};
    driver->action(QStringLiteral("&Write hot pixel"))->trigger();
    QCOMPARE(driver->runner->shown.size(), 1);
    QCOMPARE(driver->runner->shown.first().informativeText,
             QStringLiteral("Do you want to continue?"));

    QVERIFY(readSimList(KivoSimReadEeprom, written));
    QCOMPARE(written, userEntries(*driver));
    QCOMPARE(sorted(written), sorted(eepromAtStart + found));
}

void TestEndToEnd::restartedProgramReadsWrittenList()
{
    QVERIFY(!written.isEmpty());
    driver.reset();

    // A second program, as the user starts it next time: it shares only the
    // simulated EEPROM in the data folder with this one.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("KIVO_SIM_CONFIG"));
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationFilePath(),
                  {QString::fromLatin1(printUserListArgument)});
    QVERIFY(program.waitForFinished(60000));
    QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
             program.readAllStandardError().constData());

    QList<QPoint> printed;
    const QList<QByteArray> lines = program.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2)
            printed << QPoint(fields[0].toInt(), fields[1].toInt());
    }
    QCOMPARE(printed, written);

    // This program starts again too, for the file commands.
    driver = std::make_unique<WindowDriver>();
    driver->openCamera(QString::fromLatin1(serial));
    QCOMPARE(userEntries(*driver), written);
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
