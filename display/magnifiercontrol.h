#pragma once

#include "magnifier.h"

#include <QLabel>
#include <QSlider>
#include <QString>
#include <QWidget>

class QWheelEvent;

// Contents of the magnifier dock: the magnifier, its zoom slider and the
// read-outs of the focus pixel's Bayer site and value.
class MagnifierControl : public QWidget
{
    Q_OBJECT

public:
    explicit MagnifierControl(QWidget* parent = nullptr);

    Magnifier* const magnifier;
    QSlider* const zoomSlider;
    QLabel* const colorLabel;
    QLabel* const valueLabel;

public slots:
    void setPixelInfo(QString bayerColor, int value);

protected:
    // Turning the wheel anywhere over the control zooms.
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();

    QLabel* const colorCaption;
    QLabel* const valueCaption;
};
