#include "mainwindowform.h"

#include "displaywidget.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLocale>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaObject>
#include <QStatusBar>
#include <QToolBar>

void MainWindowForm::setupUi(QMainWindow* window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1024, 768);
    window->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    gridLayout = new QGridLayout(centralWidget);
    gridLayout->setSpacing(6);
    gridLayout->setContentsMargins(11, 11, 11, 11);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    display = new DisplayWidget(centralWidget);
    display->setObjectName(QStringLiteral("display"));
    display->setContextMenuPolicy(Qt::CustomContextMenu);
    gridLayout->addWidget(display, 0, 0, 1, 1);
    window->setCentralWidget(centralWidget);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, 1024, 21));
    window->setMenuBar(menuBar);
    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void MainWindowForm::retranslateUi(QMainWindow* window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "Speckwright"));
    mainToolBar->setWindowTitle(QCoreApplication::translate("MainWindow", "Toolbar"));
}
