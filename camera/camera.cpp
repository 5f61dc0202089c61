#include "camera.h"

#include "cameraparameterfile.h"
#include "kivo_api.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace {

// Process-wide: a frame that arrives while a receiver of newImage runs a
// nested event loop updates the image but is not emitted again.
bool emittingImage = false;

// Process-wide, one per parameter: a set request that arrives while the same
// parameter is being set (a widget echoing the change signal) is dropped.
bool pixelclockBusy = false;
bool framerateBusy = false;
bool exposureBusy = false;
bool mastergainBusy = false;

class FlagGuard
{
public:
    explicit FlagGuard(bool& flag)
        : flag(flag)
    {
        flag = true;
    }
    ~FlagGuard() { flag = false; }

    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag;
};

[[noreturn]] void fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}

constexpr int closeAttempts = 3;

bool positiveFinite(double value)
{
    return value > 0.0 && std::isfinite(value);
}

// 1 / value for a positive time; none where that has no finite rate.
std::optional<double> reciprocal(double value)
{
    if (!positiveFinite(value) || !std::isfinite(1.0 / value))
        return std::nullopt;
    return 1.0 / value;
}

// The step index of a relative request, (value - min) / inc truncated; none
// when the parameter has no step.
std::optional<int> stepIndex(const CameraParameter<int>& param, int value)
{
    if (param.inc == 0)
        return std::nullopt;
    const long long index = (static_cast<long long>(value) - param.min) / param.inc;
    return static_cast<int>(std::clamp<long long>(index, INT_MIN, INT_MAX));
}

std::optional<double> stepIndex(const CameraParameter<double>& param, int value)
{
    if (param.inc == 0.0)
        return std::nullopt;
    const double index = std::trunc((value - param.min) / param.inc);
    if (!std::isfinite(index))
        return std::nullopt;
    return index;
}

// Waits a short while for a stopped event thread; one that hangs in the
// library is terminated rather than blocking the GUI.
void finish(EventThread& thread)
{
    if (!thread.wait(500)) {
        thread.terminate();
        thread.wait();
    }
}

} // namespace

Camera::Camera(QObject* parent)
    : QObject(parent)
{
    connect(&deviceEvents, &EventThread::eventhappen, this, &Camera::eventReceived);
    // Counted in the event thread before the event is queued, so that a frame
    // event knows whether a newer one already waits behind it.
    connect(
        &cameraEvents, &EventThread::eventhappen, this,
        [this](int event) {
            if (event == CAM_EV_FRAME)
                ++queuedFrameEvents;
        },
        Qt::DirectConnection);
    connect(&cameraEvents, &EventThread::eventhappen, this, &Camera::eventReceived);
    deviceEvents.initEvents(0, {CAM_EV_NEW_DEVICE, CAM_EV_REMOVAL});
}

Camera::~Camera()
{
    deviceEvents.stop();
    cameraEvents.stop();
    finish(deviceEvents);
    finish(cameraEvents);
    sequence.clear();
    if (handle != 0)
        release();
}

int Camera::release()
{
    // A refused close is tried again: the library would otherwise hold the
    // camera for a handle the program no longer knows, and no later open of
    // it could succeed.
    int status = CamClose(handle);
    for (int attempt = 1; status != CAM_SUCCESS && attempt < closeAttempts; ++attempt)
        status = CamClose(handle);
    return status;
}

void Camera::open(uint32_t deviceId)
{
    close();
    try {
        openSteps(deviceId);
    } catch (...) {
        close();
        throw;
    }
}

