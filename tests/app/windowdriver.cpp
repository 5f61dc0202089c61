#include "windowdriver.h"

#include "kivo_control.h"
#include "scriptedrunner.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <memory>

WindowDriver::WindowDriver()
{
    auto scripted = std::make_unique<ScriptedRunner>();
    runner = scripted.get();
    window.setModalRunner(std::move(scripted));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qWarning("main window not exposed");
}

bool WindowDriver::resetWorld()
{
    // The simulated EEPROM lists outlive a world reset.
    QDir(QFile::decodeName(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/kivo-sim"))
        .removeRecursively();
    QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo")).clear();
    return KivoSimLoadWorld(nullptr) == 0;
}

QAction* WindowDriver::action(const QString& text) const
{
    const auto actions = window.findChildren<QAction*>();
    for (QAction* candidate : actions) {
        if (candidate->text() == text)
            return candidate;
    }
    qFatal("no action %s", qPrintable(text));
}

QStringList WindowDriver::entries(const QString& pixelclass) const
{
    const QAbstractItemModel* list = badpixelView()->model();
    QStringList result;
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->index(row, 2).data().toString() == pixelclass)
            result << list->index(row, 0).data().toString() + QLatin1Char(' ') +
                          list->index(row, 1).data().toString();
    }
    return result;
}

int WindowDriver::cameraRow(const QString& serial) const
{
    const QAbstractItemModel* model = cameraView()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 3).data().toString() == serial)
            return row;
    }
    return -1;
}

void WindowDriver::openCamera(const QString& serial)
{
    selectCamera(serial);
    action(QStringLiteral("&Open camera"))->trigger();
}
