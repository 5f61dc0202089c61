#include "magnifiercontrol.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWheelEvent>

MagnifierControl::MagnifierControl(QWidget* parent)
    : QWidget(parent)
    , magnifier(new Magnifier(this))
    , zoomSlider(new QSlider(Qt::Horizontal, this))
    , colorLabel(new QLabel(this))
    , valueLabel(new QLabel(this))
    , colorCaption(new QLabel(this))
    , valueCaption(new QLabel(this))
{
    magnifier->setMinimumSize(160, 120);
    zoomSlider->setRange(5, 100);
    zoomSlider->setValue(magnifier->zoomFactor());

    auto* viewLayout = new QVBoxLayout;
    viewLayout->addWidget(magnifier, 1);
    viewLayout->addWidget(zoomSlider);

    auto* infoLayout = new QHBoxLayout;
    infoLayout->addWidget(colorCaption);
    infoLayout->addWidget(colorLabel);
    infoLayout->addWidget(valueCaption);
    infoLayout->addWidget(valueLabel);

    auto* outerLayout = new QVBoxLayout(this);
    outerLayout->addLayout(viewLayout);
    outerLayout->addLayout(infoLayout);

    connect(zoomSlider, &QSlider::valueChanged, magnifier, &Magnifier::setZoom);
    connect(magnifier, &Magnifier::pixelInfoChanged, this, &MagnifierControl::setPixelInfo);

    retranslateUi();
}

void MagnifierControl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
}

void MagnifierControl::retranslateUi()
{
    colorCaption->setText(tr("Bayer Color:"));
    valueCaption->setText(tr("Value: "));
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
