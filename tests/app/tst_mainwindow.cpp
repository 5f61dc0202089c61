#include "badpixellistmodel.h"
#include "displaywidget.h"
#include "kivo_control.h"
#include "languageloader.h"
#include "magnifiercontrol.h"
#include "parameterblockwidget.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <memory>

namespace {

const QString colourCamera = QStringLiteral("SIM0001280");
const QString monoCamera = QStringLiteral("SIM0000752");
const QString busyCamera = QStringLiteral("SIM0001600");

QStringList texts(const QList<QAction*>& actions)
{
    QStringList result;
    for (const QAction* action : actions)
        result << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return result;
}

int userEntries(const QAbstractItemModel* list)
{
    return int(list->match(list->index(0, 2), Qt::DisplayRole, QStringLiteral("user"), -1,
                           Qt::MatchExactly)
                   .size());
}

QMenu* menu(const MainWindow& window, const QString& title)
{
    for (QAction* action : window.menuBar()->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStart();
    void languageSwitchRetranslates();
    void actions_data();
    void actions();
    void toolBarAndMenus();
    void statusLabelsLeftToRight();
    void layoutSurvivesRestart();

    void cameraRowsShowTheirState();
    void failedListRefreshReachesStatusBar();
    void openByDoubleClickOnlyForFreeCameras();
    void actionsFollowTheSelectedRow();
    void openShowsLiveImageAndCounters();
    void closeResetsCountersAndMagnifier();
    void failedOpenShowsOnlyItsError();
    void configuredValuesAreNotRounded();
    void returnOpensAndZoomSteps();
    void softwareOnlyCameraWarnsAndCannotWrite();
    void unplugAndReplugOpenCamera();
    void focusPixelIsClamped_data();
    void focusPixelIsClamped();
    void clickSelectsListedPixel();
    void addAndDeleteWithKeys();
    void selectionFollowsAndScrolls_data();
    void selectionFollowsAndScrolls();
    void clearAsksAndEditsUndo();
    void writeAsksAndWrites_data();
    void writeAsksAndWrites();
    void fileCommands_data();
    void fileCommands();
    void listFileArrives_data();
    void listFileArrives();
    void contextMenuOfHotPixelList();
    void usageNamesTheShortcuts();

private:
    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
};

void TestMainWindow::initTestCase()
{
    environment = std::make_unique<TestUtils::IsolatedEnvironment>();
    // No cameraparameter.xml here: every open uses the built-in start values.
    QDir::setCurrent(environment->path());
}

void TestMainWindow::init()
{
    // The simulated EEPROM lists outlive a world reset; start each test afresh.
    QDir(QFile::decodeName(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/kivo-sim"))
        .removeRecursively();
    QVERIFY(KivoSimLoadWorld(nullptr) == 0);
    QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo")).clear();
}

void TestMainWindow::firstStart()
{
    WindowDriver driver;
    QCOMPARE(driver.window.size(), QSize(1024, 768));
    QCOMPARE(driver.window.windowTitle(), QStringLiteral("Kivo Speckwright"));
    QCOMPARE(driver.window.tabifiedDockWidgets(driver.dock("CameraListDock")),
             QList<QDockWidget*>({driver.dock("BadpixelListDock")}));
    for (const char* name :
         {"CameraListDock", "BadpixelListDock", "MagnifierDock", "CameraSliderDock"})
        QCOMPARE(driver.window.dockWidgetArea(driver.dock(name)), Qt::LeftDockWidgetArea);
    // Tabbed docks are all visible; only the one in front has a visible region.
    QVERIFY(!driver.dock("CameraListDock")->visibleRegion().isEmpty());
    QVERIFY(driver.dock("BadpixelListDock")->visibleRegion().isEmpty());
    QVERIFY(driver.display()->imageLabel->isHidden());
    const auto* hint = driver.window.findChild<QLabel*>(QStringLiteral("emptyViewHint"));
    QVERIFY(hint->isVisible());
    QCOMPARE(hint->alignment(), Qt::AlignCenter);
    QVERIFY(!driver.action(QStringLiteral("&Recent hot pixel lists"))->menu()->isEnabled());
    QVERIFY(!driver.dock("CameraSliderDock")->widget()->isEnabled());
    // Nothing hides behind the tool bar's extension, no camera column is cut,
    // five digits fit the x and y columns.
    const auto* toolBar = driver.window.findChild<QToolBar*>();
    for (QAction* action : toolBar->actions())
        QVERIFY2(action->isSeparator() || toolBar->widgetForAction(action)->isVisible(),
                 qPrintable(action->text()));
    const QAbstractItemView* cameras = driver.cameraView();
    const QHeaderView* header = driver.cameraView()->horizontalHeader();
    QVERIFY(header->length() <= cameras->viewport()->width());
    for (int column = 0; column < header->count(); ++column)
        QVERIFY(header->sectionSize(column) >=
                std::max(cameras->sizeHintForColumn(column), header->sectionSizeHint(column)));
    QVERIFY(driver.badpixelView()->columnWidth(1) >
            driver.badpixelView()->fontMetrics().horizontalAdvance(QStringLiteral("65535")));
}

void TestMainWindow::languageSwitchRetranslates()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QTRY_VERIFY(!driver.label("framesLabel").isEmpty());
    // One text of each kind: window, menus, actions, dock, tool bar, both list
    // models, status bar, parameter block and magnifier.
    const auto shownTexts = [&driver] {
        const QAbstractItemModel* badpixels = driver.badpixelView()->model();
        const QList<QAction*> menus = driver.window.menuBar()->actions();
        return QStringList{
            driver.window.windowTitle(),
            menus.at(0)->text(),
            menus.at(1)->menu()->actions().at(0)->text(),
            menus.at(2)->menu()->actions().at(0)->text(),
            driver.window.findChild<QToolBar*>()->actions().at(0)->iconText(),
            driver.dock("MagnifierDock")->windowTitle(),
            driver.window.findChild<QToolBar*>()->windowTitle(),
            driver.cameraView()->model()->headerData(1, Qt::Horizontal).toString(),
            driver.cameraStatus(colourCamera),
            badpixels->headerData(2, Qt::Horizontal).toString(),
            badpixels->index(0, 2).data().toString(),
            driver.label("framesLabel").section(QLatin1Char(' '), 0, 0),
            qobject_cast<ParameterBlockWidget*>(driver.dock("CameraSliderDock")->widget())
                ->framerateWidget->label->text(),
            driver.dock("MagnifierDock")->widget()->toolTip()};
    };
    const QStringList english{"Kivo Speckwright - SIM0001280",
                              "&File",
                              "&Undo",
                              "Camera list",
                              "Open\ncamera",
                              "Magnifier",
                              "Toolbar",
                              "Dev",
                              "opened",
                              "class",
                              "factory",
                              "Frames:",
                              "Framerate",
                              "Click to center"};
    QCOMPARE(shownTexts(), english);

    LanguageLoader language(QStringLiteral(TRANSLATIONS_PATH));
    QVERIFY(language.load(QLocale(QLocale::German, QLocale::Germany)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(shownTexts(),
             (QStringList{"Kivo Speckwright - SIM0001280", "&Datei", "&Rückgängig", "Kameraliste",
                          "Kamera\nöffnen", "Lupe", "Werkzeugleiste", "Gerät", "geöffnet", "Klasse",
                          "Werk", "Bilder:", "Bildrate", "Zum Zentrieren klicken"}));

    QVERIFY(!language.load(QLocale(QLocale::English, QLocale::UnitedStates)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(shownTexts(), english);
}

void TestMainWindow::actions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("hasIcon");
    QTest::addColumn<QKeySequence>("shortcut");

    const QKeySequence none;
    QTest::newRow("open") << "&Open camera" << false << false << false << true << none;
    QTest::newRow("close") << "&Close camera" << false << false << false << true << none;
    QTest::newRow("save") << "&Save hot pixel list" << false << false << false << true << none;
    QTest::newRow("load") << "&Load hot pixel list" << false << false << false << true << none;
    QTest::newRow("highlight") << "&Highlight" << true << true << true << true << none;
    QTest::newRow("write") << "&Write hot pixel" << false << false << false << true << none;
    QTest::newRow("correction") << "Hot pixel correction" << false << true << false << true << none;
    QTest::newRow("add") << "&Add hot pixel" << false << false << false << true
                         << QKeySequence(Qt::CTRL + Qt::Key_A);
    QTest::newRow("delete") << "&Delete hot pixel" << false << false << false << true
                            << QKeySequence(Qt::Key_Delete);
    QTest::newRow("clear") << "Clear user hot pixel" << true << false << false << false << none;
    QTest::newRow("detect") << "Detec&t hot pixel" << false << false << false << true << none;
    QTest::newRow("1:1") << "1:1" << true << true << true << false << none;
    QTest::newRow("4:1") << "4:1" << true << true << false << false << none;
    QTest::newRow("to fit") << "To fit" << false << true << false << false << none;
    QTest::newRow("usage") << "&Usage" << true << false << false << true << none;
    QTest::newRow("about") << "&About..." << true << false << false << true << none;
    QTest::newRow("export") << "&Export hot pixel list" << true << false << false << true << none;
    QTest::newRow("exit") << "E&xit" << true << false << false << true << none;
}

void TestMainWindow::actions()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);
    QFETCH(bool, hasIcon);
    QFETCH(QKeySequence, shortcut);

    // Without cameras nothing selects a camera row that would enable Open.
    QVERIFY(KivoSimLoadWorld(R"({"cameras": []})") == 0);
    WindowDriver driver;
    const QAction* action = driver.action(text);
    QCOMPARE(action->isEnabled(), enabled);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);
    QCOMPARE(!action->icon().isNull(), hasIcon);
    QCOMPARE(action->shortcut(), shortcut);
}

void TestMainWindow::toolBarAndMenus()
{
    WindowDriver driver;
    const auto* toolBar = driver.window.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(texts(toolBar->actions()),
             QStringList({"&Open camera", "&Close camera", "|", "Hot pixel correction",
                          "Detec&t hot pixel", "&Write hot pixel", "&Add hot pixel",
                          "&Delete hot pixel", "|", "&Highlight", "1:1"}));

    QCOMPARE(texts(driver.window.menuBar()->actions()),
             QStringList({"&File", "&Edit", "&View", "&Help"}));
    QCOMPARE(texts(menu(driver.window, QStringLiteral("&File"))->actions()),
             QStringList({"&Open camera", "&Close camera", "|", "&Save hot pixel list",
                          "&Load hot pixel list", "|", "&Export hot pixel list",
                          "&Import hot pixel list", "&Recent hot pixel lists", "|", "E&xit"}));
    QCOMPARE(texts(menu(driver.window, QStringLiteral("&Edit"))->actions()),
             QStringList({"&Undo", "&Redo"}));
    QCOMPARE(texts(menu(driver.window, QStringLiteral("&View"))->actions()),
             QStringList({"Camera list", "Hot pixel list", "Magnifier", "Camera properties", "|",
                          "&Highlight", "|", "Zoom &in", "Zoom &out"}));
    QCOMPARE(texts(menu(driver.window, QStringLiteral("&Help"))->actions()),
             QStringList({"&Usage", "|", "&About..."}));

    // The zoom button's menu runs from the smallest to the largest ratio.
    const QMenu* zoomMenu = toolBar->actions().last()->menu();
    QCOMPARE(texts(zoomMenu->actions()),
             QStringList({"1:4", "1:2", "1:1", "2:1", "4:1", "To fit"}));
}

void TestMainWindow::statusLabelsLeftToRight()
{
    WindowDriver driver;
    const QList<QPair<const char*, QString>> longest = {{"userCountLabel", "U: 65535"},
                                                        {"factoryCountLabel", "F: 65535"},
                                                        {"xLabel", "x: 65535"},
                                                        {"yLabel", "y: 65535"},
                                                        {"framesLabel", "Frames: 99999999"},
                                                        {"failedLabel", "Failed: 99999999"},
                                                        {"fpsLabel", "FPS: 999.99"}};
    QList<QRect> places;
    for (const auto& entry : longest) {
        auto* label = driver.window.findChild<QLabel*>(QString::fromLatin1(entry.first));
        QVERIFY2(places.isEmpty() || label->x() > places.last().x(), entry.first);
        QVERIFY(label->text().isEmpty());
        places << label->geometry();
        label->setText(entry.second);
    }
    // The longest texts neither move a label nor are cut.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    for (int i = 0; i < longest.size(); ++i) {
        auto* label = driver.window.findChild<QLabel*>(QString::fromLatin1(longest[i].first));
        QCOMPARE(label->geometry(), places.at(i));
        QVERIFY2(label->width() >= label->sizeHint().width(), longest[i].first);
    }
}

void TestMainWindow::layoutSurvivesRestart()
{
    {
        WindowDriver driver;
        driver.dock("MagnifierDock")->hide();
        driver.window.addDockWidget(Qt::RightDockWidgetArea, driver.dock("CameraSliderDock"));
    }
    QSettings settings(QStringLiteral("Talvane"), QStringLiteral("Kivo"));
    QVERIFY(settings.contains(QStringLiteral("Speckwright/mainWindow/geometry")));
    QVERIFY(settings.contains(QStringLiteral("Speckwright/mainWindow/state")));

    WindowDriver driver;
    QVERIFY(driver.dock("MagnifierDock")->isHidden());
    QCOMPARE(driver.window.dockWidgetArea(driver.dock("CameraSliderDock")),
             Qt::RightDockWidgetArea);

    QMenu* view = menu(driver.window, QStringLiteral("&View"));
    emit view->aboutToShow();
    QVERIFY(driver.action(QStringLiteral("Camera list"))->isChecked());
    QVERIFY(!driver.action(QStringLiteral("Magnifier"))->isChecked());
    QVERIFY(driver.action(QStringLiteral("Camera properties"))->isChecked());

    driver.action(QStringLiteral("Magnifier"))->trigger();
    QVERIFY(driver.dock("MagnifierDock")->isVisible());
}

void TestMainWindow::cameraRowsShowTheirState()
{
    WindowDriver driver;
    QCOMPARE(driver.cameraView()->model()->rowCount(), 3);
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("free"));
    QCOMPARE(driver.cameraStatus(busyCamera), QStringLiteral("in use"));

    driver.openCamera(colourCamera);
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));
    QCOMPARE(driver.cameraStatus(monoCamera), QStringLiteral("free"));
}

