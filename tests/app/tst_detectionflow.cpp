#include "detectiondialogue.h"
#include "displaywidget.h"
#include "kivo_control.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextStream>

#include <iterator>
#include <memory>
#include <vector>

// Qt 5 has no hash of its own for points; the global namespace is where the
// containers look for one.
static uint qHash(const QPoint& point, uint seed = 0)
{
    return qHash(qMakePair(point.x(), point.y()), seed);
}

namespace {

const QString colourCamera = QStringLiteral("SIM0001280");
const QString monoCamera = QStringLiteral("SIM0000752");
const QString tooBrightTitle = QStringLiteral("Detection failed");
const QString tooBrightText = QStringLiteral(
    "Too many bright pixels in a frame.\nPlease make sure that the sensor is completely obscured.");

using ListReader = int (*)(const char*, uint16_t*, int);

// A list of the simulated camera as positions; a list the camera cannot
// hold (no EEPROM) is empty.
QSet<QPoint> cameraList(ListReader read, const QString& serial)
{
    std::vector<uint16_t> words(2 * 4096 + 1);
    const int count = read(serial.toLatin1().constData(), words.data(), int(words.size()));
    QSet<QPoint> result;
    for (int i = 0; i < count; ++i)
        result.insert(QPoint(words[size_t(1 + 2 * i)], words[size_t(2 + 2 * i)]));
    return result;
}

// True hot pixels of the camera that neither its factory list nor its EEPROM
// list names.
QSet<QPoint> unlistedHotPixels(const QString& serial)
{
    return cameraList(KivoSimReadTrueHotPixels, serial) -
           cameraList(KivoSimReadFactoryList, serial) - cameraList(KivoSimReadEeprom, serial);
}

struct Entry
{
    QPoint position;
    QString pixelclass;
};

// The window's hot pixel list as the user sees it in its dock.
QList<Entry> listEntries(const WindowDriver& driver)
{
    const QAbstractItemModel* model = driver.badpixelView()->model();
    QList<Entry> result;
    for (int row = 0; row < model->rowCount(); ++row)
        result.append(
            {QPoint(model->index(row, 0).data().toInt(), model->index(row, 1).data().toInt()),
             model->index(row, 2).data().toString()});
    return result;
}

QSet<QPoint> positionsOf(const QList<Entry>& entries, const QString& pixelclass)
{
    QSet<QPoint> result;
    for (const Entry& entry : entries) {
        if (entry.pixelclass == pixelclass)
            result.insert(entry.position);
    }
    return result;
}

// An open camera delivering frames by hand and the detection dialog opened
// over the window, with the dialog's controls looked up as a user sees them.
struct Flow
{
    explicit Flow(const QString& camera)
        : serial(camera.toLatin1())
    {
        if (KivoSimSetManualFrames(serial.constData(), 1) != 0 ||
            KivoSimSetCovered(serial.constData(), 1) != 0)
            qWarning("camera %s not prepared: %s", serial.constData(), KivoSimLastMessage());
        driver.openCamera(camera);
        openDialog();
    }

    void openDialog()
    {
        driver.action(QStringLiteral("Detec&t hot pixel"))->trigger();
        const QList<DetectionDialogue*> dialogs = driver.window.findChildren<DetectionDialogue*>();
        dialog = dialogs.isEmpty() ? nullptr : dialogs.last();
        if (!dialog)
            qFatal("no detection dialog");
        progress = dialog->findChild<QProgressBar*>();
        buttons = dialog->findChild<QDialogButtonBox*>();
        QLayout* detection = nullptr;
        for (QGroupBox* box : dialog->findChildren<QGroupBox*>()) {
            if (box->title() == QStringLiteral("Detection"))
                detection = box->layout();
        }
        // Status, progress, count and error, top to bottom.
        status = qobject_cast<QLabel*>(detection->itemAt(0)->widget());
        count = qobject_cast<QLabel*>(detection->itemAt(2)->widget());
        error = qobject_cast<QLabel*>(detection->itemAt(3)->widget());
    }

