#include "detectiondialogue.h"
#include "kivo_control.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const QString colourCamera = QStringLiteral("SIM0001280");

// A list of the simulated camera as "x y"; one it cannot hold is empty.
QSet<QString> cameraList(int (*read)(const char*, uint16_t*, int), const QString& serial)
{
    std::vector<uint16_t> words(2 * 4096 + 1);
    const int count = read(serial.toLatin1().constData(), words.data(), int(words.size()));
    QSet<QString> result;
    for (size_t i = 0; i < size_t(std::max(count, 0)); ++i)
        result.insert(QStringLiteral("%1 %2").arg(words[1 + 2 * i]).arg(words[2 + 2 * i]));
    return result;
}

// A colour frame whose first brightCount bytes hold value, the others black.
QByteArray colourFrame(int brightCount, char value)
{
    return QByteArray(brightCount, value) + QByteArray(1280 * 1024 - brightCount, '\0');
}

// An open, covered camera delivering frames by hand and the detection dialog
// over the window, its controls looked up as a user sees them.
struct Flow
{
    explicit Flow(const QString& camera)
        : serial(camera.toLatin1())
    {
        KivoSimSetManualFrames(serial.constData(), 1);
        KivoSimSetCovered(serial.constData(), 1);
        driver.openCamera(camera);
        openDialog();
    }

    void openDialog()
    {
        driver.action("Detec&t hot pixel")->trigger();
        dialog = driver.window.findChildren<DetectionDialogue*>().last();
        progress = dialog->findChild<QProgressBar*>();
        buttons = dialog->findChild<QDialogButtonBox*>();
    }

    void start(bool clear = false)
    {
        dialog->findChild<QCheckBox*>()->setChecked(clear);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    // The simulated sensor's own frame, or exactly the given bytes.
    bool deliver(const QByteArray& pixels = QByteArray()) const
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.constData());
        return KivoSimDeliverFrame(serial.constData(), pixels.isNull() ? nullptr : bytes,
                                   size_t(pixels.size())) == 0;
    }

    void press(const QString& text) const
    {
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == text)
                QTest::mouseClick(button, Qt::LeftButton);
        }
    }

    // The text of the dialog's label that matches the pattern, or nothing.
    QString shown(const char* pattern) const
    {
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().contains(QRegularExpression(QString::fromLatin1(pattern))))
                return label->text();
        }
        return QString();
    }

    QSet<QString> listed(const char* pixelclass) const
    {
        const QStringList entries = driver.entries(pixelclass);
        return QSet<QString>(entries.cbegin(), entries.cend());
    }
    bool idle() const { return buttons->isEnabled() && shown("Please Wait").isEmpty(); }

    // Ten frames, the progress checked after each, then the one that sets
    // the detection off.
    void run(const QByteArray& frame = QByteArray()) const
    {
        for (int frames = 1; frames <= 10; ++frames) {
            QVERIFY(deliver(frame));
            QTRY_COMPARE(progress->value(), 10 * frames);
            QVERIFY(!idle());
        }
        QSignalSpy finished(&driver.window, &MainWindow::detectionFinished);
        QVERIFY(deliver(frame));
        QVERIFY(finished.wait(20000));
        QVERIFY(idle());
    }

    QByteArray serial;
    WindowDriver driver;
    QPointer<DetectionDialogue> dialog;
    QProgressBar* progress = nullptr;
    QDialogButtonBox* buttons = nullptr;
};

} // namespace

class TestDetectionFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        environment = std::make_unique<TestUtils::IsolatedEnvironment>();
        QDir::setCurrent(environment->path());
    }
    void init() { QVERIFY(WindowDriver::resetWorld()); }

    void runAddsUnlistedHotPixels_data();
    void runAddsUnlistedHotPixels();
    void brightFrameAbortsRun_data();
    void brightFrameAbortsRun();
    void failedRunsEnd();
    void windowClosedMidRunLeavesNothing();

private:
    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
};

void TestDetectionFlow::runAddsUnlistedHotPixels_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<bool>("clear");

    QTest::newRow("raw bayer colour camera") << colourCamera << false;
    QTest::newRow("colour camera, user entries cleared") << colourCamera << true;
    QTest::newRow("mono camera") << "SIM0000752" << false;
}

void TestDetectionFlow::runAddsUnlistedHotPixels()
{
    QFETCH(QString, camera);
    QFETCH(bool, clear);

    const QSet<QString> eeprom = cameraList(KivoSimReadEeprom, camera);
    const QSet<QString> factory = cameraList(KivoSimReadFactoryList, camera);
    const QSet<QString> unlisted = cameraList(KivoSimReadTrueHotPixels, camera) - factory - eeprom;
    QVERIFY(!unlisted.isEmpty());
    Flow flow(camera);
    // Cleared user entries go at Start, before any frame is collected.
    flow.start(clear);
    QCOMPARE(flow.listed("user"), clear ? QSet<QString>() : eeprom);
    flow.run();
    QCOMPARE(flow.progress->value(), 100);
    // Nothing is added before the user has seen the candidates; listed hot
    // pixels are found too but are not new.
    QCOMPARE(flow.listed("user"), clear ? QSet<QString>() : eeprom);
    const int added = unlisted.size() + (clear ? eeprom.size() : 0);
    QVERIFY2(flow.shown("of them new$").endsWith(QStringLiteral(", %1 of them new").arg(added)),
             qPrintable(flow.shown("of them new$")));
    flow.press(QStringLiteral("Add"));
    QCOMPARE(flow.listed("factory"), factory);
    QCOMPARE(flow.listed("user"), eeprom + unlisted);
    QCOMPARE(flow.driver.entries("user").size(), eeprom.size() + unlisted.size());
    QCOMPARE(flow.shown("^Hot pixel detected"),
             QStringLiteral("Hot pixel detected: %1").arg(added));
    QVERIFY(flow.shown("restart detection|disconnected").isEmpty());
    QTRY_VERIFY(flow.shown("of them new$").endsWith(QStringLiteral(", 0 of them new")));

    // A second run collects ten new frames and finds nothing new.
    flow.start();
    QCOMPARE(flow.shown("^Hot pixel detected"), QStringLiteral("Hot pixel detected: 0"));
    flow.run();
    flow.press(QStringLiteral("Add"));
    QCOMPARE(flow.driver.entries("user").size(), eeprom.size() + unlisted.size());
    QCOMPARE(flow.shown("^Hot pixel detected"), QStringLiteral("Hot pixel detected: 0"));
}