void TestMainWindow::failedListRefreshReachesStatusBar()
{
    WindowDriver driver;
    // The next poll fails; the rows stay and the window lives on.
    QVERIFY(KivoSimInjectFault("CamCount", 1, 5) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(driver.statusMessage(),
                              QStringLiteral("Can't get number of cameras."), 3000);
    QCOMPARE(driver.cameraView()->model()->rowCount(), 3);

    QVERIFY(KivoSimInjectFault("CamList", 1, 5) == 0);
    QVERIFY(KivoSimSetPlugged(monoCamera.toLatin1().constData(), 0) == 0);
    QTRY_COMPARE(driver.statusMessage(), QStringLiteral("Can't get camera list."));
    QTRY_COMPARE(driver.cameraRow(monoCamera), -1);
}

void TestMainWindow::openByDoubleClickOnlyForFreeCameras()
{
    WindowDriver driver;
    QTableView* view = driver.cameraView();
    auto doubleClickRow = [view](int row) {
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    };

    doubleClickRow(driver.cameraRow(busyCamera));
    QCOMPARE(driver.cameraStatus(busyCamera), QStringLiteral("in use"));
    QVERIFY(!driver.action(QStringLiteral("&Close camera"))->isEnabled());

    doubleClickRow(driver.cameraRow(colourCamera));
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));
    QVERIFY(driver.action(QStringLiteral("&Close camera"))->isEnabled());
    QVERIFY(driver.dock("CameraSliderDock")->widget()->isEnabled());

    // A second double click on the opened row opens nothing again.
    const int warningsBefore = driver.runner->shown.size();
    doubleClickRow(driver.cameraRow(colourCamera));
    QCOMPARE(driver.runner->shown.size(), warningsBefore);
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));
}

