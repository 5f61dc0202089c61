#pragma once

#include <QColor>
#include <QImage>
#include <QPen>
#include <QPoint>
#include <QRect>

#include <array>
#include <vector>

// A circle around one pixel, as an antialiased QPainter ellipse would draw it
// there, kept as what it does to each pixel it touches: a table from the old
// to the new value of each colour channel. Stamping it is exactly the same as
// painting the ellipse, at a fraction of the cost, so that thousands of
// markers cost little more than the pixels they cover.
class QPainter;

class MarkerStamp
{
public:
    // The circle of the given diameter, stroked with a pen of penWidth, in the
    // square whose centre pixel is the marked pixel.
    MarkerStamp(const QColor& colour, int diameter, int penWidth);

    // Applies the stamp around centre to an RGB32 image, cut off at its edges.
    void stamp(QImage& canvas, QPoint centre) const;
    // Paints the circle itself. Where the image's edge cuts the circle, the
    // edge changes the antialiasing and only this gives the painted pixels.
    void paint(QPainter& painter, QPoint centre) const;

    // The pixels the stamp may touch, relative to its centre.
    const QRect& reach() const { return bounds; }

private:
    struct TouchedPixel
    {
        QPoint offset;
        std::array<std::array<uchar, 256>, 3> channels;
    };

    QPen pen;
    int diameter;
    std::vector<TouchedPixel> touched;
    QRect bounds;
};
