#include "hostpixelcorrection.h"

#include <cstring>

void HostPixelCorrection::setPositions(const QVector<QPoint>& listedPositions)
{
    positions = listedPositions;
    listed.clear();
    for (QPoint p : positions)
        listed.insert(key(p));
}

QImage HostPixelCorrection::apply(const QImage& frame)
{
    if (!enabled || positions.isEmpty() || frame.depth() != 8)
        return frame;
    QImage& corrected = buffers[nextBuffer];
    nextBuffer ^= 1;
    if (corrected.size() != frame.size() || corrected.format() != frame.format())
        corrected = QImage(frame.size(), frame.format());
    corrected.setColorTable(frame.colorTable());
    for (int y = 0; y < frame.height(); ++y)
        std::memcpy(corrected.scanLine(y), frame.constScanLine(y), size_t(frame.width()));
    const int step = bayer ? 2 : 1;
    const QRect area = frame.rect();
    for (QPoint p : positions) {
        if (!area.contains(p))
            continue;
        int sum = 0;
        int count = 0;
        for (int dy = -step; dy <= step; dy += step) {
            for (int dx = -step; dx <= step; dx += step) {
                const QPoint q(p.x() + dx, p.y() + dy);
                if ((dx == 0 && dy == 0) || !area.contains(q) || listed.contains(key(q)))
                    continue;
                sum += frame.constScanLine(q.y())[q.x()];
                ++count;
            }
        }
        if (count > 0)
            corrected.scanLine(p.y())[p.x()] = uchar((sum + count / 2) / count);
    }
    return corrected;
}