void TestDetectionFlow::brightFrameAbortsRun_data()
{
    QTest::addColumn<int>("brightBytes");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("aborts");

    QTest::newRow("5001 bytes above 100 abort") << 5001 << 101 << true;
    QTest::newRow("5000 bytes above 100 pass") << 5000 << 101 << false;
    QTest::newRow("5001 bytes of 100 pass") << 5001 << 100 << false;
}

void TestDetectionFlow::brightFrameAbortsRun()
{
    QFETCH(int, brightBytes);
    QFETCH(int, value);
    QFETCH(bool, aborts);

    Flow flow(colourCamera);
    const QStringList entries = flow.driver.entries("user");
    // The second run shows that the first left nothing behind: it starts at 10.
    for (int run = 1; run <= 2; ++run) {
        flow.start();
        QVERIFY(flow.deliver(run == 1 ? colourFrame(brightBytes, char(value)) : QByteArray()));
        if (!aborts || run == 2) {
            QTRY_COMPARE(flow.progress->value(), 10);
            QCOMPARE(flow.driver.runner->shown.size(), run - 1);
            QVERIFY(flow.deliver(colourFrame(5001, char(101))));
        }
        QTRY_COMPARE(flow.driver.runner->shown.size(), run);
        QVERIFY(flow.idle());
        QCOMPARE(flow.progress->value(), 0);
    }
    QCOMPARE(flow.driver.runner->shown.first().title, QStringLiteral("Detection failed"));
    QVERIFY(flow.driver.runner->shown.first().hasParent);
    QCOMPARE(flow.driver.entries("user"), entries);
}

void TestDetectionFlow::failedRunsEnd()
{
    // A camera that only gives 32-bit colour frames, which the engine refuses.
    QVERIFY(KivoSimLoadWorld(R"({"cameras": [{"serial": "SIM0000064", "model": "Kivo Sim C64",
        "deviceId": 1, "width": 64, "height": 48, "forcedColorMode": 0,
        "factoryList": [[10, 10]]}]})") == 0);
    Flow flow(QStringLiteral("SIM0000064"));
    flow.start();
    // Black frames: nothing bright, even in the unused fourth byte.
    flow.run(QByteArray(64 * 48 * 4, '\0'));
    QCOMPARE(flow.shown("restart detection|disconnected"),
             QStringLiteral("Image format for hot pixel detection not supported. Please restart "
                            "detection."));
    QCOMPARE(flow.shown("^Hot pixel detected"), QStringLiteral("Hot pixel detected: -"));

    // Closed, the dialog goes; a new one counts what is added to the list,
    // and Start takes the error away.
    const QPointer<DetectionDialogue> first = flow.dialog;
    QTest::mouseClick(flow.buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
    QTRY_VERIFY(first.isNull());
    flow.openDialog();
    emit flow.driver.display()->positionClicked(QPoint(6, 7));
    flow.driver.action("&Add hot pixel")->trigger();
    QCOMPARE(flow.shown("^Hot pixel detected"), QStringLiteral("Hot pixel detected: 1"));
    flow.start();
    QVERIFY(flow.shown("restart detection|disconnected").isEmpty());

    // A camera unplugged while frames are collected ends the run.
    QVERIFY(flow.deliver(QByteArray(64 * 48 * 4, '\0')));
    QTRY_COMPARE(flow.progress->value(), 10);
    QVERIFY(KivoSimSetPlugged(flow.serial.constData(), 0) == 0);
    QTRY_VERIFY(flow.idle());
    QCOMPARE(flow.progress->value(), 0);
    QVERIFY(flow.shown("restart detection|disconnected")
                .contains(QStringLiteral("camera was disconnected")));
    // Escape closes the idle dialog, and nothing modal is left over the window.
    QTest::keyClick(flow.dialog, Qt::Key_Escape);
    QTRY_VERIFY(flow.dialog.isNull());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestDetectionFlow::windowClosedMidRunLeavesNothing()
{
    for (int window = 1; window <= 2; ++window) {
        Flow flow(colourCamera);
        flow.start();
        QVERIFY(flow.deliver());
        QTRY_COMPARE(flow.progress->value(), 10);
    }
}

QTEST_MAIN(TestDetectionFlow)
#include "tst_detectionflow.moc"
