#include "listfiledrop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

ListFileDrop::ListFileDrop(QWidget* target)
    : QObject(target)
{
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool ListFileDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (listFile(drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString file = listFile(drop->mimeData());
        if (file.isEmpty())
            return false;
        drop->acceptProposedAction();
        emit fileDropped(file);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

QString ListFileDrop::listFile(const QMimeData* data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return QString();
    const QString name = urls.first().toLocalFile();
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("txt") || suffix == QLatin1String("bin") ? name : QString();
}