void Camera::openSteps(uint32_t deviceId)
{
    uint32_t openHandle = deviceId | CAM_USE_DEVICE_ID;
    int status = CamOpen(&openHandle, nullptr);
    if (status == CAM_FIRMWARE_UPLOAD_NEEDED) {
        uint32_t milliseconds = 25000;
        CamDuration(openHandle, CAM_DURATION_FIRMWARE_UPLOAD, &milliseconds);
        emit displayError(
            tr("Upload of new firmware required. (approx. %1 seconds)").arg(milliseconds / 1000),
            2000);
        openHandle = deviceId | CAM_USE_DEVICE_ID | CAM_ALLOW_FIRMWARE_UPLOAD;
        status = CamOpen(&openHandle, nullptr);
    }
    if (status != CAM_SUCCESS)
        fail(tr("Could not initialize camera."));
    handle = openHandle;

    CAM_SENSOR_INFO info{};
    static_assert(sizeof info == std::tuple_size<decltype(sensorInfo)>::value);
    status = CamSensorInfo(handle, &info);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    std::memcpy(sensorInfo.data(), &info, sizeof info);

    // Read once: the window tells the open camera's row and the close command
    // by it, and a camera that could not be told apart could not be closed.
    CAM_DEVICE_INFO device{};
    status = CamDeviceInfo(handle, &device);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    const char* text = reinterpret_cast<const char*>(&device);
    serial = QString::fromLatin1(text, static_cast<int>(qstrnlen(text, sizeof device)));

    const uint16_t sensor = sensorId();
    if (sensor == 0x20B || sensor == 0x21D || sensor == 0x4D) {
        release();
        handle = 0;
        fail(tr("Unsupported camera type"));
    }

    status = CamColorMode(handle, CAM_CM_BAYER_RAW8);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    colorMode = CamColorMode(handle, CAM_GET_CURRENT);
    int32_t bitsPerPixel = 8;
    if (colorMode == CAM_CM_RGB32) {
        bitsPerPixel = 32;
        imageFormat = QImage::Format_RGB32;
    } else if (colorMode == CAM_CM_MONO8 || colorMode == CAM_CM_BAYER_RAW8) {
        imageFormat = QImage::Format_Indexed8;
    } else {
        imageFormat = QImage::Format_Invalid;
        fail(tr("Color Mode not supported."));
    }

    // The program shows the raw sensor; the camera's own correction is
    // switched on again only on request.
    CamHotPixel(handle, CAM_HP_DISABLE, nullptr, 0);

    int32_t maxSize[2] = {0, 0};
    status = CamImageArea(handle, CAM_AOI_GET_MAX_SIZE, maxSize, sizeof maxSize);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    imageArea = {0, 0, maxSize[0], maxSize[1]};
    status = CamImageArea(handle, CAM_AOI_SET, imageArea.data(),
                          static_cast<uint32_t>(sizeof(int32_t) * imageArea.size()));
    if (status != CAM_SUCCESS)
        fail(errorText(status));

    sequence.allocate(handle, 3, ImageInfo{QSize(maxSize[0], maxSize[1]), bitsPerPixel});
    // Without its events or its capture the camera would look open and never
    // show a frame.
    status = cameraEvents.initEvents(handle, {CAM_EV_FRAME, CAM_EV_DEVICE_RECONNECTED,
                                              CAM_EV_DEVICE_REMOVED, CAM_EV_CAPTURE_FAILED});
    if (status != CAM_SUCCESS)
        fail(tr("The camera's events could not be set up: %1").arg(errorText(status)));
    status = CamStartCapture(handle, 0);
    if (status != CAM_SUCCESS)
        fail(tr("Capture could not be started: %1").arg(errorText(status)));

    this->deviceId = deviceId;
    emit cameraOpened(this);

    pixelclock.value = CamPixelClock(handle, CAM_GET_DEFAULT);
    status = CamCurrentFps(handle, &framerate.value);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    status = CamExposure(handle, CAM_EXPOSURE_DEFAULT, &exposure.value);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    updatePixelclock();
    updateMastergain();

    frameCounter = 0;
    failCounter = 0;
}

void Camera::close()
{
    if (handle == 0)
        return;
    CamStopCapture(handle, 1);
    cameraEvents.stop();
    finish(cameraEvents);
    sequence.clear();
    const int status = release();
    if (status != CAM_SUCCESS)
        emit displayError(tr("The camera could not be released: %1 Restart the program to open "
                             "it again.")
                              .arg(errorText(status)),
                          5000);
    deviceId = 0;
    handle = 0;
    serial.clear();
    image = QImage();
    emit newImage(image);
    emit cameraClosed();
}

QString Camera::errorText(int /*status*/) const
{
    // The library keeps the text of the handle's last failure.
    int32_t code = 0;
    char* text = nullptr;
    if (CamLastError(handle, &code, &text) == CAM_SUCCESS && text != nullptr)
        return QString::fromLocal8Bit(text);
    return tr("Unknown error.");
}

double Camera::measuredFramerate() const
{
    double fps = 0.0;
    if (handle != 0)
        CamCurrentFps(handle, &fps);
    return fps;
}

bool Camera::supportsCameraCorrection() const
{
    uint32_t modes = 0;
    return CamHotPixel(handle, CAM_HP_GET_SUPPORTED_MODES, &modes, sizeof modes) == CAM_SUCCESS &&
           (modes & CAM_HP_MODE_CAMERA) != 0;
}

bool Camera::deliversBayerMosaic() const
{
    return colorMode == CAM_CM_BAYER_RAW8;
}

