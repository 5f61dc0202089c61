#include "viewportrenderer.h"

#include "markerstamp.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstring>

namespace {

constexpr QRgb opaque = 0xff000000;
// How far ahead frame rows are fetched while sampling, in rows, and how often,
// in view pixels.
constexpr int rowsAhead = 2;
constexpr int prefetchStep = 8;

bool isDirect(const QImage& frame)
{
    return frame.format() == QImage::Format_Indexed8 || frame.format() == QImage::Format_RGB32;
}

// What the markers can touch around their positions, for the margin of frame
// pixels that must be converted around the visible ones.
int markerMargin(const std::vector<ViewportRenderer::Marker>& markers)
{
    int margin = 0;
    const MarkerStamp* last = nullptr;
    for (const ViewportRenderer::Marker& marker : markers) {
        if (marker.stamp == last)
            continue;
        last = marker.stamp;
        const QRect reach = last->reach();
        margin = std::max({margin, -reach.left(), -reach.top(), reach.right(), reach.bottom()});
    }
    return margin;
}

} // namespace

QImage ViewportRenderer::view(std::vector<QRgb>& pixels, QSize size)
{
    const size_t needed = size_t(size.width()) * size_t(size.height());
    if (pixels.size() < needed)
        pixels.resize(needed);
    return QImage(reinterpret_cast<uchar*>(pixels.data()), size.width(), size.height(),
                  size.width() * int(sizeof(QRgb)), QImage::Format_RGB32);
}

void ViewportRenderer::render(const QImage& frame, QSize scaledSize, QRect visible,
                              const Overlay& overlay)
{
    canvasImage = QImage();
    coveredArea = QRect();
    visible &= QRect(QPoint(0, 0), scaledSize);
    if (frame.isNull() || visible.isEmpty())
        return;
    if (!isDirect(frame))
        converted = frame.convertToFormat(QImage::Format_RGB32);
    const QImage& usable = isDirect(frame) ? frame : converted;
    prepareTable(usable);
    if (mappedFrom != usable.size() || mappedTo != scaledSize) {
        columns = NearestScaling(usable.width(), scaledSize.width());
        rows = NearestScaling(usable.height(), scaledSize.height());
        mappedFrom = usable.size();
        mappedTo = scaledSize;
    }

    coveredArea = visible;
    if (!overlay.inFramePixels) {
        sampleFrame(usable, visible);
        stampInViewPixels(overlay, visible, usable.size(), scaledSize);
        return;
    }

    const QRect sourceVisible(
        QPoint(columns.source(visible.left()), rows.source(visible.top())),
        QPoint(columns.source(visible.right()), rows.source(visible.bottom())));
    const int margin = markerMargin(overlay.markers);
    const QRect area = sourceVisible.adjusted(-margin, -margin, margin, margin) & usable.rect();
    convertSource(usable, area);
    paintInFramePixels(overlay, sourceVisible, usable.size());
    if (scaledSize == usable.size()) {
        canvasImage = source;
        canvasOrigin = area.topLeft();
        return;
    }
    sampleSource(visible, area.topLeft());
}

void ViewportRenderer::prepareTable(const QImage& frame)
{
    if (frame.format() != QImage::Format_Indexed8)
        return;
    // As QImage's own conversion: no table means grey levels, a short one
    // black for the indexes beyond it.
    const QVector<QRgb> table = frame.colorTable();
    for (int i = 0; i < 256; ++i) {
        if (table.isEmpty())
            colourTable[i] = qRgb(i, i, i);
        else
            colourTable[i] = i < table.size() ? table[i] | opaque : opaque;
    }
}

void ViewportRenderer::convertSource(const QImage& frame, QRect area)
{
    source = view(sourcePixels, area.size());
    const int width = area.width();
    for (int y = 0; y < area.height(); ++y) {
        QRgb* out = sourcePixels.data() + size_t(y) * size_t(width);
        const uchar* line = frame.constScanLine(area.top() + y);
        if (frame.format() == QImage::Format_Indexed8) {
            const uchar* in = line + area.left();
            for (int x = 0; x < width; ++x)
                out[x] = colourTable[in[x]];
        } else {
            const QRgb* in = reinterpret_cast<const QRgb*>(line) + area.left();
            for (int x = 0; x < width; ++x)
                out[x] = in[x] | opaque;
        }
    }
    sourceOrigin = area.topLeft();
}