void TestMainWindow::actionsFollowTheSelectedRow()
{
    WindowDriver driver;
    const QStringList cameraCommands = {
        "&Close camera",     "&Save hot pixel list", "&Load hot pixel list", "Hot pixel correction",
        "Detec&t hot pixel", "&Add hot pixel",       "&Write hot pixel"};
    QAction* zoom = driver.window.findChild<QToolBar*>()->actions().last();

    driver.selectCamera(busyCamera);
    QVERIFY(!driver.action(QStringLiteral("&Open camera"))->isEnabled());
    driver.selectCamera(colourCamera);
    QVERIFY(driver.action(QStringLiteral("&Open camera"))->isEnabled());
    driver.cameraView()->clearSelection();
    QVERIFY(!driver.action(QStringLiteral("&Open camera"))->isEnabled());

    driver.openCamera(colourCamera);
    for (const QString& text : cameraCommands)
        QVERIFY2(driver.action(text)->isEnabled(), qPrintable(text));
    QVERIFY(zoom->isEnabled());

    driver.selectCamera(monoCamera);
    for (const QString& text : cameraCommands)
        QVERIFY2(!driver.action(text)->isEnabled(), qPrintable(text));
    QVERIFY(!zoom->isEnabled());
    // Close acts on the selected row only: the colour camera stays open.
    driver.action(QStringLiteral("&Close camera"))->trigger();
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));

    driver.selectCamera(colourCamera);
    QVERIFY(driver.action(QStringLiteral("&Close camera"))->isEnabled());
    QVERIFY(zoom->isEnabled());
}

