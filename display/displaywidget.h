#pragma once

#include "markerstamp.h"
#include "viewportrenderer.h"

#include <QImage>
#include <QPoint>
#include <QScrollArea>
#include <QVector>

class BadpixelListModel;
class QItemSelectionModel;
class QKeyEvent;
class QLabel;
class QMouseEvent;

// The live image view: the latest frame, scaled or fitted to the window, with
// markers for the hot pixel list, a ring around the selected entry and the
// magnifier's crosshair. The image label has the scaled frame's size, but
// only the part the viewport shows is ever drawn. From 1:1 up the markers are
// drawn into the frame before scaling and grow with it; below 1:1 and in fit
// mode they keep their size on the screen, so that none disappears.
class DisplayWidget : public QScrollArea
{
    Q_OBJECT

public:
    explicit DisplayWidget(QWidget* parent = nullptr);

    // Not owned; the main window sets it before the first frame or click.
    void setListModel(BadpixelListModel* model);

    // Shows the drawn frame, at the scaled frame's size. The main window hides
    // it while no camera is open.
    QLabel* const imageLabel;

signals:
    // A left click that hit no listed hot pixel, in image pixel coordinates.
    void positionClicked(QPoint position);
    // Only when the scaled frame was too large to show and the scale was halved.
    void scaleChanged(double scale);

public slots:
    void setImage(QImage image);
    void redrawImage();
    // Blanks the view but keeps the frame for a later redrawImage().
    void clear();
    void setHighlight(bool enabled);
    // 0 fits the frame into the widget.
    void setScale(double scale);
    // (-1, -1) hides the crosshair.
    void updateMagnifierPosition(QPoint pos);
    void setSelectionModel(QItemSelectionModel* selectionModel);
    // Positions a detection offers for the list, marked in a colour of their own whether or not
    // the list's markers are shown; empty removes them.
    void setCandidates(QVector<QPoint> positions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSize scaledSize() const;
    QRect visibleArea() const;
    void render(QRect area);
    void collectMarkers();
    QPoint imagePosition(QPoint labelPosition) const;

    QImage image;
    BadpixelListModel* listModel = nullptr;
    bool highlight = false;
    QItemSelectionModel* selectionModel = nullptr;
    QPoint dragStart;
    QPoint magnifierPos{-1, -1};
    QVector<QPoint> candidates;
    double scale = 1.0;

    // Whether the label shows the frame; clear() blanks it.
    bool showing = false;
    const MarkerStamp factoryMarker{Qt::yellow, 9, 1};
    const MarkerStamp userMarker{Qt::green, 9, 1};
    const MarkerStamp otherMarker{Qt::red, 9, 1};
    const MarkerStamp selectionRing{Qt::blue, 13, 3};
    const MarkerStamp candidateMarker{Qt::magenta, 9, 1};
    ViewportRenderer::Overlay overlay;
    ViewportRenderer renderer;
};
