#pragma once

#include <QtGlobal>

// Which source pixel a scaled pixel shows along one axis, for nearest-pixel
// scaling of sourceLength pixels to scaledLength pixels. Matches the fixed
// point stepping of QImage::scaled with Qt::FastTransformation, so that a part
// of the view drawn on its own shows exactly the pixels a scaling of the whole
// frame would.
class NearestScaling
{
public:
    NearestScaling(int sourceLength, int scaledLength);

    int source(int scaled) const
    {
        if (exact)
            return int((2 * qint64(scaled) + 1) * sourceLength / (2 * qint64(scaledLength)));
        return int((start + quint32(scaled) * step) >> 16);
    }

private:
    int sourceLength;
    int scaledLength;
    // Beyond the range of Qt's 16.16 stepping the pixel centres are mapped
    // exactly instead.
    bool exact;
    quint32 start = 0;
    quint32 step = 0;
};
