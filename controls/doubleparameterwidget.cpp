#include "doubleparameterwidget.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>

#include <algorithm>
#include <climits>

namespace {

// Whole steps of inc in span. An empty range or a step of 0 gives no steps,
// leaving the slider at a single position.
int stepCount(double span, double inc)
{
    if (!(span > 0.0) || !(inc > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(span / inc, static_cast<double>(INT_MAX)));
}

} // namespace

DoubleParameterWidget::DoubleParameterWidget(QObject* parent)
    : BaseParameterWidget(parent)
    , spinBox(new QDoubleSpinBox)
{
    connect(slider, &QSlider::valueChanged, this, &DoubleParameterWidget::changeValueRelative);
    connect(slider, &QSlider::sliderReleased, this, &DoubleParameterWidget::emitValueChanged);
    connect(spinBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &DoubleParameterWidget::changeValue);
    connect(spinBox, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &DoubleParameterWidget::emitValueChanged);
}

DoubleParameterWidget::~DoubleParameterWidget()
{
    delete spinBox.data();
}

void DoubleParameterWidget::setEnabled(bool enabled)
{
    BaseParameterWidget::setEnabled(enabled);
    spinBox->setEnabled(enabled);
}

// The slider only follows the value: writing its grid value back would turn
// a configured 40 ms into 39.98 ms.
void DoubleParameterWidget::changeValue(double value)
{
    static bool busy = false;
    if (busy) {
        return;
    }
    const QScopedValueRollback<bool> busyScope(busy, true);
    emitEnabled = false;
    {
        const QSignalBlocker blocker(slider);
        slider->setValue(positionOf(value));
    }
    emitEnabled = true;
}

void DoubleParameterWidget::changeValueRelative(int position)
{
    static bool busy = false;
    // A slider without steps has one position, which stands for no value.
    if (busy || slider->maximum() <= 0) {
        return;
    }
    const QScopedValueRollback<bool> busyScope(busy, true);
    emitEnabled = false;
    {
        const QSignalBlocker blocker(spinBox);
        spinBox->setValue(valueAt(position));
    }
    emitEnabled = true;
}

void DoubleParameterWidget::emitValueChanged()
{
    if (emitEnabled) {
        emit valueChanged(spinBox->value());
    }
}

void DoubleParameterWidget::setParam(const CameraParameter<double>& param)
{
    spinBox->setMinimum(param.min);
    spinBox->setMaximum(param.max);
    spinBox->setSingleStep((param.max - param.min) / 100.0);
    spinBox->setValue(param.value);
    const QSignalBlocker blocker(slider);
    slider->setRange(0, stepCount(param.max - param.min, param.inc));
    slider->setValue(stepCount(param.value - param.min, param.inc));
}

double DoubleParameterWidget::valueAt(int position) const
{
    const double span = spinBox->maximum() - spinBox->minimum();
    return spinBox->minimum() + static_cast<double>(position) / slider->maximum() * span;
}

int DoubleParameterWidget::positionOf(double value) const
{
    const double span = spinBox->maximum() - spinBox->minimum();
    if (!(span > 0.0)) {
        return 0;
    }
    return static_cast<int>(slider->maximum() * (value - spinBox->minimum()) / span);
}
