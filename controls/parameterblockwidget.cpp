#include "parameterblockwidget.h"

#include <QEvent>
#include <QGridLayout>

ParameterBlockWidget::ParameterBlockWidget(QWidget* parent)
    : QWidget(parent)
    , framerateWidget(new DoubleParameterWidget(this))
    , exposureWidget(new DoubleParameterWidget(this))
    , mastergainWidget(new ParameterWidget(this))
    , grid(new QGridLayout(this))
{
    retranslateUi();
    placeRow(0, framerateWidget, framerateWidget->spinBox);
    placeRow(1, exposureWidget, exposureWidget->spinBox);
    placeRow(2, mastergainWidget, mastergainWidget->spinBox);
}

void ParameterBlockWidget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
}

void ParameterBlockWidget::retranslateUi()
{
    framerateWidget->setText(tr("Framerate"));
    exposureWidget->setText(tr("Exposure"));
    mastergainWidget->setText(tr("Mastergain"));
}

void ParameterBlockWidget::placeRow(int row, BaseParameterWidget* widget, QWidget* spinBox)
{
    grid->addWidget(widget->label, row, 0);
    grid->addWidget(widget->slider, row, 1);
    grid->addWidget(spinBox, row, 2);
}
