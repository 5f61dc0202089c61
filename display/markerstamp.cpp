#include "markerstamp.h"

#include <QPainter>

MarkerStamp::MarkerStamp(const QColor& colour, int diameter, int penWidth)
    : pen(colour, penWidth)
    , diameter(diameter)
{
    // Room for the pen and the antialiasing around the circle.
    const int radius = diameter / 2 + penWidth + 1;
    const int side = 2 * radius + 1;
    // Painted once over each grey level: blending acts on each channel
    // alone, so the 256 results give every channel's table.
    QImage sheet(side * 256, side, QImage::Format_RGB32);
    {
        QPainter painter(&sheet);
        for (int level = 0; level < 256; ++level)
            painter.fillRect(level * side, 0, side, side, QColor(level, level, level));
        for (int level = 0; level < 256; ++level)
            paint(painter, QPoint(level * side + radius, radius));
    }

    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            TouchedPixel pixel{QPoint(x - radius, y - radius), {}};
            bool changed = false;
            for (int level = 0; level < 256; ++level) {
                const QRgb result = sheet.pixel(level * side + x, y);
                pixel.channels[0][level] = uchar(qRed(result));
                pixel.channels[1][level] = uchar(qGreen(result));
                pixel.channels[2][level] = uchar(qBlue(result));
                changed = changed || (result & 0xffffff) != (qRgb(level, level, level) & 0xffffff);
            }
            if (changed) {
                touched.push_back(pixel);
                bounds |= QRect(pixel.offset, QSize(1, 1));
            }
        }
    }
}

void MarkerStamp::stamp(QImage& canvas, QPoint centre) const
{
    const QRect reached = bounds.translated(centre);
    const QRect inside = canvas.rect();
    if (!inside.intersects(reached))
        return;
    const bool whole = inside.contains(reached);
    const int width = inside.width();
    const int height = inside.height();
    uchar* const bits = canvas.bits();
    const qsizetype bytesPerLine = canvas.bytesPerLine();
    for (const TouchedPixel& pixel : touched) {
        const int x = centre.x() + pixel.offset.x();
        const int y = centre.y() + pixel.offset.y();
        if (!whole && (x < 0 || y < 0 || x >= width || y >= height))
            continue;
        QRgb& value = reinterpret_cast<QRgb*>(bits + y * bytesPerLine)[x];
        value = qRgb(pixel.channels[0][qRed(value)], pixel.channels[1][qGreen(value)],
                     pixel.channels[2][qBlue(value)]);
    }
}

void MarkerStamp::paint(QPainter& painter, QPoint centre) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pen);
    painter.drawEllipse(centre.x() - diameter / 2, centre.y() - diameter / 2, diameter, diameter);
}
