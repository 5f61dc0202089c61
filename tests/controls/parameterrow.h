#pragma once

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVector>

// One parameter widget's controls laid out in a shown window, as the program
// places them.
template<typename Widget>
struct ParameterRow
{
    ParameterRow()
    {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(widget.label);
        layout->addWidget(widget.slider);
        layout->addWidget(widget.spinBox);
        window.resize(400, 40);
        window.show();
    }

    QWidget window;
    Widget widget;
};

namespace SliderDrag {

// Centre of the slider's handle when it stands at value, in slider coordinates.
inline QPoint handleCentre(const QSlider* slider, int value)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    if (slider->orientation() == Qt::Horizontal) {
        option.state |= QStyle::State_Horizontal;
    }
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = value;
    option.sliderValue = value;
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.upsideDown = slider->invertedAppearance();
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
        .center();
}

// Grabs the handle with the left button, moves it through the values in turn
// and releases it at the last one, as a user's drag does.
inline void drag(QSlider* slider, const QVector<int>& values)
{
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier,
                      handleCentre(slider, slider->sliderPosition()));
    QPoint position;
    for (const int value : values) {
        position = handleCentre(slider, value);
        QMouseEvent move(QEvent::MouseMove, position, slider->mapToGlobal(position), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &move);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, position);
}

} // namespace SliderDrag