    void start(bool clear = false)
    {
        dialog->findChild<QCheckBox*>()->setChecked(clear);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    // The simulated sensor's own frame, or exactly the given bytes.
    bool deliver(const QByteArray& pixels = QByteArray()) const
    {
        const uint8_t* bytes =
            pixels.isNull() ? nullptr : reinterpret_cast<const uint8_t*>(pixels.constData());
        if (KivoSimDeliverFrame(serial.constData(), bytes, size_t(pixels.size())) == 0)
            return true;
        qWarning("frame not delivered: %s", KivoSimLastMessage());
        return false;
    }

    void press(const QString& text) const
    {
        QPushButton* button = nullptr;
        for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
            if (b->text() == text)
                button = b;
        }
        QVERIFY(button && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Adds the candidates of the last run at the dialog's threshold.
    void add() const { press(QStringLiteral("Add")); }

    // The live line under the histogram.
    QString candidates() const
    {
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().endsWith(QStringLiteral(" of them new")))
                return label->text();
        }
        return QString();
    }

    bool collecting() const { return status->text() == QStringLiteral("Please Wait..."); }
    bool idle() const { return buttons->isEnabled() && status->text().isEmpty(); }

    QByteArray serial;
    WindowDriver driver;
    QPointer<DetectionDialogue> dialog;
    QProgressBar* progress = nullptr;
    QDialogButtonBox* buttons = nullptr;
    QLabel* status = nullptr;
    QLabel* count = nullptr;
    QLabel* error = nullptr;
};

// A frame of the colour camera whose first brightCount bytes hold value and
// whose other bytes are black.
QByteArray colourFrame(int brightCount, char value)
{
    return QByteArray(brightCount, value) + QByteArray(1280 * 1024 - brightCount, '\0');
}

} // namespace

class TestDetectionFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void coveredFramesAddUnlistedHotPixels_data();
    void coveredFramesAddUnlistedHotPixels();
    void clearRemovesOnlyUserEntries_data();
    void clearRemovesOnlyUserEntries();
    void brightFrameAbortsRun_data();
    void brightFrameAbortsRun();
    void ignoredPositionIsAddedAgain();
    void secondRunStartsFromNothing();
    void engineFailureIsShownAndEndsRun();
    void closedDialogIsDeleted();
    void unplugWhileCollectingEndsRun();

private:
    // Delivers ten frames, checking the progress after each, then the one
    // that sets the detection off.
    void runDetection(Flow& flow);

    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
};

void TestDetectionFlow::initTestCase()
{
    environment = std::make_unique<TestUtils::IsolatedEnvironment>();
    QDir::setCurrent(environment->path());
}

