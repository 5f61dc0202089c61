#include "mainwindow.h"

#include "averagedframewriter.h"
#include "detectiondialogue.h"
#include "detectionevidence.h"
#include "dialog_about.h"
#include "displaywidget.h"
#include "emptyviewhint.h"
#include "listfiledrop.h"
#include "magnifier.h"
#include "magnifiercontrol.h"
#include "mainwindowform.h"
#include "modalrunner.h"
#include "parameterblockwidget.h"
#include "recentlistfiles.h"
#include "zoomstepper.h"

#include <QCursor>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int statusInterval = 1500;
constexpr int messageDuration = 2000;
constexpr int openFailureDuration = 5000;
constexpr int successDuration = 4000;

constexpr int framesPerDetection = 10;
constexpr int progressPerFrame = 10;
constexpr uchar brightByte = 100;
constexpr int brightLimit = 5000;

QString errorText(const std::exception& error)
{
    return QString::fromLocal8Bit(error.what());
}

// True when more than brightLimit bytes of the frame are brighter than
// brightByte: the sensor is not covered.
bool tooBright(const QImage& frame)
{
    const uchar* bytes = frame.constBits();
    const qsizetype size = frame.sizeInBytes();
    int bright = 0;
    for (qsizetype i = 0; i < size; ++i) {
        bright += bytes[i] > brightByte;
        if (bright > brightLimit)
            return true;
    }
    return false;
}

// Scrolls one axis so that the image coordinate is in view, centred when it
// was outside. The shown extent over the image extent is the scale of every
// zoom, the fitted one included.
void bringIntoView(QScrollBar* bar, int viewExtent, int shownExtent, int imageExtent,
                   int coordinate)
{
    if (imageExtent <= 0)
        return;
    const int centre = int((coordinate + 0.5) * shownExtent / imageExtent);
    if (centre < bar->value() || centre >= bar->value() + viewExtent)
        bar->setValue(centre - viewExtent / 2);
}

QString nativeName(const QString& name)
{
    return QDir::toNativeSeparators(name);
}

// Wide enough for the longest text the label is expected to show, so that it
// neither jumps as numbers grow nor is cut.
void fitWidthTo(QLabel* label, const QString& longestText)
{
    const int margin = label->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(longestText) + 2 * margin);
}

QDockWidget* replaceDock(QDockWidget* old, const QString& objectName, QWidget* parent)
{
    delete old;
    auto* dock = new QDockWidget(parent);
    dock->setObjectName(objectName);
    return dock;
}

// The width that shows every column in full beside a vertical scroll bar; the
// last column stretches, so only its contents count.
int tableWidth(const QTableView* table)
{
    const QAbstractItemView* view = table;
    const QHeaderView* header = table->horizontalHeader();
    const int last = header->count() - 1;
    return header->sectionPosition(last) +
           std::max(view->sizeHintForColumn(last), header->sectionSizeHint(last)) +
           2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
}

void setUpTableView(QTableView* view)
{
    view->setSortingEnabled(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Low enough that all four docks fit beside the first-start window.
    view->setMinimumHeight(48);
    QHeaderView* vertical = view->verticalHeader();
    vertical->setDefaultSectionSize(vertical->minimumSectionSize());
    vertical->hide();
    QHeaderView* horizontal = view->horizontalHeader();
    horizontal->setSortIndicatorShown(false);
    horizontal->setHighlightSections(false);
    horizontal->setStretchLastSection(true);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowForm>())
    , cameraListModel(1000, nullptr)
    , modalRunner(std::make_unique<ModalRunner>())
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/res/main.ico")));
    ui->centralWidget->layout()->setContentsMargins(0, 0, 0, 0);

    cameraSelectionModel = std::make_unique<QItemSelectionModel>(&cameraListModel);
    badpixelSelectionModel = std::make_unique<QItemSelectionModel>(&badpixelListModel);
    ui->display->setSelectionModel(badpixelSelectionModel.get());
    ui->display->setListModel(&badpixelListModel);

    createActions();
    createMenus();
    retranslateUi();
    createConnections();
    const bool firstStart = !QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo"))
                                 .contains(QStringLiteral("Speckwright/mainWindow/state"));
    readSettings();

    cameraListDock->raise();
    cameraListModel.refresh();
    cameraListView->resizeColumnsToContents();
    // Wide enough that every column, a scroll bar and the dock's frame fit;
    // stored layouts keep their own widths.
    if (firstStart)
        resizeDocks({cameraListDock}, {tableWidth(cameraListView)}, Qt::Horizontal);
    ui->display->imageLabel->hide();
}

MainWindow::~MainWindow()
{
    writeSettings();
    // The camera and the docks outlive the form below; they must not call
    // back into a window that is being torn down.
    disconnect(&camera, nullptr, this, nullptr);
    if (magnifierDock)
        disconnect(magnifierDock, nullptr, this, nullptr);
    cameraSelectionModel.reset();
    badpixelSelectionModel.reset();
    ui.reset();
}

void MainWindow::setModalRunner(std::unique_ptr<ModalRunner> runner)
{
    modalRunner = std::move(runner);
}

// --- Construction -------------------------------------------------------

void MainWindow::createActions()
{
    ui->mainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    // The texts are set by retranslateUi.
    auto action = [this](const char* icon, bool enabled) {
        auto* created = new QAction(this);
        if (icon)
            created->setIcon(QIcon(QString::fromLatin1(icon)));
        created->setEnabled(enabled);
        return created;
    };
    auto checkable = [&action](const char* icon, bool checked) {
        QAction* created = action(icon, true);
        created->setCheckable(true);
        created->setChecked(checked);
        return created;
    };

    openCameraAction = action(":/res/openplay.png", false);
    closeCameraAction = action(":/res/camclose.png", false);
    saveListAction = action(":/res/writeList.png", false);
    loadListAction = action(":/res/openList.png", false);
    highlightAction = checkable(":/res/highlight.png", true);
    writeAction = action(":/res/writeBadpixel.png", false);
    correctionAction = checkable(":/res/badpixelCorrection.png", false);
    correctionAction->setEnabled(false);
    addBadpixelAction = action(":/res/addBadpixel.png", false);
    addBadpixelAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_A));
    deleteBadpixelAction = action(":/res/deleteBadpixel.png", false);
    deleteBadpixelAction->setShortcut(QKeySequence(Qt::Key_Delete));
    clearUserAction = action(nullptr, true);
    detectAction = action(":/res/detectBadpixel.png", false);
    zoom1to1Action = checkable(nullptr, true);
    zoom2to1Action = checkable(nullptr, false);
    zoom4to1Action = checkable(nullptr, false);
    zoom1to2Action = checkable(nullptr, false);
    zoom1to4Action = checkable(nullptr, false);
    zoomFitAction = checkable(nullptr, false);
    zoomFitAction->setVisible(false);
    zoomFitAction->setEnabled(false);
    zoomAction = action(":/res/zoom.png", false);
    usageAction = action(":/res/help.png", true);
    aboutAction = action(":/res/information.png", true);

    zoomMenu = new QMenu(this);
    zoomMenu->addActions({zoom1to4Action, zoom1to2Action, zoom1to1Action, zoom2to1Action,
                          zoom4to1Action, zoomFitAction});
    zoomAction->setMenu(zoomMenu);
    zoomStepper = new ZoomStepper(
        {zoom1to4Action, zoom1to2Action, zoom1to1Action, zoom2to1Action, zoom4to1Action},
        ui->display->viewport(), this);
    zoomStepper->setEnabled(false);

    undoAction = action(nullptr, false);
    undoAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Z));
    redoAction = action(nullptr, false);
    redoAction->setShortcut(QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z));

    statusTimer = new QTimer(this);
}

