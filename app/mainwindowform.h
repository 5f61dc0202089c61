#pragma once

class DisplayWidget;
class QGridLayout;
class QMainWindow;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QWidget;

// The main window's form, built in code: the central live view inside a grid,
// the menu bar, the tool bar and the status bar.
class MainWindowForm
{
public:
    QWidget* centralWidget = nullptr;
    QGridLayout* gridLayout = nullptr;
    DisplayWidget* display = nullptr;
    QMenuBar* menuBar = nullptr;
    QToolBar* mainToolBar = nullptr;
    QStatusBar* statusBar = nullptr;

    void setupUi(QMainWindow* window);
    void retranslateUi(QMainWindow* window);
};
