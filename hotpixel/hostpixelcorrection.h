#pragma once

#include <QImage>
#include <QPoint>
#include <QSet>
#include <QVector>

// Hot pixel correction done by the program for a camera that cannot correct
// itself: each listed pixel of an 8-bit frame becomes the rounded mean of its
// nearest pixels of the same colour that are not listed themselves (the
// eight around it on a mono sensor, those two steps away on a Bayer one).
class HostPixelCorrection
{
public:
    void setPositions(const QVector<QPoint>& listed);
    void setEnabled(bool on) { enabled = on; }
    void setBayer(bool mosaic) { bayer = mosaic; }

    // The frame itself when there is nothing to correct, else a corrected copy.
    QImage apply(const QImage& frame) const;

private:
    static quint32 key(QPoint p) { return quint32(p.y()) << 16 | quint32(p.x()); }

    QVector<QPoint> positions;
    QSet<quint32> listed;
    bool enabled = false;
    bool bayer = false;
};
