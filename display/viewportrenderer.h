#pragma once

#include "nearestscaling.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>

#include <vector>

class MarkerStamp;

// Draws the part of a frame that a view shows: the frame scaled to a size
// with nearest-pixel sampling, markers and crosshair over it, but only the
// pixels inside a given rectangle of the scaled frame. The work follows the
// size of that rectangle, not of the frame, and the buffers are kept from one
// frame to the next.
class ViewportRenderer
{
public:
    struct Marker
    {
        // In frame pixels.
        QPoint position;
        const MarkerStamp* stamp;
    };

    struct Overlay
    {
        // Drawn in this order, later ones over earlier ones.
        std::vector<Marker> markers;
        // In frame pixels; (-1, -1) for none. Drawn only in frame pixels.
        QPoint crosshair{-1, -1};
        // Markers drawn into the frame before scaling, so that they grow
        // with it; otherwise at their own size on the scaled frame.
        bool inFramePixels = true;
    };

    // Draws visible (in scaled pixels) of frame scaled to scaledSize. A frame
    // in another format than 8-bit indexed or 32-bit colour is converted whole.
    void render(const QImage& frame, QSize scaledSize, QRect visible, const Overlay& overlay);

    // The drawn pixels and where the first of them lies in the scaled frame.
    const QImage& canvas() const { return canvasImage; }
    QPoint origin() const { return canvasOrigin; }
    bool covers(QRect area) const { return coveredArea.contains(area); }

private:
    void convertSource(const QImage& frame, QRect area);
    void paintInFramePixels(const Overlay& overlay, QRect sourceVisible, QSize frameSize);
    void sampleSource(QRect visible, QPoint sourceOrigin);
    void sampleFrame(const QImage& frame, QRect visible);
    void stampInViewPixels(const Overlay& overlay, QRect visible, QSize frameSize,
                           QSize scaledSize);
    void prepareTable(const QImage& frame);

    static QImage view(std::vector<QRgb>& pixels, QSize size);

    NearestScaling columns{1, 1};
    NearestScaling rows{1, 1};
    QSize mappedFrom;
    QSize mappedTo;

    std::vector<QRgb> sourcePixels;
    std::vector<QRgb> canvasPixels;
    std::vector<int> columnMap;
    QImage source;
    QPoint sourceOrigin;
    QImage canvasImage;
    QPoint canvasOrigin;
    QRect coveredArea;
    QRgb colourTable[256] = {};
    QImage converted;
};
