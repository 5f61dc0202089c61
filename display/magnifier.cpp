#include "magnifier.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPixmap>

#include <algorithm>

namespace {

// Frame pixels that fit into length screen pixels, made odd and with room to
// spare, so that the focus pixel sits in the middle.
int blockSize(int length, int zoom)
{
    const int q = length / zoom;
    return q % 2 == 0 ? q + 3 : q + 2;
}

QString bayerSite(QPoint pixel)
{
    const bool evenX = pixel.x() % 2 == 0;
    const bool evenY = pixel.y() % 2 == 0;
    if (evenX && evenY) {
        return QStringLiteral("R");
    }
    if (!evenX && !evenY) {
        return QStringLiteral("B");
    }
    return QStringLiteral("G");
}

// Frame pixels to move for a click offset from the middle of the view: the
// focus pixel's own block reaches from -(zoom - zoom / 2) to zoom / 2.
int stepsForOffset(int offset, int zoom)
{
    const int half = zoom / 2;
    int steps = 0;
    if (offset > 0) {
        while (offset > half) {
            offset -= zoom;
            ++steps;
        }
    } else {
        int t = half - offset;
        while (t > zoom) {
            t -= zoom;
            --steps;
        }
    }
    return steps;
}

} // namespace

Magnifier::Magnifier(QWidget* parent)
    : QLabel(parent)
{
    setBackgroundRole(QPalette::Base);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setScaledContents(false);
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignCenter);
}

void Magnifier::setImage(QImage& image)
{
    this->image = image;
    redrawImage();
}

void Magnifier::clear()
{
    image = QImage();
    QLabel::clear();
}

void Magnifier::setPosition(QPoint position)
{
    this->position = position;
    redrawImage();
}

void Magnifier::setZoom(int zoom)
{
    // The zoom divides the view's size; the slider never goes below 5.
    this->zoom = std::max(1, zoom);
    redrawImage();
}

void Magnifier::redrawImage()
{
    if (image.isNull()) {
        clear();
        return;
    }
    const int columns = blockSize(width(), zoom);
    const int rows = blockSize(height(), zoom);
    // Only the shown block is converted; what lies outside the frame is black.
    const QRect shown(position.x() - columns / 2, position.y() - rows / 2, columns, rows);
    const QRect inside = shown & image.rect();
    QImage block(shown.size(), QImage::Format_RGB32);
    block.fill(Qt::black);
    if (!inside.isEmpty()) {
        QPainter painter(&block);
        painter.drawImage(inside.topLeft() - shown.topLeft(),
                          image.copy(inside).convertToFormat(QImage::Format_RGB32));
    }
    QImage enlarged =
        block.scaled(zoom * columns, zoom * rows, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (enlarged.width() > 20 && enlarged.height() > 20) {
        drawFocusFrame(enlarged);
        // Outside the frame there is no value to report.
        if (image.valid(position)) {
            emit pixelInfoChanged(bayerSite(position), block.pixel(columns / 2, rows / 2) & 0xff);
        }
    }
    setPixmap(QPixmap::fromImage(enlarged));
}

void Magnifier::drawFocusFrame(QImage& enlarged) const
{
    QPainter painter(&enlarged);
    painter.setPen(QPen(Qt::green, 1));
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int cx = enlarged.width() / 2;
    const int cy = enlarged.height() / 2;
    const int h = zoom / 2;
    const int left = cx - h - 1;
    const int top = cy - h - 1;
    const int right = left + zoom;
    const int bottom = top + zoom;
    painter.drawLine(cx, top - 16, cx, top);
    painter.drawLine(cx, bottom + 1, cx, bottom + 17);
    painter.drawLine(left - 16, cy, left, cy);
    painter.drawLine(right + 1, cy, right + 17, cy);
    // A stroked rectangle covers one pixel more than its size: zoom + 1 pixels.
    painter.drawRect(left, top, zoom, zoom);
}

void Magnifier::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        emit changePosition(position + QPoint(-1, 0));
        break;
    case Qt::Key_Up:
        emit changePosition(position + QPoint(0, -1));
        break;
    case Qt::Key_Right:
        emit changePosition(position + QPoint(1, 0));
        break;
    case Qt::Key_Down:
        emit changePosition(position + QPoint(0, 1));
        break;
    default:
        QLabel::keyPressEvent(event);
    }
}

void Magnifier::mousePressEvent(QMouseEvent* ev)
{
    if (ev->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(ev);
        return;
    }
    const int nx = stepsForOffset(ev->pos().x() - width() / 2, zoom);
    const int ny = stepsForOffset(ev->pos().y() - height() / 2, zoom);
    emit changePosition(position + QPoint(nx, ny));
}
