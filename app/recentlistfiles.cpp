#include "recentlistfiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {

constexpr int maximumCount = 8;
const QString recentKey = QStringLiteral("Speckwright/files/recent");

QSettings settings()
{
    return QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo"));
}

} // namespace

RecentListFiles::RecentListFiles(QMenu* menu, QObject* parent)
    : QObject(parent)
    , menu(menu)
{
    fillMenu();
}

QStringList RecentListFiles::files() const
{
    return settings().value(recentKey).toStringList();
}

void RecentListFiles::add(const QString& filename)
{
    const QString path = QFileInfo(filename).absoluteFilePath();
    QStringList list = files();
    list.removeAll(path);
    list.prepend(path);
    settings().setValue(recentKey, QStringList(list.mid(0, maximumCount)));
    fillMenu();
}

void RecentListFiles::fillMenu()
{
    menu->clear();
    const QStringList list = files();
    for (int i = 0; i < list.size(); ++i) {
        const QString path = list.at(i);
        QAction* action = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        connect(action, &QAction::triggered, this, [this, path] { emit fileChosen(path); });
    }
    menu->setEnabled(!list.isEmpty());
}