void TestMainWindow::openShowsLiveImageAndCounters()
{
    WindowDriver driver;
    QVERIFY(KivoSimSetManualFrames(colourCamera.toLatin1().constData(), 1) == 0);
    driver.action(QStringLiteral("4:1"))->trigger();
    driver.openCamera(colourCamera);

    // Every open starts at 1:1 whatever was chosen before.
    QVERIFY(driver.action(QStringLiteral("1:1"))->isChecked());
    QVERIFY(!driver.action(QStringLiteral("4:1"))->isChecked());
    QCOMPARE(driver.window.findChild<QToolBar*>()->actions().last()->text(), QStringLiteral("1:1"));
    QCOMPARE(driver.label("xLabel"), QStringLiteral("x: 0"));
    QVERIFY(driver.display()->imageLabel->isVisible());

    QVERIFY(KivoSimDeliverFrame(colourCamera.toLatin1().constData(), nullptr, 0) == 0);
    QTRY_COMPARE(driver.display()->imageLabel->size(), QSize(1280, 1024));
    QTRY_VERIFY_WITH_TIMEOUT(driver.label("framesLabel") == QStringLiteral("Frames: 1"), 4000);
    QCOMPARE(driver.label("failedLabel"), QStringLiteral("Failed: 0"));
    QVERIFY(driver.label("fpsLabel").startsWith(QStringLiteral("FPS: ")));
    const QString fps = driver.label("fpsLabel").mid(5);
    QCOMPARE(fps.section(QLatin1Char('.'), 1).size(), 2);
}

void TestMainWindow::closeResetsCountersAndMagnifier()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QTRY_COMPARE_WITH_TIMEOUT(driver.label("userCountLabel"), QStringLiteral("U: 2"), 4000);
    QVERIFY(driver.label("factoryCountLabel") != QStringLiteral("F: 0"));
    auto* magnifier = driver.window.findChild<MagnifierControl*>();
    QTRY_VERIFY(!magnifier->valueLabel->text().isEmpty());

    driver.action(QStringLiteral("&Close camera"))->trigger();
    QCOMPARE(driver.label("framesLabel"), QStringLiteral("Frames: 0"));
    QCOMPARE(driver.label("failedLabel"), QStringLiteral("Failed: 0"));
    QCOMPARE(driver.label("fpsLabel"), QStringLiteral("FPS: 0"));
    QCOMPARE(driver.label("factoryCountLabel"), QStringLiteral("F: 0"));
    QCOMPARE(driver.label("userCountLabel"), QStringLiteral("U: 0"));
    QVERIFY(magnifier->valueLabel->text().isEmpty());
    QVERIFY(magnifier->colorLabel->text().isEmpty());
    QCOMPARE(driver.badpixelView()->model()->rowCount(), 0);
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("free"));
    QVERIFY(driver.display()->imageLabel->isHidden());
    QVERIFY(!driver.dock("CameraSliderDock")->widget()->isEnabled());
}

