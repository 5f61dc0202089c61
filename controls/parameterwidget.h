#pragma once

#include "baseparameterwidget.h"
#include "cameraparameter.h"

#include <QPointer>
#include <QSpinBox>

// Label, slider and spin box for an integer setting. Slider and spin box
// count the same values.
class ParameterWidget : public BaseParameterWidget
{
    Q_OBJECT

public:
    explicit ParameterWidget(QObject* parent = nullptr);
    ~ParameterWidget() override;

    void setEnabled(bool enabled) override;

    const QPointer<QSpinBox> spinBox;

signals:
    void valueChanged(int value);

public slots:
    void changeValue(int value);
    void emitValueChanged();
    void setParam(const CameraParameter<int>& param);
};
