#pragma once

#include <QList>
#include <QObject>

class QAction;
class QWidget;

// Steps through the zoom ratios, smallest first, with its Zoom in and Zoom
// out actions (the platform's zoom keys) and with Ctrl + wheel over the view.
// A step triggers the neighbouring ratio's action as if it had been chosen
// from the zoom menu; nothing steps while the two actions are disabled.
class ZoomStepper : public QObject
{
    Q_OBJECT

public:
    // The actions are children of parent.
    ZoomStepper(QList<QAction*> ratios, QWidget* view, QObject* parent);

    QAction* const zoomInAction;
    QAction* const zoomOutAction;

    void setEnabled(bool enabled);
    // Sets the actions' texts in the current language.
    void retranslate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int by);

    const QList<QAction*> ratios;
};