void TestMainWindow::failedOpenShowsOnlyItsError()
{
    WindowDriver driver;
    QVERIFY(KivoSimInjectFault("CamOpen", 2, 321) == 0);
    driver.openCamera(colourCamera);
    QVERIFY(!driver.statusMessage().isEmpty());
    QVERIFY(driver.runner->shown.isEmpty());
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("free"));
}

void TestMainWindow::configuredValuesAreNotRounded()
{
    QVERIFY(TestUtils::writeFile(
        QStringLiteral("cameraparameter.xml"),
        R"(<CameraSettings><Sensor ID="100"><Timing pixelclock="40" framerate="10" exposure="40"/>
           <Gain master="10" red="0" green="0" blue="0"/></Sensor></CameraSettings>)"));
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QFile::remove(QStringLiteral("cameraparameter.xml"));
    const auto* block =
        qobject_cast<ParameterBlockWidget*>(driver.dock("CameraSliderDock")->widget());
    QCOMPARE(block->framerateWidget->spinBox->value(), 10.0);
    QCOMPARE(block->exposureWidget->spinBox->value(), 40.0);
}

void TestMainWindow::returnOpensAndZoomSteps()
{
    WindowDriver driver;
    QApplication::setActiveWindow(&driver.window);
    QVERIFY(QTest::qWaitForWindowActive(&driver.window));
    driver.selectCamera(colourCamera);
    driver.cameraView()->setFocus();
    QTest::keyClick(driver.cameraView(), Qt::Key_Return);
    QCOMPARE(driver.cameraStatus(colourCamera), QStringLiteral("opened"));
    QCOMPARE(driver.window.windowTitle(), QStringLiteral("Kivo Speckwright - SIM0001280"));
    QVERIFY(driver.window.findChild<QLabel*>(QStringLiteral("emptyViewHint"))->isHidden());

    QTest::keyClick(&driver.window, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(driver.action(QStringLiteral("2:1"))->isChecked());
    driver.action(QStringLiteral("4:1"))->trigger();
    QTest::keyClick(&driver.window, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(driver.action(QStringLiteral("4:1"))->isChecked());
    driver.action(QStringLiteral("2:1"))->trigger();
    QWheelEvent wheel(QPointF(5, 5), QPointF(), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(driver.display()->viewport(), &wheel);
    QVERIFY(driver.action(QStringLiteral("1:1"))->isChecked());
    // The zoom button has no command of its own: its main part opens the ratios.
    auto* toolBar = driver.window.findChild<QToolBar*>();
    QCOMPARE(qobject_cast<QToolButton*>(toolBar->widgetForAction(toolBar->actions().last()))
                 ->popupMode(),
             QToolButton::InstantPopup);

    driver.action(QStringLiteral("&Close camera"))->trigger();
    QCOMPARE(driver.window.windowTitle(), QStringLiteral("Kivo Speckwright"));
    QTest::keyClick(&driver.window, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(driver.action(QStringLiteral("1:1"))->isChecked());
}

void TestMainWindow::softwareOnlyCameraWarnsAndCannotWrite()
{
    WindowDriver driver;
    driver.openCamera(monoCamera);
    QCOMPARE(driver.runner->shown.size(), 1);
    QCOMPARE(driver.runner->shown.first().title, QStringLiteral("Please note!"));
    QCOMPARE(driver.runner->shown.first().text,
             QStringLiteral("This camera only supports software correction and therefore can't "
                            "save inside the camera memory."));
    QVERIFY(!driver.action(QStringLiteral("&Write hot pixel"))->isEnabled());

    // A camera list change enables Write again; writing still refuses.
    driver.selectCamera(colourCamera);
    driver.selectCamera(monoCamera);
    QAction* write = driver.action(QStringLiteral("&Write hot pixel"));
    QVERIFY(write->isEnabled());
    write->trigger();
    QCOMPARE(driver.runner->shown.size(), 2);
    QCOMPARE(driver.runner->shown.last().title, QStringLiteral("Not supported!"));
    QCOMPARE(driver.runner->shown.last().icon, int(QMessageBox::Critical));
}

void TestMainWindow::unplugAndReplugOpenCamera()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QLabel* image = driver.display()->imageLabel;
    QVERIFY(image->isVisible());

    QVERIFY(KivoSimSetPlugged(colourCamera.toLatin1().constData(), 0) == 0);
    QTRY_VERIFY(image->isHidden());
    QTRY_COMPARE(driver.cameraRow(colourCamera), -1);

    QVERIFY(KivoSimSetPlugged(colourCamera.toLatin1().constData(), 1) == 0);
    QTRY_VERIFY(image->isVisible());
    // The open camera's row is selected again, not another program's.
    QTRY_VERIFY(driver.action(QStringLiteral("&Close camera"))->isEnabled());
}

void TestMainWindow::focusPixelIsClamped_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QPoint>("clicked");
    QTest::addColumn<QPoint>("focus");

    QTest::newRow("inside") << true << QPoint(100, 50) << QPoint(100, 50);
    QTest::newRow("left and below") << true << QPoint(-5, 3000) << QPoint(0, 1023);
    QTest::newRow("right and above") << true << QPoint(5000, -1) << QPoint(1279, 0);
    QTest::newRow("no sensor known yet") << false << QPoint(10, 10) << QPoint(0, 0);
}

void TestMainWindow::focusPixelIsClamped()
{
    QFETCH(bool, open);
    QFETCH(QPoint, clicked);
    QFETCH(QPoint, focus);

    WindowDriver driver;
    if (open)
        driver.openCamera(colourCamera);
    emit driver.display()->positionClicked(clicked);
    QCOMPARE(driver.label("xLabel"), QStringLiteral("x: %1").arg(focus.x()));
    QCOMPARE(driver.label("yLabel"), QStringLiteral("y: %1").arg(focus.y()));
}

void TestMainWindow::clickSelectsListedPixel()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QAbstractItemModel* list = driver.badpixelView()->model();
    QVERIFY(list->rowCount() > 2);
    const int x = list->index(1, 0).data().toInt();
    const int y = list->index(1, 1).data().toInt();

    emit driver.display()->positionClicked(QPoint(x, y));
    QItemSelectionModel* selection = driver.badpixelView()->selectionModel();
    QVERIFY(selection->isRowSelected(1, QModelIndex()));

    emit driver.display()->positionClicked(QPoint(x + 3, y));
    QVERIFY(!selection->hasSelection());
}

void TestMainWindow::addAndDeleteWithKeys()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QApplication::setActiveWindow(&driver.window);
    QVERIFY(QTest::qWaitForWindowActive(&driver.window));
    QAbstractItemModel* list = driver.badpixelView()->model();
    const int rows = list->rowCount();

    emit driver.display()->positionClicked(QPoint(600, 700));
    QTest::keyClick(&driver.window, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list->rowCount(), rows + 1);
    QCOMPARE(list->index(rows, 0).data().toInt(), 600);
    QCOMPARE(list->index(rows, 2).data().toString(), QStringLiteral("user"));
    QVERIFY(driver.action(QStringLiteral("&Delete hot pixel"))->isEnabled());

    // The same pixel again adds nothing and keeps the selection.
    QTest::keyClick(&driver.window, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list->rowCount(), rows + 1);
    QVERIFY(driver.badpixelView()->selectionModel()->isRowSelected(rows, QModelIndex()));

    QTest::keyClick(&driver.window, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), rows);

    // A factory entry cannot be deleted.
    emit driver.display()->positionClicked(
        QPoint(list->index(0, 0).data().toInt(), list->index(0, 1).data().toInt()));
    QVERIFY(!driver.action(QStringLiteral("&Delete hot pixel"))->isEnabled());
    QTest::keyClick(&driver.window, Qt::Key_Delete);
    QCOMPARE(list->rowCount(), rows);
}

