#pragma once

#include <QHBoxLayout>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QVector>
#include <QWidget>

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
        window.show();
    }

    // setEnabled greys and restores label, slider and spin box together.
    void checkSetEnabled()
    {
        for (const bool enabled : {false, true}) {
            widget.setEnabled(enabled);
            QCOMPARE((QVector<bool>{widget.label->isEnabled(), widget.slider->isEnabled(),
                                    widget.spinBox->isEnabled()}),
                     QVector<bool>(3, enabled));
        }
    }

    QWidget window;
    Widget widget;
};

// Grabs the handle, moves it through the values in turn and lets it go at the
// last one: the signals of a drag with the mouse.
inline void drag(QSlider* slider, const QVector<int>& values)
{
    slider->setSliderDown(true);
    for (const int value : values)
        slider->setSliderPosition(value);
    slider->setSliderDown(false);
}

template<typename T>
QList<T> reported(const QSignalSpy& spy)
{
    QList<T> values;
    for (const QList<QVariant>& arguments : spy)
        values << arguments.at(0).value<T>();
    return values;
}
