#pragma once

#include <QLabel>

// The text shown across the empty live view while no camera is open, telling
// a new user how to start.
class EmptyViewHint : public QLabel
{
    Q_OBJECT

public:
    // Covers the whole of view, following its size.
    explicit EmptyViewHint(QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
};
