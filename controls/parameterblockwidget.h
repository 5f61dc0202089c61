#pragma once

#include "doubleparameterwidget.h"
#include "parameterwidget.h"

#include <QWidget>

class QGridLayout;

// The "Camera properties" rows: frame rate, exposure and master gain, each
// with label, slider and spin box in a grid.
class ParameterBlockWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ParameterBlockWidget(QWidget* parent = nullptr);

    DoubleParameterWidget* const framerateWidget;
    DoubleParameterWidget* const exposureWidget;
    ParameterWidget* const mastergainWidget;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
    void placeRow(int row, BaseParameterWidget* widget, QWidget* spinBox);

    QGridLayout* const grid;
};
