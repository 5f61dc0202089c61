#pragma once

#include "displaywidget.h"
#include "mainwindow.h"

#include <QDockWidget>
#include <QLabel>
#include <QStatusBar>
#include <QStringList>
#include <QTableView>

class QAction;
class ScriptedRunner;

// A shown main window whose dialogs a ScriptedRunner answers, with the
// look-ups a test needs to act as a user.
class WindowDriver
{
public:
    WindowDriver();

    // A fresh simulated world with empty EEPROM lists, and no settings.
    static bool resetWorld();

    MainWindow window;
    ScriptedRunner* runner;

    QAction* action(const QString& text) const;
    QDockWidget* dock(const char* name) const { return window.findChild<QDockWidget*>(name); }
    QTableView* cameraView() const
    {
        return qobject_cast<QTableView*>(dock("CameraListDock")->widget());
    }
    QTableView* badpixelView() const { return dock("BadpixelListDock")->findChild<QTableView*>(); }
    DisplayWidget* display() const { return window.findChild<DisplayWidget*>("display"); }
    QString label(const char* name) const { return window.findChild<QLabel*>(name)->text(); }
    QString statusMessage() const { return window.statusBar()->currentMessage(); }
    // The hot pixel list's entries of the class, "x y" each, top to bottom.
    QStringList entries(const QString& pixelclass) const;

    int cameraRow(const QString& serial) const;
    QString cameraStatus(const QString& serial) const
    {
        return cameraView()->model()->index(cameraRow(serial), 4).data().toString();
    }
    void selectCamera(const QString& serial) { cameraView()->selectRow(cameraRow(serial)); }
    // Selects the camera's row and triggers Open camera.
    void openCamera(const QString& serial);
};