Camera::ListPlace Camera::hotpixelListPlace() const
{
    uint32_t modes = 0;
    if (!isOpen() ||
        CamHotPixel(handle, CAM_HP_GET_SUPPORTED_MODES, &modes, sizeof modes) != CAM_SUCCESS)
        return ListPlace::Nowhere;
    if (modes & CAM_HP_MODE_CAMERA)
        return ListPlace::InCamera;
    return modes == 0 ? ListPlace::OnHost : ListPlace::Nowhere;
}

QSize Camera::sensorSize() const
{
    CAM_SENSOR_INFO info;
    std::memcpy(&info, sensorInfo.data(), sizeof info);
    return QSize(static_cast<int>(info.maxWidth), static_cast<int>(info.maxHeight));
}

uint16_t Camera::sensorId() const
{
    CAM_SENSOR_INFO info;
    std::memcpy(&info, sensorInfo.data(), sizeof info);
    return info.sensorId;
}

void Camera::eventReceived(int event)
{
    switch (event) {
    case CAM_EV_FRAME: {
        // When the receivers are slower than the camera (a large zoom, say),
        // only the newest frame is shown; the ones queued before it are counted.
        const bool newerQueued = queuedFrameEvents.fetch_sub(1) > 1;
        if (isOpen())
            deliverFrame(!newerQueued);
        break;
    }
    case CAM_EV_CAPTURE_FAILED:
        ++failCounter;
        break;
    case CAM_EV_DEVICE_RECONNECTED:
        if (isOpen())
            emit cameraReconnect();
        break;
    case CAM_EV_DEVICE_REMOVED:
        if (isOpen())
            emit cameraRemoved();
        break;
    case CAM_EV_REMOVAL:
        emit cameraRemovedDevice();
        break;
    case CAM_EV_NEW_DEVICE:
        emit cameraNewDevice();
        break;
    default:
        break;
    }
}

void Camera::deliverFrame(bool show)
{
    ++frameCounter;
    if (!show)
        return;
    char* address = nullptr;
    const int status = CamRingLatest(handle, nullptr, nullptr, &address);
    if (status != CAM_SUCCESS) {
        emit displayError(errorText(status), 2000);
        return;
    }
    // A frame the camera is still writing into cannot be locked: drop it.
    if (CamRingLock(handle, -1, address) != CAM_SUCCESS)
        return;
    const int width = imageArea[2];
    const int bytesPerLine = imageFormat == QImage::Format_RGB32 ? width * 4 : width;
    image =
        QImage(reinterpret_cast<uchar*>(address), width, imageArea[3], bytesPerLine, imageFormat);
    if (!emittingImage) {
        FlagGuard emitting(emittingImage);
        emit newImage(image);
    }
    CamRingUnlock(handle, -1, address);
}

void Camera::setPixelclock(int value)
{
    if (pixelclockBusy)
        return;
    FlagGuard busy(pixelclockBusy);
    const int clamped = pixelclock.clamp(value);
    if (clamped != pixelclock.value) {
        pixelclock.value = clamped;
        emit pixelclockChanged(pixelclock);
    }
    CamPixelClock(handle, pixelclock.value);
    updateFramerate();
}

void Camera::setPixelclockRelative(int value)
{
    if (const auto index = stepIndex(pixelclock, value))
        setPixelclock(*index);
}

void Camera::setFramerate(double value)
{
    if (framerateBusy)
        return;
    FlagGuard busy(framerateBusy);
    const double clamped = framerate.clamp(value);
    if (clamped != framerate.value) {
        framerate.value = clamped;
        // The camera answers with the rate it actually runs at.
        CamFrameRate(handle, clamped, &framerate.value);
        emit framerateChanged(framerate);
    }
    updateExposure();
}

void Camera::setFramerateRelative(int value)
{
    if (const auto index = stepIndex(framerate, value))
        setFramerate(*index);
}

void Camera::setExposure(double value)
{
    if (exposureBusy)
        return;
    FlagGuard busy(exposureBusy);
    const double clamped = exposure.clamp(value);
    if (clamped != exposure.value) {
        exposure.value = clamped;
        emit exposureChanged(exposure);
    }
    CamExposure(handle, exposure.value, &exposure.value);
}

void Camera::setExposureRelative(int value)
{
    if (const auto index = stepIndex(exposure, value))
        setExposure(*index);
}