void MainWindow::createMenus()
{
    createCameraListDock();
    createBadpixelListDock();
    createMagnifierDock();
    createCameraSliderDock();
    tabifyDockWidget(cameraListDock, badpixelListDock);

    QToolBar* toolBar = ui->mainToolBar;
    toolBar->addAction(openCameraAction);
    toolBar->addAction(closeCameraAction);
    toolBar->addSeparator();
    toolBar->addActions(
        {correctionAction, detectAction, writeAction, addBadpixelAction, deleteBadpixelAction});
    toolBar->addSeparator();
    toolBar->addAction(highlightAction);
    toolBar->addAction(zoomAction);
    // The button's main part opens the ratios too; it has no action of its own.
    qobject_cast<QToolButton*>(toolBar->widgetForAction(zoomAction))
        ->setPopupMode(QToolButton::InstantPopup);

    // Sized for 5-digit coordinates and counts, 8-digit frame counts (over a
    // day at 100 fps) and a 3-digit rate.
    auto statusLabel = [this](const char* name, const char* longestText) {
        auto* label = new QLabel(ui->statusBar);
        label->setObjectName(QString::fromLatin1(name));
        fitWidthTo(label, QString::fromLatin1(longestText));
        return label;
    };
    xLabel = statusLabel("xLabel", "x: 00000");
    yLabel = statusLabel("yLabel", "y: 00000");
    userCountLabel = statusLabel("userCountLabel", "U: 00000");
    factoryCountLabel = statusLabel("factoryCountLabel", "F: 00000");
    framesLabel = statusLabel("framesLabel", "Frames: 00000000");
    failedLabel = statusLabel("failedLabel", "Failed: 00000000");
    fpsLabel = statusLabel("fpsLabel", "FPS: 000.00");
    for (QLabel* label :
         {userCountLabel, factoryCountLabel, xLabel, yLabel, framesLabel, failedLabel, fpsLabel})
        ui->statusBar->addPermanentWidget(label, 0);
    // Not permanent: a temporary message, such as a save naming its file,
    // takes the label's place for as long as it shows instead of being cut.
    listPlaceLabel = new QLabel(ui->statusBar);
    listPlaceLabel->setObjectName(QStringLiteral("listPlaceLabel"));
    ui->statusBar->addWidget(listPlaceLabel);

    fileMenu = new QMenu(ui->menuBar);
    exportListAction =
        new QAction(QIcon(QStringLiteral(":/res/exportList.png")), QString(), fileMenu);
    importListAction =
        new QAction(QIcon(QStringLiteral(":/res/importList.png")), QString(), fileMenu);
    exitAction = new QAction(QIcon(QStringLiteral(":/res/exit.png")), QString(), fileMenu);
    connect(exportListAction, &QAction::triggered, this, &MainWindow::exportBadpixelList);
    connect(importListAction, &QAction::triggered, this, &MainWindow::importBadpixelList);
    connect(exitAction, &QAction::triggered, this, &MainWindow::close);
    fileMenu->addActions({openCameraAction, closeCameraAction});
    fileMenu->addSeparator();
    fileMenu->addActions({saveListAction, loadListAction});
    fileMenu->addSeparator();
    fileMenu->addActions({exportListAction, importListAction});
    recentMenu = fileMenu->addMenu(QString());
    recentFiles = new RecentListFiles(recentMenu, this);
    fileMenu->addSeparator();
    fileMenu->addAction(exitAction);

    editMenu = new QMenu(ui->menuBar);
    editMenu->addActions({undoAction, redoAction});

    viewMenu = new QMenu(ui->menuBar);
    connect(viewMenu, &QMenu::aboutToShow, this, &MainWindow::onMenuShow);
    auto viewAction = [this](const char* icon, void (MainWindow::*slot)()) {
        auto* created = new QAction(QIcon(QString::fromLatin1(icon)), QString(), viewMenu);
        created->setCheckable(true);
        connect(created, &QAction::triggered, this, slot);
        viewMenu->addAction(created);
        return created;
    };
    showCameraListAction =
        viewAction(":/res/cameraList.png", &MainWindow::onShowHideCameraListDock);
    showBadpixelListAction =
        viewAction(":/res/badpixelList.png", &MainWindow::onShowHideBadpixelListDock);
    showMagnifierAction = viewAction(":/res/window_view.png", &MainWindow::onShowHideMagnifierDock);
    showCameraPropertiesAction =
        viewAction(":/res/cameraproperties.png", &MainWindow::onShowHideCameraSliderDock);
    viewMenu->addSeparator();
    viewMenu->addAction(highlightAction);
    viewMenu->addSeparator();
    viewMenu->addActions({zoomStepper->zoomInAction, zoomStepper->zoomOutAction});

    helpMenu = new QMenu(ui->menuBar);
    helpMenu->addAction(usageAction);
    helpMenu->addSeparator();
    helpMenu->addAction(aboutAction);

    ui->menuBar->addMenu(fileMenu);
    ui->menuBar->addMenu(editMenu);
    ui->menuBar->addMenu(viewMenu);
    ui->menuBar->addMenu(helpMenu);
}

