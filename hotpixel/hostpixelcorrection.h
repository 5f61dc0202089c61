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
    QImage apply(const QImage& frame);

private:
    static quint32 key(QPoint p) { return quint32(p.y()) << 16 | quint32(p.x()); }

    QVector<QPoint> positions;
    QSet<quint32> listed;
    bool enabled = false;
    bool bayer = false;
    // The copies are written in turn into two kept buffers: the view still
    // holds the one handed out last, and a buffer it holds would be copied
    // anew instead of written.
    QImage buffers[2];
    int nextBuffer = 0;
};
