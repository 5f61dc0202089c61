#include "kivo_control.h"
#include "languageloader.h"
#include "magnifiercontrol.h"
#include "parameterblockwidget.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <memory>

namespace {

const QString colourCamera = QStringLiteral("SIM0001280");
const QString monoCamera = QStringLiteral("SIM0000752");

QString texts(const QList<QAction*>& actions)
{
    QStringList result;
    for (const QAction* action : actions)
        result << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return result.join(QLatin1Char(','));
}

void activate(WindowDriver& driver)
{
    QApplication::setActiveWindow(&driver.window);
    QVERIFY(QTest::qWaitForWindowActive(&driver.window));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(WindowDriver::resetWorld()); }

    void firstStart();
    void cameraSelectionDrivesCommands();
    void openZoomAndClose();
    void addSelectAndDelete();
    void selectionScrollsIntoView_data();
    void selectionScrollsIntoView();
    void clearUndoAndWrite();
    void fileCommands_data();
    void fileCommands();
    void listFileArrives_data();
    void listFileArrives();

private:
    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
};

void TestMainWindow::initTestCase()
{
    environment = std::make_unique<TestUtils::IsolatedEnvironment>();
    QDir::setCurrent(environment->path());
}

void TestMainWindow::firstStart()
{
    WindowDriver driver;
    QCOMPARE(driver.window.size(), QSize(1024, 768));
    QCOMPARE(driver.window.tabifiedDockWidgets(driver.dock("CameraListDock")),
             QList<QDockWidget*>({driver.dock("BadpixelListDock")}));
    for (const char* name : {"MagnifierDock", "CameraSliderDock"})
        QCOMPARE(driver.window.dockWidgetArea(driver.dock(name)), Qt::LeftDockWidgetArea);
    QVERIFY(!driver.dock("CameraSliderDock")->widget()->isEnabled());
    const auto* hint = driver.window.findChild<QLabel*>(QStringLiteral("emptyViewHint"));
    QVERIFY(hint->isVisible());
    QCOMPARE(hint->alignment(), Qt::AlignCenter);
    QVERIFY(!driver.action("&Recent hot pixel lists")->menu()->isEnabled());

    QToolBar* toolBar = driver.window.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    QCOMPARE(texts(toolBar->actions()),
             QStringLiteral("&Open camera,&Close camera,|,Hot pixel correction,Detec&t hot "
                            "pixel,&Write hot pixel,&Add hot pixel,&Delete hot pixel,|,&Highlight,"
                            "1:1"));
    // Nothing hides behind the tool bar's extension.
    for (QAction* action : toolBar->actions())
        QVERIFY(action->isSeparator() || toolBar->widgetForAction(action)->isVisible());
    // The zoom button has no command of its own: it opens the ratios.
    QCOMPARE(texts(toolBar->actions().last()->menu()->actions()),
             QStringLiteral("1:4,1:2,1:1,2:1,4:1,To fit"));
}