void MainWindow::createConnections()
{
    DisplayWidget* display = ui->display;

    connect(openCameraAction, &QAction::triggered, this, &MainWindow::openCamera);
    connect(closeCameraAction, &QAction::triggered, this, &MainWindow::closeCamera);
    connect(saveListAction, &QAction::triggered, this, &MainWindow::saveBadpixelList);
    connect(loadListAction, &QAction::triggered, this, &MainWindow::loadBadpixelList);
    connect(highlightAction, &QAction::toggled, display, &DisplayWidget::setHighlight);
    connect(writeAction, &QAction::triggered, this, &MainWindow::writeBadpixelList);
    connect(addBadpixelAction, &QAction::triggered, this, &MainWindow::addNewBadpixel);
    connect(deleteBadpixelAction, &QAction::triggered, this, &MainWindow::deleteBadpixel);
    connect(clearUserAction, &QAction::triggered, this, &MainWindow::clearBadpixel);
    connect(detectAction, &QAction::triggered, this, &MainWindow::openDetectDialog);
    connect(zoomMenu, &QMenu::triggered, this, &MainWindow::onZoomChanged);
    connect(usageAction, &QAction::triggered, this, &MainWindow::openHelpUsageWindow);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::openHelpAboutWindow);
    connect(correctionAction, &QAction::triggered, this, &MainWindow::onHotpixelCorrection);

    connect(&camera, &Camera::cameraOpened, &cameraListModel, &CameraListModel::setOpenCamera);
    connect(&camera, &Camera::cameraOpened, &badpixelListModel,
            &BadpixelListModel::getBadpixelList);
    connect(&camera, &Camera::cameraOpened, this, &MainWindow::onCameraOpened);
    connect(&camera, &Camera::cameraOpened, &cameraListModel, &CameraListModel::refresh);
    connect(&camera, &Camera::cameraClosed, &cameraListModel, &CameraListModel::clearOpenCamera);
    connect(&camera, &Camera::cameraClosed, &cameraListModel, &CameraListModel::refresh);
    connect(&camera, &Camera::cameraClosed, &badpixelListModel,
            &BadpixelListModel::clearBadpixelList);
    connect(&camera, &Camera::cameraClosed, this, &MainWindow::onCameraClosed);
    connect(&camera, &Camera::newImage, this, &MainWindow::newImage);
    connect(&camera, &Camera::displayError, ui->statusBar, &QStatusBar::showMessage);
    connect(&camera, &Camera::cameraNewDevice, &cameraListModel, &CameraListModel::refresh);
    connect(&camera, &Camera::cameraRemovedDevice, &cameraListModel, &CameraListModel::refresh);
    connect(&camera, &Camera::cameraRemoved, this, &MainWindow::onCameraDisconnect);
    connect(&camera, &Camera::cameraReconnect, this, &MainWindow::onCameraReconnect);
    connect(&cameraListModel, &CameraListModel::somethingChanged, this,
            &MainWindow::updateCameraActions);
    connect(&cameraListModel, &CameraListModel::rowToSelect, this, &MainWindow::onSelectCameraRow);
    connect(cameraSelectionModel.get(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateCameraActions);
    connect(badpixelSelectionModel.get(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateSelection);
    connect(&badpixelListModel, &BadpixelListModel::dataChanged, this, &MainWindow::setSelection);
    connect(display, &DisplayWidget::positionClicked, this, &MainWindow::setMagnifierPosition);
    connect(display, &DisplayWidget::scaleChanged, this,
            [this](double scale) { updateScaleFactor(int(scale)); });
    connect(this, &MainWindow::magnifierPositionChanged, this, &MainWindow::updateStatusPosition);
    connect(this, &MainWindow::magnifierPositionChanged, display,
            &DisplayWidget::updateMagnifierPosition);
    connect(statusTimer, &QTimer::timeout, this, &MainWindow::updateStatus);

    // A failed refresh of the camera list (poll, device event or sort) is
    // reported here instead of ending the program.
    connect(
        &cameraListModel, &CameraListModel::errorOccurred, this,
        [this](const QString& message) { ui->statusBar->showMessage(message, messageDuration); });

    connect(undoAction, &QAction::triggered, &history, &BadpixelListHistory::undo);
    connect(redoAction, &QAction::triggered, &history, &BadpixelListHistory::redo);
    connect(&history, &BadpixelListHistory::canUndoChanged, undoAction, &QAction::setEnabled);
    connect(&history, &BadpixelListHistory::canRedoChanged, redoAction, &QAction::setEnabled);
    connect(recentFiles, &RecentListFiles::fileChosen, this, &MainWindow::openListFile);
    connect(new ListFileDrop(this), &ListFileDrop::fileDropped, this, &MainWindow::openListFile);
    auto* hint = new EmptyViewHint(display->viewport());
    connect(this, &MainWindow::cameraOpened, hint, &EmptyViewHint::setHidden);
}

void MainWindow::readSettings()
{
    QSettings settings(QStringLiteral("Talvane"), QStringLiteral("Kivo"));
    settings.beginGroup(QStringLiteral("Speckwright"));
    settings.beginGroup(QStringLiteral("mainWindow"));
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("state")).toByteArray(), 0);
    settings.endGroup();
    settings.endGroup();
}

void MainWindow::writeSettings()
{
    QSettings settings(QStringLiteral("Talvane"), QStringLiteral("Kivo"));
    settings.beginGroup(QStringLiteral("Speckwright"));
    settings.beginGroup(QStringLiteral("mainWindow"));
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("state"), saveState(0));
    settings.endGroup();
    settings.endGroup();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
}

