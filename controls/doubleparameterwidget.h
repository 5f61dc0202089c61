#pragma once

#include "baseparameterwidget.h"
#include "cameraparameter.h"

#include <QDoubleSpinBox>
#include <QPointer>

// Label, slider and spin box for a floating-point setting. The slider counts
// steps of the parameter's increment from its minimum and follows the value
// shown; only the user's own slider moves put the value on that grid.
class DoubleParameterWidget : public BaseParameterWidget
{
    Q_OBJECT

public:
    explicit DoubleParameterWidget(QObject* parent = nullptr);
    ~DoubleParameterWidget() override;

    void setEnabled(bool enabled) override;

    const QPointer<QDoubleSpinBox> spinBox;

signals:
    void valueChanged(double value);

public slots:
    void changeValue(double value);
    void changeValueRelative(int position);
    void emitValueChanged();
    void setParam(const CameraParameter<double>& param);

private:
    double valueAt(int position) const;
    int positionOf(double value) const;
};
