#include "numericfeature.h"

#include "genicamerror.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace genicam {

NumericFeature::NumericFeature(ArvCamera* arvCamera, std::initializer_list<const char*> names)
    : camera(arvCamera)
{
    ArvDevice* device = arv_camera_get_device(camera);
    for (const char* candidate : names) {
        ArvGcNode* node = arv_device_get_feature(device, candidate);
        if (node && arv_camera_is_feature_available(camera, candidate, nullptr)) {
            name = candidate;
            isFloat = ARV_IS_GC_FLOAT(node);
            return;
        }
    }
}

void NumericFeature::requireExists() const
{
    if (!exists())
        throw GenicamError("The camera has no such setting.");
}

std::pair<double, double> NumericFeature::bounds() const
{
    requireExists();
    GError* error = nullptr;
    double low = 0.0;
    double high = 0.0;
    if (isFloat) {
        arv_camera_get_float_bounds(camera, name.c_str(), &low, &high, &error);
    } else {
        gint64 a = 0;
        gint64 b = 0;
        arv_camera_get_integer_bounds(camera, name.c_str(), &a, &b, &error);
        low = double(a);
        high = double(b);
    }
    GenicamError::check(error, "Reading the range of " + name);
    return {low, high};
}

double NumericFeature::increment() const
{
    requireExists();
    GError* error = nullptr;
    const double step =
        isFloat ? arv_camera_get_float_increment(camera, name.c_str(), &error)
                : double(arv_camera_get_integer_increment(camera, name.c_str(), &error));
    if (error) {
        // A float feature need not have a step.
        g_error_free(error);
        return 0.0;
    }
    // Aravis answers the smallest double for a float feature without a step.
    return step > DBL_EPSILON ? step : 0.0;
}

double NumericFeature::value() const
{
    requireExists();
    GError* error = nullptr;
    const double v = isFloat ? arv_camera_get_float(camera, name.c_str(), &error)
                             : double(arv_camera_get_integer(camera, name.c_str(), &error));
    GenicamError::check(error, "Reading " + name);
    return v;
}

double NumericFeature::set(double wanted) const
{
    const auto [low, high] = bounds();
    const double clamped = std::clamp(wanted, low, high);
    GError* error = nullptr;
    if (isFloat)
        arv_camera_set_float(camera, name.c_str(), clamped, &error);
    else
        arv_camera_set_integer(camera, name.c_str(), gint64(std::llround(clamped)), &error);
    GenicamError::check(error, "Setting " + name);
    return value();
}

} // namespace genicam