// Sets every text of the window in the current language: at construction and
// again whenever the application's translator changes.
void MainWindow::retranslateUi()
{
    ui->retranslateUi(this);
    updateWindowTitle();

    openCameraAction->setText(tr("&Open camera"));
    closeCameraAction->setText(tr("&Close camera"));
    saveListAction->setText(tr("&Save hot pixel list"));
    loadListAction->setText(tr("&Load hot pixel list"));
    highlightAction->setText(tr("&Highlight"));
    writeAction->setText(tr("&Write hot pixel"));
    correctionAction->setText(tr("Hot pixel correction"));
    addBadpixelAction->setText(tr("&Add hot pixel"));
    deleteBadpixelAction->setText(tr("&Delete hot pixel"));
    clearUserAction->setText(tr("Clear user hot pixel"));
    detectAction->setText(tr("Detec&t hot pixel"));
    zoom1to1Action->setText(tr("1:1"));
    zoom2to1Action->setText(tr("2:1"));
    zoom4to1Action->setText(tr("4:1"));
    zoom1to2Action->setText(tr("1:2"));
    zoom1to4Action->setText(tr("1:4"));
    zoomFitAction->setText(tr("To fit"));
    for (const QAction* zoom : zoomMenu->actions()) {
        if (zoom->isChecked())
            zoomAction->setText(zoom->text());
    }
    usageAction->setText(tr("&Usage"));
    aboutAction->setText(tr("&About..."));
    exportListAction->setText(tr("&Export hot pixel list"));
    importListAction->setText(tr("&Import hot pixel list"));
    exitAction->setText(tr("E&xit"));
    undoAction->setText(tr("&Undo"));
    redoAction->setText(tr("&Redo"));
    zoomStepper->retranslate();
    // Captions on two lines, so that every command fits beside the others.
    openCameraAction->setIconText(tr("Open\ncamera"));
    closeCameraAction->setIconText(tr("Close\ncamera"));
    correctionAction->setIconText(tr("Hot pixel\ncorrection"));
    detectAction->setIconText(tr("Detect\nhot pixel"));
    writeAction->setIconText(tr("Write\nhot pixel"));
    addBadpixelAction->setIconText(tr("Add\nhot pixel"));
    deleteBadpixelAction->setIconText(tr("Delete\nhot pixel"));

    fileMenu->setTitle(tr("&File"));
    recentMenu->setTitle(tr("&Recent hot pixel lists"));
    editMenu->setTitle(tr("&Edit"));
    viewMenu->setTitle(tr("&View"));
    helpMenu->setTitle(tr("&Help"));
    struct DockTexts
    {
        QDockWidget* dock;
        QAction* viewAction;
        QString title;
    };
    for (const DockTexts& texts :
         {DockTexts{cameraListDock, showCameraListAction, tr("Camera list")},
          DockTexts{badpixelListDock, showBadpixelListAction, tr("Hot pixel list")},
          DockTexts{magnifierDock, showMagnifierAction, tr("Magnifier")},
          DockTexts{cameraSliderDock, showCameraPropertiesAction, tr("Camera properties")}}) {
        texts.dock->setWindowTitle(texts.title);
        texts.viewAction->setText(texts.title);
    }

    showListPlace();
    if (camera.isOpen()) {
        updateStatus();
        updateStatusPosition(magnifierPosition);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (magnifierControl)
        magnifierControl->magnifier->keyPressEvent(event);
    else
        event->ignore();
}

// --- Docks ---------------------------------------------------------------

void MainWindow::createCameraListDock()
{
    cameraListDock = replaceDock(cameraListDock, QStringLiteral("CameraListDock"), this);
    cameraListDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    cameraListView = new QTableView(cameraListDock);
    cameraListView->setModel(&cameraListModel);
    cameraListView->setSelectionModel(cameraSelectionModel.get());
    // The stretched status column needs no more than its contents; set before
    // the stretch, which keeps the size the last column has then.
    cameraListView->horizontalHeader()->setDefaultSectionSize(
        cameraListView->horizontalHeader()->minimumSectionSize());
    setUpTableView(cameraListView);
    cameraListView->resizeColumnsToContents();
    // Cameras found later (GenICam ids run to five digits) must fit as well.
    connect(&cameraListModel, &QAbstractItemModel::rowsInserted, cameraListView,
            &QTableView::resizeColumnsToContents);
    connect(cameraListView, &QTableView::customContextMenuRequested, this,
            &MainWindow::showCameraListContextMenu);
    connect(cameraListView, &QTableView::doubleClicked, this, &MainWindow::openCamera);
    for (const int key : {Qt::Key_Return, Qt::Key_Enter})
        connect(
            new QShortcut(QKeySequence(key), cameraListView, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &MainWindow::openCamera);
    cameraListDock->setWidget(cameraListView);
    addDockWidget(Qt::LeftDockWidgetArea, cameraListDock);
}

void MainWindow::createBadpixelListDock()
{
    badpixelListDock = replaceDock(badpixelListDock, QStringLiteral("BadpixelListDock"), this);
    badpixelListDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    badpixelListView = new QTableView(badpixelListDock);
    badpixelListView->setModel(&badpixelListModel);
    badpixelListView->setItemDelegateForColumn(2, &pixelclassDelegate);
    badpixelListView->setSelectionModel(badpixelSelectionModel.get());
    setUpTableView(badpixelListView);
    // Five digits and the sort indicator's room.
    badpixelListView->horizontalHeader()->setDefaultSectionSize(
        badpixelListView->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    connect(badpixelListView, &QTableView::customContextMenuRequested, this,
            &MainWindow::showBadpixelListContextMenu);
    auto* dockContents = new QWidget(badpixelListDock);
    auto* layout = new QVBoxLayout(dockContents);
    layout->setContentsMargins(0, 0, 0, 0);
    listPlaceDockLabel = new QLabel(dockContents);
    listPlaceDockLabel->setObjectName(QStringLiteral("listPlaceDockLabel"));
    listPlaceDockLabel->setWordWrap(true);
    layout->addWidget(listPlaceDockLabel);
    layout->addWidget(badpixelListView);
    badpixelListDock->setWidget(dockContents);
    addDockWidget(Qt::LeftDockWidgetArea, badpixelListDock);
}

void MainWindow::createMagnifierDock()
{
    magnifierDock = replaceDock(magnifierDock, QStringLiteral("MagnifierDock"), this);
    magnifierDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    magnifierControl = new MagnifierControl(magnifierDock);
    magnifierDock->setWidget(magnifierControl);
    Magnifier* magnifier = magnifierControl->magnifier;
    connect(magnifierDock, &QObject::destroyed, this, &MainWindow::clearMagnifier);
    connect(this, &MainWindow::magnifierPositionChanged, magnifier, &Magnifier::setPosition);
    connect(magnifier, &Magnifier::changePosition, this, &MainWindow::setMagnifierPosition);
    addDockWidget(Qt::LeftDockWidgetArea, magnifierDock);
    if (camera.isOpen())
        magnifier->setPosition(magnifierPosition);
}

void MainWindow::createCameraSliderDock()
{
    cameraSliderDock = replaceDock(cameraSliderDock, QStringLiteral("CameraSliderDock"), nullptr);
    auto* block = new ParameterBlockWidget(cameraSliderDock);
    cameraSliderDock->setWidget(block);

    connect(block->framerateWidget, &DoubleParameterWidget::valueChanged, &camera,
            &Camera::setFramerate);
    connect(&camera, &Camera::framerateChanged, block->framerateWidget,
            &DoubleParameterWidget::setParam);
    connect(block->exposureWidget, &DoubleParameterWidget::valueChanged, &camera,
            &Camera::setExposure);
    connect(&camera, &Camera::exposureChanged, block->exposureWidget,
            &DoubleParameterWidget::setParam);
    connect(block->mastergainWidget, &ParameterWidget::valueChanged, &camera,
            &Camera::setMastergain);
    connect(&camera, &Camera::mastergainChanged, block->mastergainWidget,
            &ParameterWidget::setParam);
    connect(this, &MainWindow::cameraOpened, block, &ParameterBlockWidget::setEnabled);
    block->setEnabled(false);

    addDockWidget(Qt::LeftDockWidgetArea, cameraSliderDock);
}

void MainWindow::clearMagnifier()
{
    magnifierControl = nullptr;
}

void MainWindow::onShowHideCameraListDock()
{
    cameraListDock->setVisible(cameraListDock->isHidden());
}

void MainWindow::onShowHideBadpixelListDock()
{
    badpixelListDock->setVisible(badpixelListDock->isHidden());
}

void MainWindow::onShowHideMagnifierDock()
{
    magnifierDock->setVisible(magnifierDock->isHidden());
}

void MainWindow::onShowHideCameraSliderDock()
{
    cameraSliderDock->setVisible(cameraSliderDock->isHidden());
}

void MainWindow::onMenuShow()
{
    showCameraListAction->setChecked(cameraListDock->isVisible());
    showBadpixelListAction->setChecked(badpixelListDock->isVisible());
    showMagnifierAction->setChecked(magnifierDock->isVisible());
    showCameraPropertiesAction->setChecked(cameraSliderDock->isVisible());
}

void MainWindow::showCameraListContextMenu(QPoint)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions({openCameraAction, closeCameraAction});
    menu->popup(QCursor::pos());
}

void MainWindow::showBadpixelListContextMenu(QPoint)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(addBadpixelAction);
    if (badpixelSelectionModel->hasSelection() &&
        badpixelSelectionModel->selectedIndexes().first().isValid())
        menu->addAction(deleteBadpixelAction);
    if (badpixelListModel.rowCount() > 0)
        menu->addAction(clearUserAction);
    menu->popup(QCursor::pos());
}

// --- Camera list and actions ----------------------------------------------

CameraEntry MainWindow::selectedCameraEntry() const
{
    const QItemSelectionModel* selection = cameraListView->selectionModel();
    if (selection && selection->hasSelection()) {
        const QModelIndex index = selection->selectedIndexes().first();
        if (index.isValid())
            return cameraListModel.entryAt(index.row());
    }
    return CameraEntry();
}

void MainWindow::updateCameraActions()
{
    const CameraEntry entry = selectedCameraEntry();
    openCameraAction->setEnabled(entry.inUse == 0 && !entry.serial.isEmpty());
    for (QAction* action : {closeCameraAction, saveListAction, loadListAction, correctionAction,
                            detectAction, addBadpixelAction, writeAction, zoomAction})
        action->setEnabled(entry.opened);
    zoomStepper->setEnabled(entry.opened);
}

void MainWindow::onSelectCameraRow(int row)
{
    if (!cameraListView->selectionModel()->hasSelection())
        cameraListView->selectRow(row);
}

void MainWindow::onCameraOpened(Camera*)
{
    updateWindowTitle();
    showListPlace();
    emit cameraOpened(true);
}

void MainWindow::showListPlace()
{
    const Camera::ListPlace place = camera.hotpixelListPlace();
    QString text;
    if (place == Camera::ListPlace::InCamera)
        text = tr("hot pixel list in the camera");
    else if (place == Camera::ListPlace::OnHost)
        text = tr("no defect table: host-side list");
    else if (camera.isOpen())
        text = tr("no list in the camera");
    listPlaceLabel->setText(text);
    if (listPlaceDockLabel)
        listPlaceDockLabel->setText(text);

    // The host corrects with the list last written, as a camera would.
    QVector<QPoint> listed;
    if (place == Camera::ListPlace::OnHost) {
        for (const Badpixel& entry : badpixelListModel.badpixelList()) {
            if (entry.isUser())
                listed.append(QPoint(entry.x, entry.y));
        }
    }
    hostCorrection.setPositions(listed);
    hostCorrection.setBayer(camera.deliversBayerMosaic());
}

void MainWindow::onCameraClosed()
{
    updateWindowTitle();
    showListPlace();
    history.reset();
    emit cameraOpened(false);
}

// --- Camera commands and live status --------------------------------------

void MainWindow::openCamera()
{
    const CameraEntry entry = selectedCameraEntry();
    if (entry == CameraEntry() || entry.inUse != 0)
        return;
    // Entries imported while no camera was open would go with the camera's
    // own lists; they are kept instead.
    const QList<Badpixel> imported =
        camera.isOpen() ? QList<Badpixel>() : badpixelListModel.badpixelList();

    try {
        camera.open(entry.deviceId);
        keepImportedEntries(imported);
        history.reset();
        camera.setBadPixelCorrection(correctionAction->isChecked());
        onZoomChanged(zoom1to1Action);
        camera.setAutoConfig();
        ui->display->clear();
        ui->display->setHighlight(highlightAction->isChecked());
        ui->display->imageLabel->show();
        statusTimer->start(statusInterval);
    } catch (const std::exception& error) {
        // A camera whose capture could not be set up would look open and
        // never show a frame.
        camera.close();
        ui->statusBar->showMessage(errorText(error), openFailureDuration);
    }

    setMagnifierPosition(QPoint(0, 0));
    const bool listStorage = camera.hotpixelListPlace() != Camera::ListPlace::Nowhere;
    writeAction->setEnabled(listStorage);
    // After a failed open the open's own error is the only thing to say.
    if (!listStorage && camera.isOpen())
        showMessage(QMessageBox::Warning, this, tr("Please note!"),
                    tr("This camera only supports software correction and therefore can't save "
                       "inside the camera memory."));
    else if (camera.isOpen() && !badpixelListModel.userListReadError().isEmpty())
        reportUnreadUserList();
}

void MainWindow::reportUnreadUserList()
{
    QMessageBox box(QMessageBox::Warning, tr("Hot pixel list incomplete"),
                    badpixelListModel.userListReadError(), QMessageBox::Ok, this);
    box.setInformativeText(tr("Write hot pixel stays refused until the camera's list has been "
                              "read: close and open the camera to try again."));
    modalRunner->exec(box);
}

void MainWindow::closeCamera()
{
    const CameraEntry entry = selectedCameraEntry();
    if (entry == CameraEntry() || entry.serial != camera.serialNumber())
        return;

    camera.close();
    statusTimer->stop();
    ui->display->clear();
    ui->display->imageLabel->hide();
    if (magnifierControl) {
        magnifierControl->magnifier->clear();
        magnifierControl->colorLabel->clear();
        magnifierControl->valueLabel->clear();
    }
    setMagnifierPosition(QPoint(0, 0));
    framesLabel->setText(tr("Frames: %1").arg(0));
    failedLabel->setText(tr("Failed: %1").arg(0));
    fpsLabel->setText(tr("FPS: ") + QLatin1Char('0'));
    updateListCounts();
}

void MainWindow::keepImportedEntries(const QList<Badpixel>& imported)
{
    int kept = 0;
    for (const Badpixel& entry : imported)
        kept += entry.isUser() && badpixelListModel.addBadpixel(QPoint(entry.x, entry.y));
    if (kept > 0)
        ui->statusBar->showMessage(
            tr("%n imported hot pixel(s) added to the camera's list; Write hot pixel stores "
               "them in the camera.",
               nullptr, kept),
            successDuration);
}

void MainWindow::updateWindowTitle()
{
    setWindowTitle(camera.isOpen() ? tr("Kivo Speckwright - %1").arg(camera.serialNumber())
                                   : tr("Kivo Speckwright"));
}

void MainWindow::onCameraDisconnect()
{
    ui->display->imageLabel->hide();
    QImage blank;
    newImage(blank);
}

void MainWindow::onCameraReconnect()
{
    cameraListModel.refresh();
    for (int row = 0; row < cameraListModel.rowCount(); ++row) {
        if (cameraListModel.entryAt(row).serial == camera.serialNumber())
            cameraListView->selectRow(row);
    }
    ui->display->imageLabel->show();
}

void MainWindow::newImage(QImage& image)
{
    // Everything downstream sees the frame as a correcting camera would send it.
    QImage shown = hostCorrection.apply(image);
    if (magnifierControl)
        magnifierControl->magnifier->setImage(shown);
    ui->display->setImage(shown);
    if (detecting)
        collectDetectionFrame(shown);
}

void MainWindow::updateStatus()
{
    updateListCounts();
    framesLabel->setText(tr("Frames: %1").arg(camera.frameCount()));
    failedLabel->setText(tr("Failed: %1").arg(camera.failCount()));
    fpsLabel->setText(tr("FPS: ") + QString::number(camera.measuredFramerate(), 'f', 2));
}

void MainWindow::updateListCounts()
{
    const QList<Badpixel> entries = badpixelListModel.badpixelList();
    const auto users = std::count_if(entries.cbegin(), entries.cend(),
                                     [](const Badpixel& entry) { return entry.isUser(); });
    //: Number of the list's entries that are not user entries (F for factory)
    factoryCountLabel->setText(tr("F: %1").arg(entries.size() - users));
    //: Number of the list's user entries (U for user)
    userCountLabel->setText(tr("U: %1").arg(users));
}

void MainWindow::setMagnifierPosition(QPoint position)
{
    // The upper bounds first: before any sensor is known they are -1, and the
    // focus pixel stays at (0, 0).
    const QSize sensor = camera.sensorSize();
    magnifierPosition = QPoint(std::min(position.x(), sensor.width() - 1),
                               std::min(position.y(), sensor.height() - 1));
    magnifierPosition =
        QPoint(std::max(magnifierPosition.x(), 0), std::max(magnifierPosition.y(), 0));

    const QModelIndex index =
        badpixelListModel.findBadpixel(magnifierPosition.x(), magnifierPosition.y(), 1);
    if (index.isValid())
        badpixelSelectionModel->select(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    else
        badpixelSelectionModel->select(QModelIndex(), QItemSelectionModel::Clear);

    emit magnifierPositionChanged(magnifierPosition);
}

void MainWindow::updateStatusPosition(QPoint position)
{
    xLabel->setText(tr("x: %1").arg(position.x()));
    yLabel->setText(tr("y: %1").arg(position.y()));
}

void MainWindow::onZoomChanged(QAction* act)
{
    struct Zoom
    {
        QAction* action;
        double scale;
        int factor;
    };
    const Zoom zooms[] = {{zoom1to1Action, 1.0, 1},  {zoom2to1Action, 2.0, 2},
                          {zoom4to1Action, 4.0, 4},  {zoom1to2Action, 0.5, 1},
                          {zoom1to4Action, 0.25, 1}, {zoomFitAction, 0.0, 0}};
    for (const Zoom& zoom : zooms)
        zoom.action->setChecked(false);
    for (const Zoom& zoom : zooms) {
        if (zoom.action != act)
            continue;
        zoomAction->setText(act->text());
        act->setChecked(true);
        ui->display->setScale(zoom.scale);
        zoomFactor = zoom.factor;
    }
}

void MainWindow::updateScaleFactor(int scale)
{
    zoomFactor = scale;
    QAction* zoom = scale == 1 ? zoom1to1Action : scale == 2 ? zoom2to1Action : nullptr;
    if (!zoom)
        return;
    onZoomChanged(zoom);
    ui->statusBar->showMessage(tr("The image is too big and will be resized"), messageDuration);
}

// --- Hot pixel list commands ----------------------------------------------

void MainWindow::showMessage(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                             const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    modalRunner->exec(box);
}

bool MainWindow::confirm(const QString& text, const QString& informativeText)
{
    QMessageBox box;
    box.setText(text);
    box.setInformativeText(informativeText);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    // Return must not destroy anything by accident.
    box.setDefaultButton(QMessageBox::No);
    box.setIcon(QMessageBox::Warning);
    return modalRunner->exec(box) == QMessageBox::Yes;
}

void MainWindow::runFileCommand(ListFileChooser::Mode mode, const QString& caption,
                                const QString& filter, const QString& suffix,
                                ListOperation operation)
{
    const QString name = fileChooser.choose(*modalRunner, this, mode, caption, filter, suffix);
    if (!name.isEmpty())
        runListOperation(name, operation);
}

void MainWindow::runListOperation(const QString& name, ListOperation operation)
{
    try {
        const QString done = (this->*operation)(name);
        recentFiles->add(name);
        ui->statusBar->showMessage(done, successDuration);
    } catch (const std::exception& error) {
        showMessage(QMessageBox::Critical, nullptr, QString(), tr(error.what()));
    }
}

void MainWindow::openListFile(const QString& name)
{
    if (QFileInfo(name).suffix().compare(QLatin1String("bin"), Qt::CaseInsensitive) != 0) {
        runListOperation(name, &MainWindow::importListFile);
        return;
    }
    // The camera library reads binary lists, through the open camera.
    if (!camera.isOpen()) {
        showMessage(QMessageBox::Critical, this, QString(),
                    tr("Open a camera before loading a binary hot pixel list."));
        return;
    }
    runListOperation(name, &MainWindow::loadListFile);
}

QString MainWindow::saveListFile(const QString& name)
{
    badpixelListModel.saveAsFile(&camera, name);
    return tr("Hot pixel list saved to %1").arg(nativeName(name));
}

QString MainWindow::loadListFile(const QString& name)
{
    badpixelListModel.loadFromFile(&camera, name);
    history.reset();
    return tr("Hot pixel list loaded from %1").arg(nativeName(name));
}

QString MainWindow::exportListFile(const QString& name)
{
    badpixelListModel.exportAsFile(name);
    return tr("Hot pixel list exported to %1").arg(nativeName(name));
}

QString MainWindow::importListFile(const QString& name)
{
    badpixelListModel.importFromFile(name);
    updateListCounts();
    if (!camera.isOpen())
        return tr("Hot pixel list imported from %1; its user entries are kept when a camera "
                  "is opened")
            .arg(nativeName(name));
    return tr("Hot pixel list imported from %1").arg(nativeName(name));
}

void MainWindow::saveBadpixelList()
{
    runFileCommand(ListFileChooser::Save, tr("Save hot pixel list"), tr("Binary files (*.bin)"),
                   QStringLiteral("bin"), &MainWindow::saveListFile);
}

void MainWindow::loadBadpixelList()
{
    runFileCommand(ListFileChooser::Open, tr("Open hot pixel list"), tr("Binary files (*.bin)"),
                   QStringLiteral("bin"), &MainWindow::loadListFile);
}

void MainWindow::exportBadpixelList()
{
    runFileCommand(ListFileChooser::Save, tr("Export hot pixel list"), tr("Text files (*.txt)"),
                   QStringLiteral("txt"), &MainWindow::exportListFile);
}

void MainWindow::importBadpixelList()
{
    runFileCommand(ListFileChooser::Open, tr("Import hot pixel list"), tr("Text files (*.txt)"),
                   QStringLiteral("txt"), &MainWindow::importListFile);
}

void MainWindow::writeBadpixelList()
{
    const Camera::ListPlace place = camera.hotpixelListPlace();
    if (place == Camera::ListPlace::Nowhere) {
        showMessage(QMessageBox::Critical, this, tr("Not supported!"),
                    tr("This camera only supports software correction and can't be saved inside "
                       "the camera memory!"));
        return;
    }
    const bool onHost = place == Camera::ListPlace::OnHost;
    if (!confirm(onHost ? tr("This action will completely overwrite the user defined hot pixel "
                             "list kept for this camera on this computer.")
                        : tr("This action will completely overwrite the user defined hot pixel "
                             "list in the EEPROM of the camera."),
                 tr("Do you want to continue?")))
        return;

    try {
        badpixelListModel.writeBadpixelList(&camera);
        history.reset();
        showListPlace();
        ui->statusBar->showMessage(onHost ? tr("Hot pixel list kept on this computer")
                                          : tr("Hot pixel list written to the camera"),
                                   successDuration);
    } catch (const std::exception& error) {
        const QString text = errorText(error);
        showMessage(QMessageBox::Critical, this, tr("Write failed"), text);
        ui->statusBar->showMessage(text, messageDuration);
    }
}

void MainWindow::onHotpixelCorrection()
{
    hostCorrection.setEnabled(correctionAction->isChecked());
    if (camera.hotpixelListPlace() == Camera::ListPlace::OnHost)
        return;
    try {
        camera.setBadPixelCorrection(correctionAction->isChecked());
    } catch (const std::exception& error) {
        const QString text = errorText(error);
        showMessage(QMessageBox::Critical, this, tr("Hot pixel correction"), text);
        ui->statusBar->showMessage(text, messageDuration);
    }
}

void MainWindow::addNewBadpixel()
{
    try {
        if (!badpixelListModel.addBadpixel(magnifierPosition))
            return;
        const QModelIndex index =
            badpixelListModel.findBadpixel(magnifierPosition.x(), magnifierPosition.y(), 1);
        badpixelSelectionModel->select(index, QItemSelectionModel::ClearAndSelect);
    } catch (const std::exception& error) {
        ui->statusBar->showMessage(errorText(error), messageDuration);
    }
}

void MainWindow::deleteBadpixel()
{
    if (!badpixelSelectionModel->hasSelection())
        return;
    const QModelIndex index = badpixelSelectionModel->selectedIndexes().first();
    if (index.isValid())
        badpixelListModel.deleteUserBadpixel(index.row());
}

void MainWindow::clearBadpixel()
{
    const QList<Badpixel> entries = badpixelListModel.badpixelList();
    if (std::none_of(entries.cbegin(), entries.cend(),
                     [](const Badpixel& entry) { return entry.isUser(); }))
        return;
    if (confirm(tr("This removes every user entry from the hot pixel list."),
                tr("Do you want to continue?")))
        badpixelListModel.clearUserBadpixelList();
}

void MainWindow::updateSelection(const QItemSelection& selected, const QItemSelection&)
{
    if (selected.isEmpty()) {
        setSelection(QModelIndex(), QModelIndex());
        return;
    }
    const QModelIndexList indexes = selected.indexes();
    setSelection(indexes.first(), indexes.last());
}

void MainWindow::setSelection(const QModelIndex& topLeft, const QModelIndex&)
{
    if (!topLeft.isValid()) {
        deleteBadpixelAction->setEnabled(false);
    } else {
        const Badpixel entry = badpixelListModel.badpixelAt(topLeft.row());
        setMagnifierPosition(QPoint(entry.x, entry.y));
        const QSize shown = ui->display->imageLabel->size();
        const QSize view = ui->display->viewport()->size();
        const QSize sensor = camera.sensorSize();
        bringIntoView(ui->display->horizontalScrollBar(), view.width(), shown.width(),
                      sensor.width(), entry.x);
        bringIntoView(ui->display->verticalScrollBar(), view.height(), shown.height(),
                      sensor.height(), entry.y);
        badpixelListView->scrollTo(topLeft, QAbstractItemView::EnsureVisible);
        deleteBadpixelAction->setEnabled(entry.isUser());
    }
    ui->display->redrawImage();
}

void MainWindow::openHelpUsageWindow()
{
    const QString del = QKeySequence(Qt::Key_Delete).toString(QKeySequence::NativeText);
    const QString add = QKeySequence(Qt::CTRL + Qt::Key_A).toString(QKeySequence::NativeText);
    const QString text =
        tr("Kivo Speckwright - Usage\n\nNavigation:\n\nRight mouse button: Drag "
           "to move image\nArrow keys: Click once into magnifier to move focus "
           "pixel by pixel\n\nShortcuts:\n\n%1\t Add a hot pixel to the list\n%2\t "
           "Removes a hot pixel from the list\n")
            .arg(add, del);
    QMessageBox box(QMessageBox::NoIcon, tr("Usage"), text, QMessageBox::Close, this,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    modalRunner->exec(box);
}

void MainWindow::openHelpAboutWindow()
{
    Dialog_About about(this);
    modalRunner->exec(about);
}

// --- Detection -------------------------------------------------------------

void MainWindow::openDetectDialog()
{
    detectionDialogue = new DetectionDialogue(this);
    // A long session opens many dialogs; each goes once the user closes it.
    detectionDialogue->setAttribute(Qt::WA_DeleteOnClose);
    connect(detectionDialogue, &DetectionDialogue::startDetect, this,
            [this](bool clear, int value) { startDetectingBadpixel(clear, uint(value)); });
    connect(&badpixelListModel, &BadpixelListModel::pixelAdded, detectionDialogue,
            &DetectionDialogue::addDetectedPixel);
    connect(detectionDialogue, &DetectionDialogue::thresholdChanged, this,
            &MainWindow::showDetectionCandidates);
    connect(detectionDialogue, &DetectionDialogue::addRequested, this,
            &MainWindow::addDetectionCandidates);
    connect(detectionDialogue, &DetectionDialogue::saveRequested, this,
            &MainWindow::saveAveragedFrame);
    connect(detectionDialogue, &QDialog::finished, this, &MainWindow::discardDetectionEvidence);
    // The count of new candidates follows every change of the list.
    const auto recount = [this] {
        noteListChange();
    };
    connect(&badpixelListModel, &QAbstractItemModel::rowsInserted, detectionDialogue, recount);
    connect(&badpixelListModel, &QAbstractItemModel::rowsRemoved, detectionDialogue, recount);
    connect(&badpixelListModel, &QAbstractItemModel::modelReset, detectionDialogue, recount);
    connect(&badpixelListModel, &QAbstractItemModel::dataChanged, detectionDialogue, recount);
    detectionDialogue->open();
}

void MainWindow::startDetectingBadpixel(bool clear, uint value)
{
    discardDetectionEvidence();
    threshold = value;
    if (clear)
        badpixelListModel.clearUserBadpixelList();
    detecting = true;
}

void MainWindow::collectDetectionFrame(const QImage& image)
{
    // The empty frame that a camera removal passes through.
    if (image.isNull()) {
        stopCollecting();
        if (detectionDialogue) {
            detectionDialogue->abortDetect();
            detectionDialogue->showError(tr("The camera was disconnected while frames were being "
                                            "collected. Please reconnect it and start again."));
        }
        return;
    }
    if (frames.size() >= framesPerDetection) {
        detecting = false;
        detectBadpixel();
        return;
    }

    frames.append(image.copy());
    if (detectionDialogue)
        detectionDialogue->updateProgress(int(frames.size()) * progressPerFrame);

    // An evenly lit sensor is bright by intent; only a covered one must be dark.
    const bool covered =
        !detectionDialogue || detectionDialogue->mode() == CaptureRecord::Mode::HotPixels;
    if (covered && tooBright(frames.last())) {
        stopCollecting();
        showMessage(QMessageBox::Critical, this, tr("Detection failed"),
                    tr("Too many bright pixels in a frame.\nPlease make sure that the sensor is "
                       "completely obscured."));
        if (detectionDialogue)
            detectionDialogue->abortDetect();
    }
}

void MainWindow::stopCollecting()
{
    frames.clear();
    detecting = false;
}

void MainWindow::detectBadpixel()
{
    CaptureRecord record;
    record.mode = detectionDialogue ? detectionDialogue->mode() : CaptureRecord::Mode::HotPixels;
    record.exposureMs = camera.exposureTime();
    record.gain = camera.masterGain();
    record.frames = frames.size();
    try {
        detectionEvidence = std::make_unique<DetectionEvidence>(camera.currentColorMode(),
                                                                std::move(frames), record);
    } catch (const std::exception& error) {
        const QString text = errorText(error);
        ui->statusBar->showMessage(text, messageDuration);
        if (detectionDialogue)
            detectionDialogue->showError(text + QLatin1Char(' ') + tr("Please restart detection."));
    }
    frames.clear();
    emit detectionFinished();
    if (!detectionDialogue)
        return;
    detectionDialogue->finishDetect();
    if (!detectionEvidence)
        return;
    detectionDialogue->showEvidence(&detectionEvidence->histogram(), detectionEvidence->record());
    detectionEvidence->setListed(badpixelListModel.badpixelList());
    showDetectionCandidates(detectionDialogue->threshold());
}

void MainWindow::showDetectionCandidates(int value)
{
    if (!detectionEvidence)
        return;
    ui->display->setCandidates(detectionEvidence->newCandidates(value));
    updateDetectionCount();
}

void MainWindow::noteListChange()
{
    // An Add or a list read changes many rows at once: catch up once, after the last.
    if (!detectionEvidence || listChangePending)
        return;
    listChangePending = true;
    QTimer::singleShot(0, this, [this] {
        listChangePending = false;
        if (!detectionEvidence || !detectionDialogue)
            return;
        detectionEvidence->setListed(badpixelListModel.badpixelList());
        showDetectionCandidates(detectionDialogue->threshold());
    });
}

void MainWindow::updateDetectionCount()
{
    if (!detectionEvidence || !detectionDialogue)
        return;
    const DetectionEvidence::CandidateCount count =
        detectionEvidence->count(detectionDialogue->threshold());
    detectionDialogue->showCandidateCount(count.above, count.fresh);
}

void MainWindow::addDetectionCandidates(int value)
{
    if (!detectionEvidence)
        return;
    detectionEvidence->addCandidates(badpixelListModel, value);
}

void MainWindow::saveAveragedFrame()
{
    if (!detectionEvidence)
        return;
    // Not a list file: it goes to no recent-files menu.
    const QString name =
        fileChooser.choose(*modalRunner, this, ListFileChooser::Save, tr("Save averaged frame"),
                           tr("16-bit PGM images (*.pgm)"), QStringLiteral("pgm"));
    if (name.isEmpty())
        return;
    try {
        AveragedFrameWriter::write(name, detectionEvidence->frames(), detectionEvidence->record());
        ui->statusBar->showMessage(tr("Averaged frame saved to %1").arg(nativeName(name)),
                                   successDuration);
    } catch (const std::exception& error) {
        showMessage(QMessageBox::Critical, detectionDialogue, QString(), errorText(error));
    }
}

void MainWindow::discardDetectionEvidence()
{
    detectionEvidence.reset();
    ui->display->setCandidates({});
}