void TestDetectionFlow::init()
{
    // The simulated EEPROM lists outlive a world reset; start each test afresh.
    QDir(QFile::decodeName(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/kivo-sim"))
        .removeRecursively();
    QVERIFY(KivoSimLoadWorld(nullptr) == 0);
    QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo")).clear();
}

void TestDetectionFlow::runDetection(Flow& flow)
{
    for (int frame = 1; frame <= 10; ++frame) {
        QVERIFY(flow.deliver());
        QTRY_COMPARE(flow.progress->value(), 10 * frame);
        QVERIFY(flow.collecting());
    }
    QSignalSpy finished(&flow.driver.window, &MainWindow::detectionFinished);
    QVERIFY(flow.deliver());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.size(), 1);
    QVERIFY(flow.idle());
    QCOMPARE(flow.progress->value(), 100);
}

void TestDetectionFlow::coveredFramesAddUnlistedHotPixels_data()
{
    QTest::addColumn<QString>("camera");

    QTest::newRow("raw bayer colour camera") << colourCamera;
    QTest::newRow("mono camera") << monoCamera;
}

void TestDetectionFlow::coveredFramesAddUnlistedHotPixels()
{
    QFETCH(QString, camera);

    const QSet<QPoint> unlisted = unlistedHotPixels(camera);
    QVERIFY(!unlisted.isEmpty());
    Flow flow(camera);
    const QList<Entry> before = listEntries(flow.driver);
    QVERIFY(!before.isEmpty());

    flow.start();
    runDetection(flow);
    if (QTest::currentTestFailed())
        return;
    // Nothing is added before the user has seen the candidates.
    QCOMPARE(listEntries(flow.driver).size(), before.size());
    QVERIFY2(flow.candidates().endsWith(QStringLiteral(", %1 of them new").arg(unlisted.size())),
             qPrintable(flow.candidates()));
    // The run's frames are kept as one 16-bit image, named without its suffix.
    flow.driver.runner->fileNames = QStringList{environment->path() + QStringLiteral("/dark")};
    flow.press(QStringLiteral("Save frame..."));
    QFile saved(environment->path() + QStringLiteral("/dark.pgm"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray header = saved.read(200);
    QVERIFY2(header.contains("\n# frames 10\n"), header.constData());
    flow.add();

    // Listed hot pixels are found too, but the list already holds them.
    const QList<Entry> after = listEntries(flow.driver);
    QCOMPARE(after.size(), before.size() + unlisted.size());
    for (int row = 0; row < before.size(); ++row) {
        QCOMPARE(after.at(row).position, before.at(row).position);
        QCOMPARE(after.at(row).pixelclass, before.at(row).pixelclass);
    }
    QCOMPARE(positionsOf(after.mid(before.size()), QStringLiteral("user")), unlisted);
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: %1").arg(unlisted.size()));
    QVERIFY(flow.error->text().isEmpty());
    // The added candidates are listed now: none of them is new any more.
    QTRY_VERIFY(flow.candidates().endsWith(QStringLiteral(", 0 of them new")));
}

void TestDetectionFlow::clearRemovesOnlyUserEntries_data()
{
    QTest::addColumn<bool>("clear");

    QTest::newRow("kept") << false;
    QTest::newRow("cleared") << true;
}

void TestDetectionFlow::clearRemovesOnlyUserEntries()
{
    QFETCH(bool, clear);

    const QSet<QPoint> eeprom = cameraList(KivoSimReadEeprom, colourCamera);
    const QSet<QPoint> factory = cameraList(KivoSimReadFactoryList, colourCamera);
    QVERIFY(!eeprom.isEmpty());
    Flow flow(colourCamera);
    QCOMPARE(positionsOf(listEntries(flow.driver), QStringLiteral("user")), eeprom);

    flow.start(clear);
    // The old user entries go at Start, before any frame is collected.
    const QList<Entry> atStart = listEntries(flow.driver);
    QCOMPARE(positionsOf(atStart, QStringLiteral("factory")), factory);
    QCOMPARE(positionsOf(atStart, QStringLiteral("user")), clear ? QSet<QPoint>() : eeprom);
    QCOMPARE(atStart.size(), factory.size() + (clear ? 0 : eeprom.size()));

    runDetection(flow);
    if (QTest::currentTestFailed())
        return;
    flow.add();

    // Cleared user entries are hot pixels still, so the run brings them back.
    const QSet<QPoint> unlisted = unlistedHotPixels(colourCamera);
    const int added = unlisted.size() + (clear ? eeprom.size() : 0);
    const QList<Entry> after = listEntries(flow.driver);
    QCOMPARE(after.size(), atStart.size() + added);
    QCOMPARE(positionsOf(after, QStringLiteral("factory")), factory);
    QCOMPARE(positionsOf(after, QStringLiteral("user")), eeprom + unlisted);
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: %1").arg(added));
}

void TestDetectionFlow::brightFrameAbortsRun_data()
{
    QTest::addColumn<int>("brightBytes");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("aborts");

    QTest::newRow("5001 bytes above 100 abort") << 5001 << 101 << true;
    QTest::newRow("5000 bytes above 100 pass") << 5000 << 101 << false;
    QTest::newRow("5001 bytes of 100 pass") << 5001 << 100 << false;
    QTest::newRow("whole frame white aborts") << 1280 * 1024 << 255 << true;
}

void TestDetectionFlow::brightFrameAbortsRun()
{
    QFETCH(int, brightBytes);
    QFETCH(int, value);
    QFETCH(bool, aborts);

    Flow flow(colourCamera);
    const int entries = listEntries(flow.driver).size();
    flow.start();
    QVERIFY(flow.deliver(colourFrame(brightBytes, char(value))));
    if (aborts) {
        QTRY_COMPARE(flow.driver.runner->shown.size(), 1);
        QVERIFY(flow.idle());
        QCOMPARE(flow.progress->value(), 0);
    } else {
        QTRY_COMPARE(flow.progress->value(), 10);
        QVERIFY(flow.collecting());
        QVERIFY(flow.driver.runner->shown.isEmpty());
        // A too bright second frame ends this run as well.
        QVERIFY(flow.deliver(colourFrame(5001, char(101))));
        QTRY_COMPARE(flow.driver.runner->shown.size(), 1);
        QVERIFY(flow.idle());
        QCOMPARE(flow.progress->value(), 0);
    }
    const ScriptedRunner::Shown& box = flow.driver.runner->shown.first();
    QCOMPARE(box.title, tooBrightTitle);
    QCOMPARE(box.text, tooBrightText);
    QCOMPARE(box.icon, int(QMessageBox::Critical));
    QVERIFY(box.hasParent);
    QCOMPARE(listEntries(flow.driver).size(), entries);

    // The abandoned run leaves nothing behind: the next one starts at 10.
    flow.start();
    QVERIFY(flow.deliver());
    QTRY_COMPARE(flow.progress->value(), 10);
    QVERIFY(flow.deliver(colourFrame(5001, char(101))));
    QTRY_COMPARE(flow.driver.runner->shown.size(), 2);
}

void TestDetectionFlow::ignoredPositionIsAddedAgain()
{
    const QSet<QPoint> unlisted = unlistedHotPixels(colourCamera);
    QVERIFY(unlisted.size() >= 2);
    const QPoint ignored = *unlisted.cbegin();
    const QPoint user = *std::next(unlisted.cbegin());
    const QString file = environment->path() + QStringLiteral("/ignored.txt");
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream(&out) << ignored.x() << ' ' << ignored.y() << " 2\n"
                          << user.x() << ' ' << user.y() << " 1\n";
    }

    Flow flow(colourCamera);
    flow.driver.runner->fileNames = QStringList{file};
    flow.driver.action(QStringLiteral("&Import hot pixel list"))->trigger();
    // The import replaced the camera's user entries with the file's.
    const QList<Entry> before = listEntries(flow.driver);
    QCOMPARE(positionsOf(before, QStringLiteral("ignore")), QSet<QPoint>({ignored}));
    QCOMPARE(positionsOf(before, QStringLiteral("user")), QSet<QPoint>({user}));

    flow.start();
    runDetection(flow);
    if (QTest::currentTestFailed())
        return;
    flow.add();

    const QSet<QPoint> eeprom = cameraList(KivoSimReadEeprom, colourCamera);
    const QList<Entry> added = listEntries(flow.driver).mid(before.size());
    const QSet<QPoint> addedPositions = positionsOf(added, QStringLiteral("user"));
    // Every unlisted hot pixel but the one already a user entry, and the
    // EEPROM's hot pixels that the import dropped.
    QCOMPARE(added.size(), unlisted.size() - 1 + eeprom.size());
    QVERIFY(addedPositions.contains(ignored));
    QVERIFY(!addedPositions.contains(user));
    QCOMPARE(addedPositions, (unlisted - QSet<QPoint>{user}) + eeprom);
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: %1").arg(added.size()));
}

void TestDetectionFlow::secondRunStartsFromNothing()
{
    Flow flow(monoCamera);
    flow.start();
    runDetection(flow);
    if (QTest::currentTestFailed())
        return;
    flow.add();
    const int entries = listEntries(flow.driver).size();
    QVERIFY(flow.count->text() != QStringLiteral("Hot pixel detected: 0"));

    // The frames of the first run are gone: ten new ones are collected, and
    // the hot pixels found again are all in the list already.
    flow.start();
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: 0"));
    runDetection(flow);
    if (QTest::currentTestFailed())
        return;
    flow.add();
    QCOMPARE(listEntries(flow.driver).size(), entries);
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: 0"));
}

void TestDetectionFlow::engineFailureIsShownAndEndsRun()
{
    // A camera that only gives 32-bit colour frames, which the engine refuses.
    QVERIFY(KivoSimLoadWorld(R"({"cameras": [{"serial": "SIM0000064", "model": "Kivo Sim C64",
        "deviceId": 1, "width": 64, "height": 48, "forcedColorMode": 0,
        "factoryList": [[10, 10]]}]})") == 0);
    Flow flow(QStringLiteral("SIM0000064"));
    const int entries = listEntries(flow.driver).size();
    flow.start();

    // Black frames: nothing bright, even in the unused fourth byte.
    const QByteArray black(64 * 48 * 4, '\0');
    for (int frame = 1; frame <= 10; ++frame) {
        QVERIFY(flow.deliver(black));
        QTRY_COMPARE(flow.progress->value(), 10 * frame);
    }
    QSignalSpy finished(&flow.driver.window, &MainWindow::detectionFinished);
    QVERIFY(flow.deliver(black));
    QVERIFY(finished.wait());

    const QString failure = QStringLiteral("Image format for hot pixel detection not supported.");
    QCOMPARE(flow.driver.statusMessage(), failure);
    QCOMPARE(flow.error->text(), failure + QStringLiteral(" Please restart detection."));
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: -"));
    QVERIFY(flow.idle());
    QCOMPARE(listEntries(flow.driver).size(), entries);
    QVERIFY(flow.driver.runner->shown.isEmpty());

    // Start again: the error goes, and ten frames are collected anew.
    flow.start();
    QVERIFY(flow.error->text().isEmpty());
    QVERIFY(flow.deliver(black));
    QTRY_COMPARE(flow.progress->value(), 10);
    QVERIFY(flow.collecting());
    const QByteArray white(64 * 48 * 4, '\xff');
    QVERIFY(flow.deliver(white));
    QTRY_COMPARE(flow.driver.runner->shown.size(), 1);
}

