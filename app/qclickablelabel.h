#pragma once

#include <QLabel>

class QEvent;
class QMouseEvent;

// A label that reports a mouse button released over it. A clickable one also
// looks like a hyperlink and shows the pointing hand while hovered.
class QClickableLabel : public QLabel
{
    Q_OBJECT

public:
    QClickableLabel(QWidget* parent, bool clickable);

signals:
    void clicked(int id);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int id = 0;
    bool clickable;
};
