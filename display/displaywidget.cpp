#include "displaywidget.h"

#include "badpixellistmodel.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPixmap>
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
    imageLabel->setScaledContents(true);
    setBackgroundRole(QPalette::Dark);
    setWidget(imageLabel);
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
    QImage canvas = image.convertToFormat(QImage::Format_RGB32);
    if (canvas.isNull())
        return;
    if (highlight)
        paintOverlay(canvas);

    QImage scaled = scaledForView(canvas);
    // In fit mode a null result only means a widget too small to show
    // anything; halving 0 would change nothing.
    if (scaled.isNull() && scale > 0) {
        scale /= 2;
        scaled = scaledForView(canvas);
        emit scaleChanged(scale);
    }
    imageLabel->setPixmap(QPixmap::fromImage(std::move(scaled)));
    imageLabel->adjustSize();
}

void DisplayWidget::clear()
{
    imageLabel->clear();
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

void DisplayWidget::paintOverlay(QImage& canvas) const
{
    QPainter painter(&canvas);
    // Below 1:1 the crosshair would hide the pixels it points at.
    if (scale >= 1.0 && magnifierPos.x() != -1 && magnifierPos.y() != -1) {
        painter.setPen(QPen(Qt::red, 1));
        painter.setOpacity(0.3);
        painter.drawLine(magnifierPos.x(), 0, magnifierPos.x(), canvas.height());
        painter.drawLine(0, magnifierPos.y(), canvas.width(), magnifierPos.y());
        painter.setOpacity(1.0);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    if (!listModel)
        return;

    // Built once per frame: a QPen allocates, and a list can hold thousands.
    const QPen factoryPen(Qt::yellow, 1);
    const QPen userPen(Qt::green, 1);
    const QPen otherPen(Qt::red, 1);
    const int count = listModel->rowCount();
    for (int row = 0; row < count; ++row) {
        const Badpixel entry = listModel->badpixelAt(row);
        painter.setPen(entry.pixelclass == Factory ? factoryPen
                       : entry.isUser()            ? userPen
                                                   : otherPen);
        painter.drawEllipse(entry.x - 4, entry.y - 4, 9, 9);
    }

    if (!selectionModel)
        return;
    const QModelIndexList selected = selectionModel->selectedIndexes();
    if (selected.isEmpty() || !selected.first().isValid() || selected.first().row() >= count)
        return;
    const Badpixel entry = listModel->badpixelAt(selected.first().row());
    painter.setPen(QPen(Qt::blue, 3));
    painter.drawEllipse(entry.x - 6, entry.y - 6, 13, 13);
}

QImage DisplayWidget::scaledForView(const QImage& painted) const
{
    const QSize target = scale == 0 ? QSize(width() - 2, height() - 2)
                                    : QSize(scaledLength(painted.width(), scale),
                                            scaledLength(painted.height(), scale));
    return painted.scaled(target, Qt::KeepAspectRatio, Qt::FastTransformation);
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
