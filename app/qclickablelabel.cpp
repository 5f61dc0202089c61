#include "qclickablelabel.h"

#include <QCursor>
#include <QGuiApplication>

QClickableLabel::QClickableLabel(QWidget* parent, bool clickable)
    : QLabel(parent)
    , clickable(clickable)
{
    if (clickable) {
        setStyleSheet(QStringLiteral("QLabel { color : blue; text-decoration : underline; }"));
    }
}

// Any button, clickable or not; the label's own release handling (text
// selection, links) is not wanted here.
void QClickableLabel::mouseReleaseEvent(QMouseEvent*)
{
    emit clicked(id);
}

void QClickableLabel::enterEvent(QEvent* event)
{
    if (clickable) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    }
    QLabel::enterEvent(event);
}

void QClickableLabel::leaveEvent(QEvent* event)
{
    if (clickable) {
        QGuiApplication::restoreOverrideCursor();
    }
    QLabel::leaveEvent(event);
}