void TestMainWindow::selectionFollowsAndScrolls_data()
{
    QTest::addColumn<QString>("zoom");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("fromEnd");

    QTest::newRow("1:1 right edge") << "1:1" << 1.0 << QPoint(1216, 516) << false;
    QTest::newRow("2:1 lower right") << "2:1" << 2.0 << QPoint(1100, 900) << false;
    QTest::newRow("4:1 middle") << "4:1" << 4.0 << QPoint(640, 512) << false;
    QTest::newRow("4:1 origin, view at the end") << "4:1" << 4.0 << QPoint(3, 3) << true;
    QTest::newRow("1:2 all in view") << "1:2" << 0.5 << QPoint(1216, 516) << false;
    // x -1: the first column right of the view.
    QTest::newRow("1:1 just right of the view") << "1:1" << 1.0 << QPoint(-1, 100) << false;
}

void TestMainWindow::selectionFollowsAndScrolls()
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
    if (pixel.x() < 0)
        pixel.setX(driver.display()->viewport()->width());
    emit driver.display()->positionClicked(pixel);
    driver.action(QStringLiteral("&Add hot pixel"))->trigger();
    const int row = driver.badpixelView()->model()->rowCount() - 1;
    driver.badpixelView()->selectionModel()->clearSelection();
    QWidget* viewport = driver.display()->viewport();
    QScrollBar* bars[] = {driver.display()->horizontalScrollBar(),
                          driver.display()->verticalScrollBar()};
    for (QScrollBar* bar : bars)
        bar->setValue(fromEnd ? bar->maximum() : 0);

    driver.badpixelView()->selectRow(row);
    QCOMPARE(driver.label("xLabel"), QStringLiteral("x: %1").arg(pixel.x()));
    QVERIFY(driver.action(QStringLiteral("&Delete hot pixel"))->isEnabled());
    // The pixel is in view, centred on each axis unless the view is at its end.
    const QPoint shown = driver.display()->imageLabel->mapTo(viewport, QPoint(pixel * scale));
    QVERIFY2(viewport->rect().contains(shown),
             qPrintable(QStringLiteral("%1,%2").arg(shown.x()).arg(shown.y())));
    const QPoint offCentre = shown - viewport->rect().center();
    for (const int axis : {0, 1}) {
        const int off = std::abs(axis == 0 ? offCentre.x() : offCentre.y());
        const QScrollBar* bar = bars[axis];
        QVERIFY(off <= 2 * scale || bar->value() == 0 || bar->value() == bar->maximum());
    }

    driver.badpixelView()->selectionModel()->clearSelection();
    QVERIFY(!driver.action(QStringLiteral("&Delete hot pixel"))->isEnabled());
}

