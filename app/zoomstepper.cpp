#include "zoomstepper.h"

#include <QAction>
#include <QWheelEvent>
#include <QWidget>

#include <utility>

ZoomStepper::ZoomStepper(QList<QAction*> ratios, QWidget* view, QObject* parent)
    : QObject(parent)
    , zoomInAction(new QAction(parent))
    , zoomOutAction(new QAction(parent))
    , ratios(std::move(ratios))
{
    zoomInAction->setShortcuts(QKeySequence::ZoomIn);
    zoomOutAction->setShortcuts(QKeySequence::ZoomOut);
    connect(zoomInAction, &QAction::triggered, this, [this] { step(1); });
    connect(zoomOutAction, &QAction::triggered, this, [this] { step(-1); });
    view->installEventFilter(this);
    retranslate();
}

void ZoomStepper::retranslate()
{
    zoomInAction->setText(tr("Zoom &in"));
    zoomOutAction->setText(tr("Zoom &out"));
}

void ZoomStepper::setEnabled(bool enabled)
{
    zoomInAction->setEnabled(enabled);
    zoomOutAction->setEnabled(enabled);
}

bool ZoomStepper::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    const int delta = wheel->angleDelta().y();
    if (delta != 0)
        step(delta > 0 ? 1 : -1);
    return true;
}

void ZoomStepper::step(int by)
{
    int current = -1;
    for (int i = 0; i < ratios.size(); ++i) {
        if (ratios.at(i)->isChecked())
            current = i;
    }
    const int next = current + by;
    if (!zoomInAction->isEnabled() || current < 0 || next < 0 || next >= ratios.size())
        return;
    ratios.at(next)->trigger();
}
