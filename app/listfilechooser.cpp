#include "listfilechooser.h"

#include "modalrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString lastFolderKey = QStringLiteral("Speckwright/files/lastFolder");

QSettings settings()
{
    return QSettings(QStringLiteral("Talvane"), QStringLiteral("Kivo"));
}

} // namespace

QString ListFileChooser::choose(ModalRunner& runner, QWidget* parent, Mode mode,
                                const QString& caption, const QString& filter,
                                const QString& suffix) const
{
    QString name = mode == Open ? runner.getOpenFileName(parent, caption, lastFolder(), filter)
                                : runner.getSaveFileName(parent, caption, lastFolder(), filter);
    if (name.isEmpty())
        return name;
    const QFileInfo file(name);
    if (mode == Save && file.suffix().isEmpty())
        name += QLatin1Char('.') + suffix;
    settings().setValue(lastFolderKey, file.absolutePath());
    return name;
}

QString ListFileChooser::lastFolder() const
{
    const QString folder = settings().value(lastFolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}
