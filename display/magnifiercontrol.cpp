#include "magnifiercontrol.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWheelEvent>

MagnifierControl::MagnifierControl(QWidget* parent)
    : QWidget(parent)
    , magnifier(new Magnifier(this))
    , zoomSlider(new QSlider(Qt::Horizontal, this))
    , colorLabel(new QLabel(this))
    , valueLabel(new QLabel(this))
{
    magnifier->setMinimumSize(160, 120);
    zoomSlider->setRange(5, 100);
    zoomSlider->setValue(magnifier->zoomFactor());

    auto* viewLayout = new QVBoxLayout;
    viewLayout->addWidget(magnifier, 1);
    viewLayout->addWidget(zoomSlider);

    auto* infoLayout = new QHBoxLayout;
    infoLayout->addWidget(new QLabel(tr("Bayer Color:"), this));
    infoLayout->addWidget(colorLabel);
    infoLayout->addWidget(new QLabel(tr("Value: "), this));
    infoLayout->addWidget(valueLabel);

    auto* outerLayout = new QVBoxLayout(this);
    outerLayout->addLayout(viewLayout);
    outerLayout->addLayout(infoLayout);

    connect(zoomSlider, &QSlider::valueChanged, magnifier, &Magnifier::setZoom);
    connect(magnifier, &Magnifier::pixelInfoChanged, this, &MagnifierControl::setPixelInfo);

    setToolTip(tr("Click to center"));
}

void MagnifierControl::setPixelInfo(QString bayerColor, int value)
{
    colorLabel->setText(bayerColor);
    valueLabel->setText(QStringLiteral("%1").arg(value));
}

void MagnifierControl::wheelEvent(QWheelEvent* event)
{
    // Eighths of a degree; one standard notch is 15 degrees.
    const double degrees = event->angleDelta().y() * 0.125;
    if (degrees == 0.0) {
        QWidget::wheelEvent(event);
        return;
    }
    const double steps = degrees / 15.0;
    zoomSlider->setValue(static_cast<int>(zoomSlider->value() + zoomSlider->singleStep() * steps));
    event->accept();
}
