#include "displaywidget.h"

#include "badpixellistmodel.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

// A click selects a listed hot pixel less than this many pixels away in x and y.
constexpr int hitDistance = 7;

// Side length at a scale, truncated towards zero. Capped so that an absurd
// scale gives a size QImage refuses rather than an undefined conversion.
int scaledLength(int length, double scale)
{
    return static_cast<int>(std::min(length * scale, static_cast<double>(INT_MAX)));
}

} // namespace

DisplayWidget::DisplayWidget(QWidget* parent)
    : QScrollArea(parent)
    , imageLabel(new QLabel(this))
{
    imageLabel->setBackgroundRole(QPalette::Base);
    imageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setBackgroundRole(QPalette::Dark);
    setWidget(imageLabel);
    imageLabel->installEventFilter(this);
}

void DisplayWidget::setListModel(BadpixelListModel* model)
{
    listModel = model;
}

void DisplayWidget::setImage(QImage frame)
{
    image = std::move(frame);
    redrawImage();
}

void DisplayWidget::redrawImage()
{
    if (image.isNull())
        return;
    QSize size = scaledSize();
    if (size.width() > QWIDGETSIZE_MAX || size.height() > QWIDGETSIZE_MAX) {
        while (size.width() > QWIDGETSIZE_MAX || size.height() > QWIDGETSIZE_MAX) {
            scale /= 2;
            size = scaledSize();
        }
        emit scaleChanged(scale);
    }
    showing = true;
    // Resizing the label moves the scroll bars before the visible part is
    // taken. It is drawn now, while the frame's buffer is still held.
    imageLabel->resize(size);
    render(visibleArea());
    imageLabel->update();
}

void DisplayWidget::clear()
{
    showing = false;
    imageLabel->update();
}

void DisplayWidget::setHighlight(bool enabled)
{
    highlight = enabled;
}

void DisplayWidget::setScale(double newScale)
{
    scale = newScale;
}

void DisplayWidget::updateMagnifierPosition(QPoint pos)
{
    magnifierPos = pos;
}

void DisplayWidget::setSelectionModel(QItemSelectionModel* newSelectionModel)
{
    selectionModel = newSelectionModel;
}

void DisplayWidget::setCandidates(QVector<QPoint> positions)
{
    candidates = std::move(positions);
    redrawImage();
}

QSize DisplayWidget::scaledSize() const
{
    const QSize target =
        scale == 0 ? QSize(width() - 2, height() - 2)
                   : QSize(scaledLength(image.width(), scale), scaledLength(image.height(), scale));
    // As QImage::scaled: nothing for an empty target, else at least 1 x 1.
    if (target.isEmpty())
        return QSize(0, 0);
    const QSize fitted = image.size().scaled(target, Qt::KeepAspectRatio);
    return QSize(std::max(fitted.width(), 1), std::max(fitted.height(), 1));
}

QRect DisplayWidget::visibleArea() const
{
    return QRect(-imageLabel->pos(), viewport()->size()) & imageLabel->rect();
}

void DisplayWidget::render(QRect area)
{
    collectMarkers();
    renderer.render(image, imageLabel->size(), area, overlay);
}

// Each set of markers is a stamp per position, drawn in the order collected;
// the selection ring comes last, over every marker.
void DisplayWidget::collectMarkers()
{
    overlay.markers.clear();
    overlay.inFramePixels = scale >= 1.0;
    // Below 1:1 the crosshair would hide the pixels it points at.
    overlay.crosshair = highlight && scale >= 1.0 ? magnifierPos : QPoint(-1, -1);
    // Under the list's markers, so that only the candidates not listed yet show their colour.
    for (const QPoint& position : qAsConst(candidates))
        overlay.markers.push_back({position, &candidateMarker});
    if (!highlight || !listModel)
        return;
    const int count = listModel->rowCount();
    for (int row = 0; row < count; ++row) {
        const Badpixel entry = listModel->badpixelAt(row);
        const MarkerStamp* stamp = entry.pixelclass == Factory ? &factoryMarker
                                   : entry.isUser()            ? &userMarker
                                                               : &otherMarker;
        overlay.markers.push_back({QPoint(entry.x, entry.y), stamp});
    }
    if (!selectionModel)
        return;
    const QModelIndexList selected = selectionModel->selectedIndexes();
    if (selected.isEmpty() || !selected.first().isValid() || selected.first().row() >= count)
        return;
    const Badpixel entry = listModel->badpixelAt(selected.first().row());
    overlay.markers.push_back({QPoint(entry.x, entry.y), &selectionRing});
}

bool DisplayWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != imageLabel || event->type() != QEvent::Paint || !showing || image.isNull())
        return QScrollArea::eventFilter(watched, event);
    // A scroll or a grab can expose more than the last frame drew.
    const QRect exposed = static_cast<QPaintEvent*>(event)->rect();
    if (!renderer.covers(exposed))
        render((visibleArea() | exposed) & imageLabel->rect());
    QPainter painter(imageLabel);
    painter.drawImage(exposed.topLeft(), renderer.canvas(), exposed.translated(-renderer.origin()));
    return true;
}

QPoint DisplayWidget::imagePosition(QPoint labelPosition) const
{
    if (scale > 0)
        return QPoint(static_cast<int>(labelPosition.x() / scale),
                      static_cast<int>(labelPosition.y() / scale));
    // Fit mode: the label stretches the frame to its own size, so the ratio
    // of the two sizes is the scale shown, per axis.
    const QSize shown = imageLabel->size();
    if (image.isNull() || shown.isEmpty())
        return labelPosition;
    return QPoint(static_cast<int>(qint64(labelPosition.x()) * image.width() / shown.width()),
                  static_cast<int>(qint64(labelPosition.y()) * image.height() / shown.height()));
}

void DisplayWidget::mousePressEvent(QMouseEvent* event)
{
    // Checked first: a press while dragging only restarts the drag.
    if (event->buttons() & Qt::RightButton) {
        dragStart = event->pos();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        QScrollArea::mousePressEvent(event);
        return;
    }

    const QPoint position = imagePosition(imageLabel->mapFrom(viewport(), event->pos()));
    const QModelIndex hit = listModel
                                ? listModel->findBadpixel(position.x(), position.y(), hitDistance)
                                : QModelIndex();
    if (hit.isValid()) {
        if (selectionModel)
            selectionModel->select(hit,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return;
    }
    if (selectionModel)
        selectionModel->select(QModelIndex(), QItemSelectionModel::Clear);
    emit positionClicked(position);
}

void DisplayWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::RightButton)) {
        QScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = dragStart - event->pos();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + delta.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + delta.y());
    dragStart = event->pos();
}

void DisplayWidget::keyPressEvent(QKeyEvent* event)
{
    // Keys belong to the main window, which hands them to the magnifier; the
    // arrows must not scroll the view.
    event->ignore();
}
