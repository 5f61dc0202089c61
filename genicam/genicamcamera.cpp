#include "genicamcamera.h"

#include "genicamerror.h"

namespace genicam {

namespace {

// The 8-bit raw formats the program shows, Bayer mosaics in the order tried.
constexpr const char* bayerFormats[] = {"BayerRG8", "BayerGR8", "BayerGB8", "BayerBG8"};
constexpr const char* monoFormat = "Mono8";

GObjectPtr<ArvCamera> cameraOver(GObjectPtr<ArvDevice> device, const std::string& serial)
{
    if (ARV_IS_GV_DEVICE(device.get()) && !arv_gv_device_is_controller(ARV_GV_DEVICE(device.get())))
        throw GenicamError("Camera " + serial + " is in use by another program.");
    GError* error = nullptr;
    // The camera takes its own reference to the device.
    GObjectPtr<ArvCamera> camera(arv_camera_new_with_device(device.get(), &error));
    GenicamError::check(error, "Camera " + serial + " could not be opened");
    if (!camera)
        throw GenicamError("Camera " + serial + " could not be opened.");
    return camera;
}

} // namespace

GenicamCamera::GenicamCamera(GObjectPtr<ArvDevice> device, const std::string& serial)
    : camera(cameraOver(std::move(device), serial))
    , rate(camera.get(), {"AcquisitionFrameRate", "AcquisitionFrameRateAbs"})
    , exposureTime(camera.get(), {"ExposureTime", "ExposureTimeAbs"})
    , gainFeature(camera.get(), {"Gain", "GainRaw"})
    , table(DefectTable::find(camera.get()))
{}

std::string GenicamCamera::text(const char* feature) const
{
    if (!arv_camera_is_feature_available(camera.get(), feature, nullptr))
        return {};
    GError* error = nullptr;
    const char* value = arv_camera_get_string(camera.get(), feature, &error);
    if (error) {
        g_error_free(error);
        return {};
    }
    return value ? value : "";
}

std::string GenicamCamera::model() const
{
    // Aravis knows the older feature names as well.
    const char* name = arv_camera_get_model_name(camera.get(), nullptr);
    return name ? name : "";
}

std::string GenicamCamera::serial() const
{
    const char* number = arv_camera_get_device_serial_number(camera.get(), nullptr);
    return number ? number : "";
}

std::string GenicamCamera::version() const
{
    return text("DeviceVersion");
}

std::pair<int, int> GenicamCamera::maxSize() const
{
    GError* error = nullptr;
    gint minimum = 0;
    gint width = 0;
    gint height = 0;
    arv_camera_get_width_bounds(camera.get(), &minimum, &width, &error);
    if (!error)
        arv_camera_get_height_bounds(camera.get(), &minimum, &height, &error);
    GenicamError::check(error, "Reading the image size");
    return {width, height};
}

bool GenicamCamera::offersBayer() const
{
    for (const char* format : bayerFormats) {
        if (arv_camera_is_enumeration_entry_available(camera.get(), "PixelFormat", format, nullptr))
            return true;
    }
    return false;
}

bool GenicamCamera::selectFormat(bool bayerWanted)
{
    auto offered = [this](const char* format) {
        return arv_camera_is_enumeration_entry_available(camera.get(), "PixelFormat", format,
                                                         nullptr) != FALSE;
    };
    const char* chosen = nullptr;
    if (bayerWanted) {
        for (const char* format : bayerFormats) {
            if (offered(format)) {
                chosen = format;
                break;
            }
        }
    }
    if (!chosen && offered(monoFormat))
        chosen = monoFormat;
    if (!chosen)
        throw GenicamError("The camera offers neither Mono8 nor an 8-bit Bayer format.");
    GError* error = nullptr;
    arv_camera_set_pixel_format_from_string(camera.get(), chosen, &error);
    GenicamError::check(error, std::string("Selecting ") + chosen);
    return chosen != monoFormat;
}

void GenicamCamera::setRegion(int x, int y, int width, int height)
{
    GError* error = nullptr;
    arv_camera_set_region(camera.get(), x, y, width, height, &error);
    GenicamError::check(error, "Setting the image area");
    gint readX = 0;
    gint readY = 0;
    gint readWidth = 0;
    gint readHeight = 0;
    arv_camera_get_region(camera.get(), &readX, &readY, &readWidth, &readHeight, &error);
    GenicamError::check(error, "Reading the image area");
    if (readX != x || readY != y || readWidth != width || readHeight != height)
        throw GenicamError("The camera does not take that image area.");
}

size_t GenicamCamera::payload() const
{
    GError* error = nullptr;
    const guint size = arv_camera_get_payload(camera.get(), &error);
    GenicamError::check(error, "Reading the image size");
    return size;
}

double GenicamCamera::setFrameRate(double fps)
{
    // Many cameras only keep to the rate while this is on.
    if (arv_camera_is_feature_available(camera.get(), "AcquisitionFrameRateEnable", nullptr)) {
        GError* error = nullptr;
        arv_camera_set_boolean(camera.get(), "AcquisitionFrameRateEnable", TRUE, &error);
        GenicamError::check(error, "Enabling the frame rate");
    }
    return rate.set(fps);
}

void GenicamCamera::startAcquisition()
{
    GError* error = nullptr;
    arv_camera_set_acquisition_mode(camera.get(), ARV_ACQUISITION_MODE_CONTINUOUS, &error);
    if (!error)
        arv_camera_start_acquisition(camera.get(), &error);
    GenicamError::check(error, "Starting the capture");
}

void GenicamCamera::stopAcquisition()
{
    GError* error = nullptr;
    arv_camera_stop_acquisition(camera.get(), &error);
    GenicamError::check(error, "Stopping the capture");
}

} // namespace genicam