void TestMainWindow::clearAsksAndEditsUndo()
{
    WindowDriver driver;
    driver.openCamera(colourCamera);
    QApplication::setActiveWindow(&driver.window);
    QVERIFY(QTest::qWaitForWindowActive(&driver.window));
    const QAbstractItemModel* list = driver.badpixelView()->model();
    emit driver.display()->positionClicked(QPoint(600, 700));
    driver.action(QStringLiteral("&Add hot pixel"))->trigger();
    // One step per pass of the event loop, as between two commands of a user.
    QCoreApplication::processEvents();

    driver.runner->answers = {int(QMessageBox::No), int(QMessageBox::Yes)};
    driver.action(QStringLiteral("Clear user hot pixel"))->trigger();
    QCOMPARE(userEntries(list), 3);
    QCOMPARE(driver.runner->shown.last().defaultButton, int(QMessageBox::No));
    driver.action(QStringLiteral("Clear user hot pixel"))->trigger();
    QCOMPARE(userEntries(list), 0);

    // Back to the list as read at the open, and forward again.
    const Qt::KeyboardModifiers undo = Qt::ControlModifier;
    const Qt::KeyboardModifiers redo = Qt::ControlModifier | Qt::ShiftModifier;
    const QList<QPair<Qt::KeyboardModifiers, int>> steps = {
        {undo, 3}, {undo, 2}, {undo, 2}, {redo, 3}, {redo, 0}, {redo, 0}, {undo, 3}};
    for (const auto& step : steps) {
        QTest::keyClick(&driver.window, Qt::Key_Z, step.first);
        QCOMPARE(userEntries(list), step.second);
    }
    // A write starts the history afresh.
    driver.runner->answers = {int(QMessageBox::Yes)};
    driver.action(QStringLiteral("&Write hot pixel"))->trigger();
    QVERIFY(!driver.action(QStringLiteral("&Undo"))->isEnabled());
    QVERIFY(!driver.action(QStringLiteral("&Redo"))->isEnabled());
    QTest::keyClick(&driver.window, Qt::Key_Z, undo);
    QCOMPARE(userEntries(list), 3);
    // A change of class alone is a step of its own.
    QAbstractItemModel* editable = driver.badpixelView()->model();
    const QModelIndex user =
        editable->match(editable->index(0, 2), Qt::DisplayRole, QStringLiteral("user")).first();
    QVERIFY(editable->setData(user, QStringLiteral("factory")));
    QCoreApplication::processEvents();
    QTest::keyClick(&driver.window, Qt::Key_Z, undo);
    QCOMPARE(userEntries(list), 3);
}

void TestMainWindow::writeAsksAndWrites_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("writtenEntries");

    QTest::newRow("yes writes the user entries") << int(QMessageBox::Yes) << 3;
    QTest::newRow("no leaves the camera alone") << int(QMessageBox::No) << 2;
}

void TestMainWindow::writeAsksAndWrites()
{
    QFETCH(int, answer);
    QFETCH(int, writtenEntries);

    WindowDriver driver;
    driver.openCamera(colourCamera);
    emit driver.display()->positionClicked(QPoint(321, 123));
    driver.action(QStringLiteral("&Add hot pixel"))->trigger();

    driver.runner->answers = {answer};
    driver.action(QStringLiteral("&Write hot pixel"))->trigger();
    QCOMPARE(driver.runner->shown.size(), 1);
    const ScriptedRunner::Shown& asked = driver.runner->shown.first();
    QCOMPARE(asked.text, QStringLiteral("This action will completely overwrite the user defined "
                                        "hot pixel list in the EEPROM of the camera."));
    QCOMPARE(asked.informativeText, QStringLiteral("Do you want to continue?"));
    QCOMPARE(asked.icon, int(QMessageBox::Warning));
    QCOMPARE(asked.defaultButton, int(QMessageBox::No));
    QVERIFY(!asked.hasParent);
    QCOMPARE(driver.statusMessage() == QStringLiteral("Hot pixel list written to the camera"),
             answer == QMessageBox::Yes);

    uint16_t words[64] = {};
    QCOMPARE(KivoSimReadEeprom(colourCamera.toLatin1().constData(), words, 64), writtenEntries);
}

