#pragma once

#include <QImage>
#include <QLabel>
#include <QPoint>
#include <QString>

class QKeyEvent;
class QMouseEvent;

// An enlarged neighbourhood of one focus pixel of the live frame, each frame
// pixel drawn as a zoom x zoom square, with a frame around the focus pixel.
// Keys and clicks do not move the focus pixel: they ask for a new one through
// changePosition, and the answer comes back through setPosition.
class Magnifier : public QLabel
{
    Q_OBJECT

public:
    explicit Magnifier(QWidget* parent = nullptr);

    int zoomFactor() const { return zoom; }

signals:
    // Bayer site ("R", "G" or "B") and 8-bit value of the focus pixel.
    void pixelInfoChanged(QString bayerColor, int value);
    void changePosition(QPoint position);

public slots:
    // Keeps the frame as received; it must stay valid until the next frame or
    // clear(), as the camera's frames do while it is open.
    void setImage(QImage& image);
    // Blanks the view and lets go of the frame.
    void clear();
    void setPosition(QPoint position);
    void setZoom(int zoom);
    void redrawImage();

    // Public, because the main window hands on the keys that reach it.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* ev) override;

private:
    void drawFocusFrame(QImage& enlarged) const;

    QPoint position;
    // As received: only the shown neighbourhood is ever converted.
    QImage image;
    int zoom = 20;
};