void TestDetectionFlow::closedDialogIsDeleted()
{
    Flow flow(colourCamera);
    const QPointer<DetectionDialogue> first = flow.dialog;
    flow.start();
    QVERIFY(flow.deliver(colourFrame(5001, char(101))));
    QTRY_VERIFY(flow.idle());

    QTest::mouseClick(flow.buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
    QTRY_VERIFY(first.isNull());
    QVERIFY(flow.driver.window.findChildren<DetectionDialogue*>().isEmpty());

    // A new dialog counts what is added to the list, and is the only one left.
    flow.openDialog();
    QCOMPARE(flow.driver.window.findChildren<DetectionDialogue*>().size(), 1);
    emit flow.driver.display()->positionClicked(QPoint(600, 700));
    flow.driver.action(QStringLiteral("&Add hot pixel"))->trigger();
    QCOMPARE(flow.count->text(), QStringLiteral("Hot pixel detected: 1"));
}

void TestDetectionFlow::unplugWhileCollectingEndsRun()
{
    Flow flow(colourCamera);
    flow.start();
    QVERIFY(flow.deliver());
    QTRY_COMPARE(flow.progress->value(), 10);

    QVERIFY(KivoSimSetPlugged(flow.serial.constData(), 0) == 0);
    QTRY_VERIFY(flow.idle());
    QCOMPARE(flow.progress->value(), 0);
    QVERIFY(flow.error->text().contains(QStringLiteral("camera was disconnected")));
    QVERIFY(flow.error->wordWrap());

    // Escape closes the idle dialog, and nothing modal is left over the window.
    QTest::keyClick(flow.dialog, Qt::Key_Escape);
    QTRY_VERIFY(flow.dialog.isNull());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestDetectionFlow)
#include "tst_detectionflow.moc"
