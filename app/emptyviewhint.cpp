#include "emptyviewhint.h"

#include <QEvent>

EmptyViewHint::EmptyViewHint(QWidget* view)
    : QLabel(tr("No camera is open.\n\nDouble-click a camera in the camera list to open it,\n"
                "or select it and press Return."),
             view)
{
    setObjectName(QStringLiteral("emptyViewHint"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setForegroundRole(QPalette::BrightText);
    setGeometry(view->rect());
    view->installEventFilter(this);
}

bool EmptyViewHint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QLabel::eventFilter(watched, event);
}