void TestMainWindow::cameraSelectionDrivesCommands()
{
    WindowDriver driver;
    activate(driver);
    QAction* open = driver.action("&Open camera");
    QTableView* view = driver.cameraView();
    auto doubleClick = [view](int row) {
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    };
    // Another program's camera does not open; Open follows the selected row.
    doubleClick(driver.cameraRow(QStringLiteral("SIM0001600")));
    QVERIFY(!open->isEnabled());
    driver.selectCamera(colourCamera);
    QVERIFY(open->isEnabled());
    view->clearSelection();
    QVERIFY(!open->isEnabled());

    // Return on the selected row opens it.
    driver.selectCamera(colourCamera);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));
    QCOMPARE(driver.window.windowTitle(), QStringLiteral("Kivo Speckwright - SIM0001280"));
    QVERIFY(driver.dock("CameraSliderDock")->widget()->isEnabled());
    QVERIFY(driver.action("Detec&t hot pixel")->isEnabled());
    // The commands act on the selected row only.
    driver.selectCamera(monoCamera);
    QVERIFY(!driver.action("Detec&t hot pixel")->isEnabled());
    driver.action("&Close camera")->trigger();
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));

    // The open camera unplugged and plugged again shows its image again, and
    // its row is selected again, not another program's.
    driver.selectCamera(colourCamera);
    QLabel* image = driver.display()->imageLabel;
    QVERIFY(KivoSimSetPlugged(colourCamera.toLatin1().constData(), 0) == 0);
    QTRY_VERIFY(image->isHidden());
    QTRY_COMPARE(driver.cameraRow(colourCamera), -1);
    QVERIFY(KivoSimSetPlugged(colourCamera.toLatin1().constData(), 1) == 0);
    QTRY_VERIFY(image->isVisible());
    QTRY_VERIFY(driver.action("&Close camera")->isEnabled());

    // A camera without memory of its own warns at the open and refuses to
    // write, also when a list change has enabled Write again.
    driver.action("&Close camera")->trigger();
    doubleClick(driver.cameraRow(monoCamera));
    QCOMPARE(driver.runner->shown.last().title, QStringLiteral("Please note!"));
    QVERIFY(!driver.action("&Write hot pixel")->isEnabled());
    driver.selectCamera(colourCamera);
    driver.selectCamera(monoCamera);
    driver.action("&Write hot pixel")->trigger();
    QCOMPARE(driver.runner->shown.last().title, QStringLiteral("Not supported!"));
}

