#include "parameterwidget.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>

ParameterWidget::ParameterWidget(QObject* parent)
    : BaseParameterWidget(parent)
    , spinBox(new QSpinBox)
{
    connect(slider, &QSlider::valueChanged, this, &ParameterWidget::changeValue);
    connect(slider, &QSlider::sliderReleased, this, &ParameterWidget::emitValueChanged);
    connect(spinBox, qOverload<int>(&QSpinBox::valueChanged), this, &ParameterWidget::changeValue);
    connect(spinBox, qOverload<int>(&QSpinBox::valueChanged), this,
            &ParameterWidget::emitValueChanged);
}

ParameterWidget::~ParameterWidget()
{
    delete spinBox.data();
}

void ParameterWidget::setEnabled(bool enabled)
{
    BaseParameterWidget::setEnabled(enabled);
    spinBox->setEnabled(enabled);
}

void ParameterWidget::changeValue(int value)
{
    // Shared by every instance in the process.
    static bool busy = false;
    if (busy) {
        return;
    }
    const QScopedValueRollback<bool> busyScope(busy, true);
    emitEnabled = false;
    {
        const QSignalBlocker sliderBlocker(slider);
        const QSignalBlocker spinBoxBlocker(spinBox);
        slider->setValue(value);
        spinBox->setValue(value);
    }
    emitEnabled = true;
}

void ParameterWidget::emitValueChanged()
{
    if (emitEnabled) {
        emit valueChanged(spinBox->value());
    }
}

// Signals stay connected: a new value moves the slider and is reported, which
// is how the camera's own changes reach the other listeners.
void ParameterWidget::setParam(const CameraParameter<int>& param)
{
    spinBox->setMinimum(param.min);
    spinBox->setMaximum(param.max);
    spinBox->setSingleStep(param.inc);
    spinBox->setValue(param.value);
    slider->setMinimum(param.min);
    slider->setMaximum(param.max);
    slider->setValue(param.value);
}
