#include "emptyviewhint.h"

#include <QEvent>

EmptyViewHint::EmptyViewHint(QWidget* view)
    : QLabel(view)
{
    retranslateUi();
    setObjectName(QStringLiteral("emptyViewHint"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setForegroundRole(QPalette::BrightText);
    setGeometry(view->rect());
    view->installEventFilter(this);
}

void EmptyViewHint::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
}

void EmptyViewHint::retranslateUi()
{
    setText(tr("No camera is open.\n\nDouble-click a camera in the camera list to open it,\n"
               "or select it and press Return."));
}

bool EmptyViewHint::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QLabel::eventFilter(watched, event);
}