void TestMainWindow::openZoomAndClose()
{
    // Configured start values are taken as they are, not rounded.
    QVERIFY(TestUtils::writeFile(
        QStringLiteral("cameraparameter.xml"),
        R"(<CameraSettings><Sensor ID="100"><Timing pixelclock="40" framerate="10" exposure="40"/>
           <Gain master="10" red="0" green="0" blue="0"/></Sensor></CameraSettings>)"));
    WindowDriver driver;
    QVERIFY(KivoSimSetManualFrames(colourCamera.toLatin1().constData(), 1) == 0);
    driver.action("4:1")->trigger();
    driver.openCamera(colourCamera);
    QVERIFY(QFile::remove(QStringLiteral("cameraparameter.xml")));
    const auto* block =
        qobject_cast<ParameterBlockWidget*>(driver.dock("CameraSliderDock")->widget());
    QCOMPARE(block->framerateWidget->spinBox->value(), 10.0);
    QCOMPARE(block->exposureWidget->spinBox->value(), 40.0);
    // Every open starts at 1:1 whatever was chosen before.
    auto checked = [&driver](const char* ratio) {
        return driver.action(ratio)->isChecked();
    };
    QVERIFY(checked("1:1"));
    QVERIFY(KivoSimDeliverFrame(colourCamera.toLatin1().constData(), nullptr, 0) == 0);
    QTRY_COMPARE(driver.display()->imageLabel->size(), QSize(1280, 1024));
    QTRY_COMPARE_WITH_TIMEOUT(driver.label("framesLabel"), QStringLiteral("Frames: 1"), 4000);
    QTRY_COMPARE_WITH_TIMEOUT(driver.label("userCountLabel"), QStringLiteral("U: 2"), 4000);
    auto* magnifier = driver.window.findChild<MagnifierControl*>();
    QTRY_VERIFY(!magnifier->valueLabel->text().isEmpty());

    // The language changes at run time: a menu, the tool bar, both list models.
    const auto shownTexts = [&driver] {
        return QStringList{driver.window.menuBar()->actions().at(0)->text(),
                           driver.window.findChild<QToolBar*>()->actions().at(0)->iconText(),
                           driver.cameraStatus(colourCamera),
                           driver.badpixelView()->model()->index(0, 2).data().toString()};
    };
    LanguageLoader language(QStringLiteral(TRANSLATIONS_PATH));
    QVERIFY(language.load(QLocale(QLocale::German)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(shownTexts(), QStringList({"&Datei", "Kamera\nöffnen", "geöffnet", "Werk"}));
    QVERIFY(!language.load(QLocale(QLocale::English)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(shownTexts(), QStringList({"&File", "Open\ncamera", "opened", "factory"}));

    // Ctrl and + zoom in, no further than 4:1; the wheel zooms only with Ctrl
    // held, down is out.
    activate(driver);
    QTest::keyClick(&driver.window, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(checked("2:1"));
    driver.action("4:1")->trigger();
    QTest::keyClick(&driver.window, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(checked("4:1"));
    driver.action("2:1")->trigger();
    for (const auto modifiers : {Qt::NoModifier, Qt::ControlModifier}) {
        QWheelEvent wheel(QPointF(5, 5), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(driver.display()->viewport(), &wheel);
        QVERIFY(checked(modifiers == Qt::NoModifier ? "2:1" : "1:1"));
    }

    driver.action("&Close camera")->trigger();
    QCOMPARE(QStringList({driver.label("framesLabel"), driver.label("failedLabel"),
                          driver.label("fpsLabel"), driver.label("factoryCountLabel"),
                          driver.label("userCountLabel")}),
             QStringList({"Frames: 0", "Failed: 0", "FPS: 0", "F: 0", "U: 0"}));
    QVERIFY(magnifier->valueLabel->text().isEmpty());
    QCOMPARE(driver.badpixelView()->model()->rowCount(), 0);
    QVERIFY(driver.display()->imageLabel->isHidden());
    // Without a camera there is nothing to zoom.
    QTest::keyClick(&driver.window, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(checked("1:1"));
}

void TestMainWindow::addSelectAndDelete()
{
    WindowDriver driver;
    activate(driver);
    driver.openCamera(colourCamera);
    QAbstractItemModel* list = driver.badpixelView()->model();
    QItemSelectionModel* selection = driver.badpixelView()->selectionModel();
    const int rows = list->rowCount();
    // A click on a listed pixel selects its row, one beside it nothing.
    const QPoint listed(list->index(1, 0).data().toInt(), list->index(1, 1).data().toInt());
    emit driver.display()->positionClicked(listed);
    QVERIFY(selection->isRowSelected(1, QModelIndex()));
    emit driver.display()->positionClicked(listed + QPoint(3, 0));
    QVERIFY(!selection->hasSelection());

    // Added twice, the pixel is listed once, selected, as a user entry.
    for (int times = 0; times < 2; ++times) {
        emit driver.display()->positionClicked(QPoint(600, 700));
        QTest::keyClick(&driver.window, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->rowCount(), rows + 1);
        QVERIFY(selection->isRowSelected(rows, QModelIndex()));
    }
    QCOMPARE(list->index(rows, 0).data().toInt(), 600);
    QCOMPARE(list->index(rows, 2).data().toString(), QStringLiteral("user"));
    QTest::keyClick(&driver.window, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), rows);
    // A factory entry cannot be deleted.
    emit driver.display()->positionClicked(
        QPoint(list->index(0, 0).data().toInt(), list->index(0, 1).data().toInt()));
    QVERIFY(!driver.action("&Delete hot pixel")->isEnabled());
    QTest::keyClick(&driver.window, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), rows);
}

void TestMainWindow::selectionScrollsIntoView_data()
{
    QTest::addColumn<QString>("zoom");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("fromEnd");

    QTest::newRow("4:1 middle") << "4:1" << 4.0 << QPoint(640, 512) << false;
    QTest::newRow("4:1 origin, view at the end") << "4:1" << 4.0 << QPoint(3, 3) << true;
    // x -1: the first column right of the view.
    QTest::newRow("1:1 just right of the view") << "1:1" << 1.0 << QPoint(-1, 100) << false;
}

void TestMainWindow::selectionScrollsIntoView()
{
    QFETCH(QString, zoom);
    QFETCH(double, scale);
    QFETCH(QPoint, pixel);
    QFETCH(bool, fromEnd);

    WindowDriver driver;
    QVERIFY(KivoSimSetManualFrames(colourCamera.toLatin1().constData(), 1) == 0);
    driver.openCamera(colourCamera);
    driver.action(zoom)->trigger();
    QVERIFY(KivoSimDeliverFrame(colourCamera.toLatin1().constData(), nullptr, 0) == 0);
    QTRY_COMPARE(driver.display()->imageLabel->width(), int(1280 * scale));
    QWidget* viewport = driver.display()->viewport();
    if (pixel.x() < 0)
        pixel.setX(viewport->width());
    emit driver.display()->positionClicked(pixel);
    driver.action("&Add hot pixel")->trigger();
    driver.badpixelView()->selectionModel()->clearSelection();
    QScrollBar* bars[] = {driver.display()->horizontalScrollBar(),
                          driver.display()->verticalScrollBar()};
    for (QScrollBar* bar : bars)
        bar->setValue(fromEnd ? bar->maximum() : 0);

    driver.badpixelView()->selectRow(driver.badpixelView()->model()->rowCount() - 1);
    QCOMPARE(driver.label("xLabel"), QStringLiteral("x: %1").arg(pixel.x()));
    // Where the pixel is drawn now, read off the widgets: in view, and centred
    // on each axis unless the view is at its end there.
    const QPoint shown = driver.display()->imageLabel->mapTo(viewport, QPoint(pixel * scale));
    QVERIFY(viewport->rect().contains(shown));
    const QPoint off = shown - viewport->rect().center();
    for (const QScrollBar* bar : bars) {
        const int distance = std::abs(bar->orientation() == Qt::Horizontal ? off.x() : off.y());
        QVERIFY(distance <= 2 * scale || bar->value() == 0 || bar->value() == bar->maximum());
    }
}

void TestMainWindow::clearUndoAndWrite()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    activate(driver);
    QAbstractItemModel* list = driver.badpixelView()->model();
    emit driver.display()->positionClicked(QPoint(600, 700));
    driver.action("&Add hot pixel")->trigger();
    // One step per pass of the event loop, as between two commands of a user.
    QCoreApplication::processEvents();

    driver.runner->answers = {int(QMessageBox::No), int(QMessageBox::Yes)};
    driver.action("Clear user hot pixel")->trigger();
    QCOMPARE(driver.entries("user").size(), 3);
    QCOMPARE(driver.runner->shown.last().defaultButton, int(QMessageBox::No));
    driver.action("Clear user hot pixel")->trigger();
    QCOMPARE(driver.entries("user").size(), 0);

    // Back to the list as read at the open, and forward again.
    const Qt::KeyboardModifiers undo = Qt::ControlModifier;
    const Qt::KeyboardModifiers redo = Qt::ControlModifier | Qt::ShiftModifier;
    const QList<QPair<Qt::KeyboardModifiers, int>> steps = {
        {undo, 3}, {undo, 2}, {undo, 2}, {redo, 3}, {redo, 0}, {redo, 0}, {undo, 3}};
    for (const auto& step : steps) {
        QTest::keyClick(&driver.window, Qt::Key_Z, step.first);
        QCOMPARE(driver.entries("user").size(), step.second);
    }
    // Writing asks first; No leaves the camera's two entries, Yes writes the
    // three of the list and starts the history afresh.
    uint16_t words[64] = {};
    for (const int answer : {int(QMessageBox::No), int(QMessageBox::Yes)}) {
        driver.runner->answers = {answer};
        driver.action("&Write hot pixel")->trigger();
        QCOMPARE(driver.runner->shown.last().icon, int(QMessageBox::Warning));
        QCOMPARE(driver.runner->shown.last().defaultButton, int(QMessageBox::No));
        QCOMPARE(KivoSimReadEeprom("SIM0001280", words, 64), answer == QMessageBox::Yes ? 3 : 2);
    }
    QCOMPARE(driver.statusMessage(), QStringLiteral("Hot pixel list written to the camera"));
    QVERIFY(!driver.action("&Undo")->isEnabled());
    QVERIFY(!driver.action("&Redo")->isEnabled());
    // A change of class alone is a step of its own.
    QVERIFY(list->setData(list->match(list->index(0, 2), Qt::DisplayRole, "user").first(),
                          QStringLiteral("factory")));
    QCoreApplication::processEvents();
    QTest::keyClick(&driver.window, Qt::Key_Z, undo);
    QCOMPARE(driver.entries("user").size(), 3);
}

void TestMainWindow::fileCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");

    QTest::newRow("export") << "&Export hot pixel list"
                            << "Text files (*.txt)"
                            << "list.txt";
    QTest::newRow("import") << "&Import hot pixel list"
                            << "Text files (*.txt)" << QString();
    QTest::newRow("save") << "&Save hot pixel list"
                          << "Binary files (*.bin)"
                          << "list.bin";
    QTest::newRow("load") << "&Load hot pixel list"
                          << "Binary files (*.bin)" << QString();
}

void TestMainWindow::fileCommands()
{
    QFETCH(QString, command);
    QFETCH(QString, filter);
    QFETCH(QString, written);

    WindowDriver driver;
    driver.openCamera(colourCamera);
    // Cancelled: nothing happens at all.
    driver.action(command)->trigger();
    QCOMPARE(driver.runner->filters, QStringList({filter}));
    QCOMPARE(driver.runner->directories, QStringList({QDir::homePath()}));
    QVERIFY(driver.runner->shown.isEmpty());
    // A file that cannot be used: a critical box without title or parent.
    const QString folder = environment->path();
    driver.runner->fileNames = QStringList{folder + QStringLiteral("/missing/dir/list")};
    driver.action(command)->trigger();
    const ScriptedRunner::Shown failed = driver.runner->shown.value(0);
    QVERIFY(failed.icon == QMessageBox::Critical && failed.title.isEmpty() && !failed.hasParent);
    // A name without suffix gets the type's; success is told, the file is
    // offered again and the next chooser starts in its folder.
    driver.runner->fileNames = QStringList{folder + QStringLiteral("/list"), QString()};
    driver.action(command)->trigger();
    driver.action(command)->trigger();
    QCOMPARE(driver.runner->directories.last(), folder);
    if (written.isEmpty())
        return;
    QVERIFY(QFile::remove(folder + QLatin1Char('/') + written));
    QVERIFY(driver.statusMessage().startsWith(QStringLiteral("Hot pixel list ")));
    QCOMPARE(driver.action("&Recent hot pixel lists")->menu()->actions().first()->text(),
             QStringLiteral("&1 ") + QDir::toNativeSeparators(folder + QLatin1Char('/') + written));
}

void TestMainWindow::listFileArrives_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("users");
    QTest::addColumn<QString>("box");

    QTest::newRow("imported") << "import" << true << QByteArray("1 1 1\n2 2 1\n3 3 1\n") << 3 << "";
    QTest::newRow("wrong line changes nothing")
        << "import" << true << QByteArray("1 1 1\nhello world\n1 2\n") << 2
        << "Line 2 is not a hot pixel entry \"x y class\":\nhello world\nNothing was imported.";
    QTest::newRow("dropped") << "drop" << true << QByteArray("1 1 1\n") << 1 << "";
    QTest::newRow("recent") << "recent" << true << QByteArray("1 1 1\n") << 1 << "";
    QTest::newRow("imported before an open is kept")
        << "import" << false << QByteArray("1 1 1\n") << 3 << "";
}

void TestMainWindow::listFileArrives()
{
    QFETCH(QString, route);
    QFETCH(bool, openFirst);
    QFETCH(QByteArray, text);
    QFETCH(int, users);
    QFETCH(QString, box);

    const QString file = environment->path() + QStringLiteral("/arrives.txt");
    QVERIFY(TestUtils::writeFile(file, text));
    QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo"))
        .setValue(QStringLiteral("Speckwright/files/recent"), QStringList{file});
    WindowDriver driver;
    if (openFirst)
        driver.openCamera(colourCamera);
    if (route == QLatin1String("import")) {
        driver.runner->fileNames = QStringList{file};
        driver.action("&Import hot pixel list")->trigger();
    } else if (route == QLatin1String("drop")) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&driver.window, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&driver.window, &drop);
    } else {
        driver.action(QStringLiteral("&1 ") + QDir::toNativeSeparators(file))->trigger();
    }
    if (!openFirst)
        driver.openCamera(colourCamera);
    QCOMPARE(driver.entries("user").size(), users);
    QCOMPARE(driver.runner->shown.isEmpty() ? QString() : driver.runner->shown.last().text, box);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
