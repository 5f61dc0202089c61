#include "baseparameterwidget.h"

BaseParameterWidget::BaseParameterWidget(QObject* parent)
    : QObject(parent)
    , label(new QLabel)
    , slider(new QSlider(Qt::Horizontal))
{
    slider->setSingleStep(1);
    slider->setPageStep(4);
}

BaseParameterWidget::~BaseParameterWidget()
{
    delete slider.data();
    delete label.data();
}

void BaseParameterWidget::setEnabled(bool enabled)
{
    label->setEnabled(enabled);
    slider->setEnabled(enabled);
}

void BaseParameterWidget::setText(const QString& text)
{
    label->setText(text);
}
