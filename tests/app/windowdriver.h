#pragma once

#include "mainwindow.h"

#include <QStringList>

class DisplayWidget;
class QAction;
class QDockWidget;
class QTableView;
class ScriptedRunner;

// A shown main window whose dialogs are answered by a ScriptedRunner, with the
// look-ups a test needs to act as a user: actions by text, docks and views by
// name, status labels by name.
class WindowDriver
{
public:
    WindowDriver();

    // A fresh simulated world with empty EEPROM lists, and no settings.
    static bool resetWorld();

    MainWindow window;
    ScriptedRunner* runner;

    QAction* action(const QString& text) const;
    QDockWidget* dock(const char* objectName) const;
    QTableView* cameraView() const;
    QTableView* badpixelView() const;
    DisplayWidget* display() const;
    QString label(const char* objectName) const;
    QString statusMessage() const;
    // The hot pixel list's entries of the class, "x y" each, top to bottom.
    QStringList entries(const QString& pixelclass) const;

    int cameraRow(const QString& serial) const;
    QString cameraStatus(const QString& serial) const;
    void selectCamera(const QString& serial);
    // Selects the camera's row and triggers Open camera.
    void openCamera(const QString& serial);
};
