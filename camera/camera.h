#pragma once

#include "cameraparameter.h"
#include "eventthread.h"
#include "imagesequence.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>

// The program's one camera session. Opening a camera checks it, selects an
// 8-bit format over the full sensor, fills a ring of three buffers and
// starts capture; every frame then arrives as newImage. The session also
// passes on device arrival and removal and holds the camera's parameters.
class Camera : public QObject
{
    Q_OBJECT

public:
    explicit Camera(QObject* parent = nullptr);
    ~Camera() override;

    // Throws std::runtime_error with the message to show; a failed open
    // leaves the session closed.
    void open(uint32_t deviceId);
    // A camera the library would not release is reported as displayError.
    void close();

    bool isOpen() const { return handle != 0; }
    uint32_t cameraHandle() const { return handle; }
    QString errorText(int status) const;
    // The open camera's serial number, read at the open; empty when closed.
    QString serialNumber() const { return serial; }
    int32_t frameCount() const { return frameCounter; }
    int32_t failCount() const { return failCounter; }
    double measuredFramerate() const;
    int32_t currentColorMode() const { return colorMode; }
    bool deliversBayerMosaic() const;
    // The exposure time in ms and master gain in force, as last set or read.
    double exposureTime() const { return exposure.value; }
    int masterGain() const { return mastergain.value; }
    bool supportsCameraCorrection() const;
    // Where the open camera's user hot pixel list lives. A camera for which
    // the library offers no correction mode at all has no list of its own:
    // the program keeps it and corrects the frames. Closed, or software
    // correction only: Nowhere.
    enum class ListPlace { Nowhere, InCamera, OnHost };
    ListPlace hotpixelListPlace() const;
    // The sensor's maximum width and height from its record: 0 x 0 until a
    // record was read, the last camera's size after a close.
    QSize sensorSize() const;
    // Buffers held by the capture ring and whether the open camera's event
    // thread runs: both are gone whenever the session is closed.
    int bufferCount() const { return sequence.count(); }
    bool watchesCameraEvents() const { return cameraEvents.isRunning(); }

signals:
    // image refers to a locked ring buffer: a receiver that keeps the pixels
    // after returning must copy them.
    void newImage(QImage& image);
    void cameraOpened(Camera* camera);
    void cameraClosed();
    void cameraRemoved();
    void cameraReconnect();
    void cameraNewDevice();
    void cameraRemovedDevice();
    void displayError(QString msg, int msec = 2000);
    void pixelclockChanged(CameraParameter<int>& param);
    void framerateChanged(CameraParameter<double>& param);
    void exposureChanged(CameraParameter<double>& param);
    void mastergainChanged(CameraParameter<int>& param);

public slots:
    void setPixelclock(int value);
    void setPixelclockRelative(int value);
    void setFramerate(double value);
    void setFramerateRelative(int value);
    void setExposure(double value);
    void setExposureRelative(int value);
    void setMastergain(int value);
    // Throws std::runtime_error with the library's text on a failure.
    void updatePixelclock();
    void updateFramerate();
    void updateExposure();
    void updateMastergain();
    // Start values for the sensor from "cameraparameter.xml" in the current
    // directory, or a set-up of one frame per second when it has none.
    void setAutoConfig();
    // Throws std::runtime_error when capture cannot be restarted afterwards.
    void setBadPixelCorrection(bool enable);

protected slots:
    void eventReceived(int event);

private:
    void openSteps(uint32_t deviceId);
    // CamClose of the handle, tried a few times; the last status.
    int release();
    void deliverFrame(bool show);
    void applyFallbackConfig();
    uint16_t sensorId() const;

    EventThread deviceEvents;
    EventThread cameraEvents;
    uint32_t deviceId = 0;
    uint32_t handle = 0;
    QString serial;
    // The library's 80-byte sensor record, kept as bytes so that this header
    // does not depend on the library's.
    std::array<unsigned char, 80> sensorInfo{};
    std::array<int32_t, 4> imageArea{};
    int32_t frameCounter = 0;
    // Frame events emitted by the camera event thread and not yet handled here.
    std::atomic<int> queuedFrameEvents{0};
    int32_t failCounter = 0;
    ImageSequence sequence;
    int32_t colorMode = 11;
    QImage::Format imageFormat = QImage::Format_Invalid;
    QImage image;
    CameraParameter<int> pixelclock;
    CameraParameter<double> framerate;
    CameraParameter<double> exposure;
    CameraParameter<int> mastergain;
};
