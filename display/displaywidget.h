#pragma once

#include <QImage>
#include <QPoint>
#include <QScrollArea>

class BadpixelListModel;
class QItemSelectionModel;
class QKeyEvent;
class QLabel;
class QMouseEvent;

// The live image view: the latest frame, scaled or fitted to the window, with
// markers for the hot pixel list, a ring around the selected entry and the
// magnifier's crosshair drawn into the frame before scaling.
class DisplayWidget : public QScrollArea
{
    Q_OBJECT

public:
    explicit DisplayWidget(QWidget* parent = nullptr);

    // Not owned; the main window sets it before the first frame or click.
    void setListModel(BadpixelListModel* model);

    // Shows the drawn frame. The main window hides it while no camera is open.
    QLabel* const imageLabel;

signals:
    // A left click that hit no listed hot pixel, in image pixel coordinates.
    void positionClicked(QPoint position);
    // Only when the scaled frame could not be allocated and the scale was halved.
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

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintOverlay(QImage& canvas) const;
    QImage scaledForView(const QImage& painted) const;
    QPoint imagePosition(QPoint labelPosition) const;

    QImage image;
    BadpixelListModel* listModel = nullptr;
    bool highlight = false;
    QItemSelectionModel* selectionModel = nullptr;
    QPoint dragStart;
    QPoint magnifierPos{-1, -1};
    double scale = 1.0;
};