void Camera::setMastergain(int value)
{
    if (mastergainBusy)
        return;
    FlagGuard busy(mastergainBusy);
    const int clamped = mastergain.clamp(value);
    if (clamped != mastergain.value) {
        mastergain.value = clamped;
        emit mastergainChanged(mastergain);
    }
    CamGain(handle, mastergain.value, CAM_IGNORE_PARAMETER, CAM_IGNORE_PARAMETER,
            CAM_IGNORE_PARAMETER);
}

void Camera::updatePixelclock()
{
    int status = CamPixelClockRange(handle, &pixelclock.min, &pixelclock.max);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    pixelclock.inc = 1;
    status = CamPixelClock(handle, pixelclock.value);
    if (status != CAM_SUCCESS)
        fail(errorText(status));
    pixelclock.value = CamPixelClock(handle, CAM_GET_CURRENT);
    emit pixelclockChanged(pixelclock);
    updateFramerate();
}

void Camera::updateFramerate()
{
    double minTime = 1.0;
    double maxTime = 1.0;
    double interval = 1.0;
    CamFrameTimeRange(handle, &minTime, &maxTime, &interval);
    // A range the camera cannot express in frame rates keeps the last one.
    const auto fastest = reciprocal(minTime);
    const auto slowest = reciprocal(maxTime);
    if (fastest && slowest) {
        framerate.max = *fastest;
        framerate.min = *slowest;
        // The frame-rate span over the number of frame-time steps; without
        // steps the rate has no increment.
        const double steps = interval > 0.0 ? (maxTime - minTime) / interval : 0.0;
        framerate.inc = positiveFinite(steps) ? (framerate.max - framerate.min) / steps : 0.0;
    }
    CamFrameRate(handle, framerate.value, &framerate.value);
    emit framerateChanged(framerate);
    updateExposure();
}

void Camera::updateExposure()
{
    CamExposureRange(handle, &exposure.min, &exposure.max, &exposure.inc);
    double discarded = 0.0;
    CamExposure(handle, CAM_EXPOSURE_READ, &discarded);
    CamExposure(handle, exposure.value, &exposure.value);
    emit exposureChanged(exposure);
}

void Camera::updateMastergain()
{
    mastergain.value = CamGain(handle, CAM_GET_CURRENT, CAM_IGNORE_PARAMETER, CAM_IGNORE_PARAMETER,
                               CAM_IGNORE_PARAMETER);
    mastergain.min = 0;
    mastergain.max = 100;
    emit mastergainChanged(mastergain);
}

void Camera::setAutoConfig()
{
    std::optional<CameraParameterFile::StartValues> values;
    try {
        values = CameraParameterFile::read(QStringLiteral("cameraparameter.xml"), sensorId());
    } catch (const std::runtime_error& e) {
        emit displayError(QString::fromStdString(e.what()), 2000);
    }
    if (!values) {
        applyFallbackConfig();
        return;
    }
    setPixelclock(values->pixelclock);
    setFramerate(values->framerate);
    setExposure(values->exposure);
    // The camera gets the clamped master gain, the value the widgets show.
    const int master = mastergain.clamp(values->master);
    if (master != mastergain.value) {
        mastergain.value = master;
        emit mastergainChanged(mastergain);
    }
    CamGain(handle, master, values->red, values->green, values->blue);
}

void Camera::applyFallbackConfig()
{
    // Slow the pixel clock down until one frame per second is reachable.
    while (framerate.min > 1.0) {
        const int half = pixelclock.value / 2;
        if (half <= pixelclock.min || half >= pixelclock.value)
            break;
        setPixelclock(half);
        if (pixelclock.value != half)
            break;
    }
    setFramerate(1.0);
    setExposure(std::max(exposure.min, 300.0));
    setMastergain(50);
}

void Camera::setBadPixelCorrection(bool enable)
{
    CamStopCapture(handle, 1);
    const double rate = framerate.value;
    // Switching runs at the highest frame rate, then the user's rate returns.
    double minTime = 1.0;
    double maxTime = 1.0;
    double interval = 1.0;
    double scratch = 0.0;
    CamFrameTimeRange(handle, &minTime, &maxTime, &interval);
    if (const auto fastest = reciprocal(minTime))
        CamFrameRate(handle, *fastest, &scratch);
    CamHotPixel(handle, enable ? CAM_HP_ENABLE_CAMERA_CORRECTION : CAM_HP_DISABLE, nullptr, 0);
    CamFrameRate(handle, rate, &scratch);
    CamExposure(handle, exposure.value, &scratch);
    const int status = CamStartCapture(handle, 1);
    if (status != CAM_SUCCESS)
        fail(tr("Capture could not be restarted: %1").arg(errorText(status)));
}
