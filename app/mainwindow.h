#pragma once

#include "badpixellisthistory.h"
#include "badpixellistmodel.h"
#include "camera.h"
#include "cameralistmodel.h"
#include "hostpixelcorrection.h"
#include "listfilechooser.h"
#include "pixelclassdelegate.h"

#include <QImage>
#include <QItemSelection>
#include <QMainWindow>
#include <QMessageBox>
#include <QModelIndex>
#include <QPoint>
#include <QPointer>
#include <QVector>

#include <cstdint>
#include <memory>

class DetectionDialogue;
class DetectionEvidence;
class MagnifierControl;
class MainWindowForm;
class ModalRunner;
class QAction;
class QDockWidget;
class QItemSelectionModel;
class QLabel;
class QMenu;
class QTableView;
class QTimer;
class RecentListFiles;
class ZoomStepper;

// The program's one window: it owns the camera session and both list models,
// builds the live view, the docks, actions and menus, and ties them together.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Replaces the runner of modal dialogs and file choosers (tests answer
    // them without a user). The window takes ownership.
    void setModalRunner(std::unique_ptr<ModalRunner> runner);

signals:
    void cameraOpened(bool opened);
    void magnifierPositionChanged(QPoint position);
    void detectionFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

protected slots:
    void createCameraListDock();
    void createBadpixelListDock();
    void createMagnifierDock();
    void createCameraSliderDock();
    void clearMagnifier();
    void showCameraListContextMenu(QPoint pos);
    void showBadpixelListContextMenu(QPoint pos);
    void openCamera();
    void closeCamera();
    void newImage(QImage& image);
    void updateStatus();
    void updateCameraActions();
    void onCameraOpened(Camera* camera);
    // Shows where the open camera keeps its list and gives the host-side
    // correction the list in force.
    void showListPlace();
    void onCameraClosed();
    void setSelection(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void updateSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void setMagnifierPosition(QPoint position);
    void updateStatusPosition(QPoint position);
    void updateScaleFactor(int scale);
    void writeBadpixelList();
    void saveBadpixelList();
    void loadBadpixelList();
    void exportBadpixelList();
    void importBadpixelList();
    void addNewBadpixel();
    void deleteBadpixel();
    void clearBadpixel();
    void openDetectDialog();
    void startDetectingBadpixel(bool clear, uint threshold);
    void detectBadpixel();
    void showDetectionCandidates(int threshold);
    void addDetectionCandidates(int threshold);
    void saveAveragedFrame();
    void updateDetectionCount();
    void noteListChange();
    void onShowHideCameraListDock();
    void onShowHideBadpixelListDock();
    void onShowHideMagnifierDock();
    void onShowHideCameraSliderDock();
    void onMenuShow();
    void onZoomChanged(QAction* act);
    void onSelectCameraRow(int row);
    void onCameraReconnect();
    void onCameraDisconnect();
    void onHotpixelCorrection();
    void openHelpUsageWindow();
    void openHelpAboutWindow();

private:
    void createActions();
    void createMenus();
    void createConnections();
    void readSettings();
    void writeSettings();
    void retranslateUi();
    void updateWindowTitle();
    CameraEntry selectedCameraEntry() const;
    // Warns after an open that the camera's user list is not in the list.
    void reportUnreadUserList();
    void collectDetectionFrame(const QImage& image);
    void stopCollecting();
    void discardDetectionEvidence();
    void updateListCounts();
    void keepImportedEntries(const QList<Badpixel>& imported);

    // A list file operation: does it, or throws, and says what it did.
    using ListOperation = QString (MainWindow::*)(const QString& name);
    void runFileCommand(ListFileChooser::Mode mode, const QString& caption, const QString& filter,
                        const QString& suffix, ListOperation operation);
    void runListOperation(const QString& name, ListOperation operation);
    // A dropped or recent file: loaded when binary, imported when text.
    void openListFile(const QString& name);
    QString saveListFile(const QString& name);
    QString loadListFile(const QString& name);
    QString exportListFile(const QString& name);
    QString importListFile(const QString& name);

    void showMessage(QMessageBox::Icon icon, QWidget* parent, const QString& title,
                     const QString& text);
    // A warning with Yes and No, No the default; true for Yes.
    bool confirm(const QString& text, const QString& informativeText);

    std::unique_ptr<MainWindowForm> ui;
    int zoomFactor = 1;
    bool detecting = false;
    uint32_t threshold = 25;
    QVector<QImage> frames;
    std::unique_ptr<DetectionEvidence> detectionEvidence;
    bool listChangePending = false;
    Camera camera;
    CameraListModel cameraListModel;
    BadpixelListModel badpixelListModel;
    BadpixelListHistory history{&badpixelListModel};
    ListFileChooser fileChooser;
    std::unique_ptr<QItemSelectionModel> cameraSelectionModel;
    std::unique_ptr<QItemSelectionModel> badpixelSelectionModel;
    QPoint magnifierPosition;
    QDockWidget* cameraListDock = nullptr;
    QTableView* cameraListView = nullptr;
    QDockWidget* badpixelListDock = nullptr;
    QTableView* badpixelListView = nullptr;
    QDockWidget* magnifierDock = nullptr;
    MagnifierControl* magnifierControl = nullptr;
    QDockWidget* cameraSliderDock = nullptr;
    PixelclassDelegate pixelclassDelegate;
    QLabel* xLabel = nullptr;
    QLabel* yLabel = nullptr;
    QLabel* framesLabel = nullptr;
    QLabel* failedLabel = nullptr;
    QLabel* fpsLabel = nullptr;
    QLabel* userCountLabel = nullptr;
    QLabel* factoryCountLabel = nullptr;
    // Where the open camera keeps its user list, in the status bar and the
    // hot pixel list dock.
    QLabel* listPlaceLabel = nullptr;
    QLabel* listPlaceDockLabel = nullptr;
    HostPixelCorrection hostCorrection;
    QAction* openCameraAction = nullptr;
    QAction* closeCameraAction = nullptr;
    QAction* saveListAction = nullptr;
    QAction* loadListAction = nullptr;
    QAction* highlightAction = nullptr;
    QAction* writeAction = nullptr;
    QAction* correctionAction = nullptr;
    QAction* addBadpixelAction = nullptr;
    QAction* deleteBadpixelAction = nullptr;
    QAction* clearUserAction = nullptr;
    QAction* detectAction = nullptr;
    QAction* zoom1to1Action = nullptr;
    QAction* zoom2to1Action = nullptr;
    QAction* zoom4to1Action = nullptr;
    QAction* zoom1to2Action = nullptr;
    QAction* zoom1to4Action = nullptr;
    QAction* zoomFitAction = nullptr;
    QAction* zoomAction = nullptr;
    QAction* usageAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* exportListAction = nullptr;
    QAction* importListAction = nullptr;
    QAction* exitAction = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    QAction* showCameraListAction = nullptr;
    QAction* showBadpixelListAction = nullptr;
    QAction* showMagnifierAction = nullptr;
    QAction* showCameraPropertiesAction = nullptr;
    QMenu* fileMenu = nullptr;
    QMenu* recentMenu = nullptr;
    QMenu* editMenu = nullptr;
    QMenu* viewMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QTimer* statusTimer = nullptr;
    QMenu* zoomMenu = nullptr;
    ZoomStepper* zoomStepper = nullptr;
    RecentListFiles* recentFiles = nullptr;
    QPointer<DetectionDialogue> detectionDialogue;
    std::unique_ptr<ModalRunner> modalRunner;
};