void ViewportRenderer::paintInFramePixels(const Overlay& overlay, QRect sourceVisible,
                                          QSize frameSize)
{
    const QRect frameRect(QPoint(0, 0), frameSize);
    const bool crosshair = overlay.crosshair.x() != -1 && overlay.crosshair.y() != -1;
    QPainter painter;
    const auto beginPainting = [&] {
        if (painter.isActive())
            return;
        painter.begin(&source);
        painter.translate(-sourceOrigin);
    };
    if (crosshair) {
        beginPainting();
        const QPoint at = overlay.crosshair;
        painter.setPen(QPen(Qt::red, 1));
        painter.setOpacity(0.3);
        painter.drawLine(at.x(), 0, at.x(), frameSize.height());
        painter.drawLine(0, at.y(), frameSize.width(), at.y());
        painter.setOpacity(1.0);
    }
    for (const Marker& marker : overlay.markers) {
        const QRect reach = marker.stamp->reach().translated(marker.position);
        if (!reach.intersects(sourceVisible))
            continue;
        if (frameRect.contains(reach)) {
            marker.stamp->stamp(source, marker.position - sourceOrigin);
        } else {
            beginPainting();
            marker.stamp->paint(painter, marker.position);
        }
    }
}

void ViewportRenderer::sampleSource(QRect visible, QPoint origin)
{
    canvasImage = view(canvasPixels, visible.size());
    canvasOrigin = visible.topLeft();
    const int width = visible.width();
    columnMap.resize(size_t(width));
    for (int x = 0; x < width; ++x)
        columnMap[size_t(x)] = columns.source(visible.left() + x) - origin.x();
    const int sourceWidth = source.width();
    int lastRow = -1;
    for (int y = 0; y < visible.height(); ++y) {
        QRgb* out = canvasPixels.data() + size_t(y) * size_t(width);
        const int row = rows.source(visible.top() + y) - origin.y();
        if (row == lastRow) {
            // Enlarged: the row shows the same frame row as the one above.
            std::memcpy(out, out - width, size_t(width) * sizeof(QRgb));
            continue;
        }
        lastRow = row;
        const QRgb* in = sourcePixels.data() + size_t(row) * size_t(sourceWidth);
        for (int x = 0; x < width; ++x)
            out[x] = in[columnMap[size_t(x)]];
    }
}

void ViewportRenderer::sampleFrame(const QImage& frame, QRect visible)
{
    canvasImage = view(canvasPixels, visible.size());
    canvasOrigin = visible.topLeft();
    const int width = visible.width();
    columnMap.resize(size_t(width));
    for (int x = 0; x < width; ++x)
        columnMap[size_t(x)] = columns.source(visible.left() + x);
    const bool indexed = frame.format() == QImage::Format_Indexed8;
    for (int y = 0; y < visible.height(); ++y) {
        QRgb* out = canvasPixels.data() + size_t(y) * size_t(width);
        const uchar* line = frame.constScanLine(rows.source(visible.top() + y));
        if (indexed) {
            // Zoomed out of a large frame, every row lies far from the one
            // before: its pixels are fetched while the row before is sampled.
            const int aheadRow = std::min(y + rowsAhead, visible.height() - 1);
            const uchar* ahead = frame.constScanLine(rows.source(visible.top() + aheadRow));
            int x = 0;
            for (; x + prefetchStep <= width; x += prefetchStep) {
                __builtin_prefetch(ahead + columnMap[size_t(x)]);
                for (int i = x; i < x + prefetchStep; ++i)
                    out[i] = colourTable[line[columnMap[size_t(i)]]];
            }
            for (; x < width; ++x)
                out[x] = colourTable[line[columnMap[size_t(x)]]];
        } else {
            const QRgb* in = reinterpret_cast<const QRgb*>(line);
            for (int x = 0; x < width; ++x)
                out[x] = in[columnMap[size_t(x)]] | opaque;
        }
    }
}

void ViewportRenderer::stampInViewPixels(const Overlay& overlay, QRect visible, QSize frameSize,
                                         QSize scaledSize)
{
    const double xFactor = double(scaledSize.width()) / frameSize.width();
    const double yFactor = double(scaledSize.height()) / frameSize.height();
    for (const Marker& marker : overlay.markers) {
        // The view pixel under the centre of the marked frame pixel.
        const QPoint centre(int((marker.position.x() + 0.5) * xFactor),
                            int((marker.position.y() + 0.5) * yFactor));
        marker.stamp->stamp(canvasImage, centre - visible.topLeft());
    }
}
