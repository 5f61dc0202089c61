#pragma once

#include <QWidget>

class DeviationHistogram;

// Draws a deviation histogram with logarithmic counts, one bar per grey level beyond the mean and
// one wide bar for the bulk near it, and the threshold as a line across it.
class DeviationHistogramWidget : public QWidget
{
    Q_OBJECT

public:
    explicit DeviationHistogramWidget(QWidget* parent = nullptr);

    // Not owned; nullptr shows a hint instead. The histogram must live while it is shown.
    void setHistogram(const DeviationHistogram* histogram);
    // DeviationHistogram::allPlanes or a plane index.
    void setPlane(int plane);
    void setThreshold(int threshold);
    // Names what the horizontal axis counts, for example the side of the mean.
    void setAxisTitle(const QString& title);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const DeviationHistogram* histogram = nullptr;
    int plane = -1;
    int threshold = 0;
    QString axisTitle;
};