void TestMainWindow::fileCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");

    QTest::newRow("export") << "&Export hot pixel list"
                            << "Export hot pixel list"
                            << "Text files (*.txt)"
                            << "list.txt";
    QTest::newRow("import") << "&Import hot pixel list"
                            << "Import hot pixel list"
                            << "Text files (*.txt)" << QString();
    QTest::newRow("save") << "&Save hot pixel list"
                          << "Save hot pixel list"
                          << "Binary files (*.bin)"
                          << "list.bin";
    QTest::newRow("load") << "&Load hot pixel list"
                          << "Open hot pixel list"
                          << "Binary files (*.bin)" << QString();
}

void TestMainWindow::fileCommands()
{
    QFETCH(QString, command);
    QFETCH(QString, caption);
    QFETCH(QString, filter);
    QFETCH(QString, written);

    WindowDriver driver;
    driver.openCamera(colourCamera);
    QAbstractItemModel* list = driver.badpixelView()->model();
    const int rows = list->rowCount();

    // Cancelled: nothing happens at all.
    driver.action(command)->trigger();
    QCOMPARE(driver.runner->captions, QStringList({caption}));
    QCOMPARE(driver.runner->filters, QStringList({filter}));
    QCOMPARE(driver.runner->directories, QStringList({QDir::homePath()}));
    QCOMPARE(list->rowCount(), rows);
    QVERIFY(driver.runner->shown.isEmpty());

    // A file that cannot be used: a critical box without title or parent.
    driver.runner->fileNames =
        QStringList{environment->path() + QStringLiteral("/missing/dir/list")};
    driver.action(command)->trigger();
    QCOMPARE(driver.runner->shown.size(), 1);
    QCOMPARE(driver.runner->shown.first().icon, int(QMessageBox::Critical));
    QVERIFY(driver.runner->shown.first().title.isEmpty());
    QVERIFY(!driver.runner->shown.first().hasParent);
    QVERIFY(!driver.runner->shown.first().text.isEmpty());

    // A name without suffix gets the type's; success is told, the file is
    // offered again and the next chooser starts in its folder.
    const QString folder = environment->path();
    driver.runner->fileNames = QStringList{folder + QStringLiteral("/list"), QString()};
    driver.action(command)->trigger();
    driver.action(command)->trigger();
    QCOMPARE(driver.runner->directories.last(), folder);
    if (written.isEmpty())
        return;
    QVERIFY(QFile::remove(folder + QLatin1Char('/') + written));
    QVERIFY(driver.statusMessage().startsWith(QStringLiteral("Hot pixel list ")));
    QVERIFY(driver.action(QStringLiteral("&Recent hot pixel lists"))
                ->menu()
                ->actions()
                .first()
                ->text()
                .endsWith(written));
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
        driver.action(QStringLiteral("&Import hot pixel list"))->trigger();
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
    QCOMPARE(userEntries(driver.badpixelView()->model()), users);
    QCOMPARE(driver.runner->shown.isEmpty() ? QString() : driver.runner->shown.last().text, box);
}

void TestMainWindow::contextMenuOfHotPixelList()
{
    WindowDriver driver;
    QTableView* view = driver.badpixelView();
    auto menuTexts = [&driver, view]() {
        emit view->customContextMenuRequested(QPoint(1, 1));
        QMenu* popup = nullptr;
        for (QMenu* candidate : driver.window.findChildren<QMenu*>()) {
            if (candidate->isVisible())
                popup = candidate;
        }
        const QStringList result = popup ? texts(popup->actions()) : QStringList();
        if (popup)
            popup->close();
        return result;
    };

    QCOMPARE(menuTexts(), QStringList({"&Add hot pixel"}));

    driver.openCamera(colourCamera);
    view->selectRow(0);
    QTRY_COMPARE(menuTexts(),
                 QStringList({"&Add hot pixel", "&Delete hot pixel", "Clear user hot pixel"}));
}

void TestMainWindow::usageNamesTheShortcuts()
{
    WindowDriver driver;
    driver.action(QStringLiteral("&Usage"))->trigger();
    QCOMPARE(driver.runner->shown.size(), 1);
    const ScriptedRunner::Shown& usage = driver.runner->shown.first();
    QCOMPARE(usage.title, QStringLiteral("Usage"));
    QCOMPARE(usage.icon, int(QMessageBox::NoIcon));
    const QString add = QKeySequence(Qt::CTRL + Qt::Key_A).toString(QKeySequence::NativeText);
    const QString del = QKeySequence(Qt::Key_Delete).toString(QKeySequence::NativeText);
    QVERIFY(usage.text.contains(add + QStringLiteral("\t Add a hot pixel to the list\n")));
    QVERIFY(usage.text.contains(del + QStringLiteral("\t Removes a hot pixel from the list\n")));
    QVERIFY(usage.text.startsWith(QStringLiteral("Kivo Speckwright - Usage\n\nNavigation:")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
