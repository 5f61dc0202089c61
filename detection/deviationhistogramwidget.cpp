#include "deviationhistogramwidget.h"

#include "deviationhistogram.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int margin = 6;
constexpr int leftAxis = 34;

double logCount(uint64_t count)
{
    return std::log10(double(count) + 1);
}

} // namespace

DeviationHistogramWidget::DeviationHistogramWidget(QWidget* parent)
    : QWidget(parent)
{
    setMinimumHeight(180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DeviationHistogramWidget::setHistogram(const DeviationHistogram* newHistogram)
{
    histogram = newHistogram;
    update();
}

void DeviationHistogramWidget::setPlane(int newPlane)
{
    plane = newPlane;
    update();
}

void DeviationHistogramWidget::setThreshold(int newThreshold)
{
    threshold = newThreshold;
    update();
}

void DeviationHistogramWidget::setAxisTitle(const QString& title)
{
    axisTitle = title;
    update();
}

QSize DeviationHistogramWidget::sizeHint() const
{
    return QSize(380, 170);
}

void DeviationHistogramWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (!histogram) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         tr("The histogram of the averaged frames appears here after a run."));
        return;
    }

    const int textHeight = fontMetrics().height();
    const QRect plot(leftAxis, margin, width() - leftAxis - margin,
                     height() - 3 * margin - 2 * textHeight);
    const double columnWidth = double(plot.width()) / DeviationHistogram::bins;
    const int bulkLimit = histogram->bulkLimit();
    uint64_t largest = histogram->bulk(plane);
    for (int d = bulkLimit + 1; d < DeviationHistogram::bins; ++d)
        largest = std::max(largest, histogram->count(plane, d));
    const int decades = std::max(1, int(std::ceil(logCount(largest))));
    auto yOf = [&](double logValue) {
        return plot.bottom() - int(logValue / decades * plot.height());
    };
    auto xOf = [&](int deviation) {
        return plot.left() + int(deviation * columnWidth);
    };

    painter.setPen(palette().color(QPalette::Mid));
    for (int decade = 0; decade <= decades; ++decade) {
        const int y = yOf(decade);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.drawText(QRect(0, y - textHeight / 2, leftAxis - 4, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter,
                         decade == 0 ? QStringLiteral("1") : QStringLiteral("1e%1").arg(decade));
    }
    for (int d = 0; d < DeviationHistogram::bins; d += 32)
        painter.drawText(QRect(xOf(d) - 20, plot.bottom() + 2, 40, textHeight), Qt::AlignHCenter,
                         QString::number(d));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(plot.left(), plot.bottom() + 2 + textHeight, plot.width(), textHeight),
                     Qt::AlignHCenter, axisTitle);

    // The bulk is one count over its whole width: a bar per grey level would pretend to know more.
    const QColor bulkColor = palette().color(QPalette::Dark);
    const int bulkTop = yOf(logCount(histogram->bulk(plane)));
    painter.fillRect(QRect(QPoint(xOf(0), bulkTop), QPoint(xOf(bulkLimit + 1) - 1, plot.bottom())),
                     bulkColor);
    const QColor barColor = palette().color(QPalette::Highlight);
    for (int d = bulkLimit + 1; d < DeviationHistogram::bins; ++d) {
        const uint64_t count = histogram->count(plane, d);
        if (count == 0)
            continue;
        const QRect bar(QPoint(xOf(d), yOf(logCount(count))),
                        QPoint(std::max(xOf(d), xOf(d + 1) - 1), plot.bottom()));
        painter.fillRect(bar, d > threshold ? QColor(Qt::magenta) : barColor);
    }

    painter.setPen(QPen(Qt::red, 2));
    const int x = xOf(threshold + 1);
    painter.drawLine(x, plot.top(), x, plot.bottom());
}
