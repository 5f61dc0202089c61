#include "sensortiming.h"

#include <algorithm>
#include <cmath>

namespace kivo {

SensorTiming::SensorTiming(const CameraConfig& config, int areaWidth, int areaHeight,
                           int pixelClockMHz)
{
    const double clock = double(pixelClockMHz) * 1e6;
    lineTime = double(areaWidth + config.lineOverheadClocks) / clock;
    minTime = lineTime * double(areaHeight + config.frameOverheadLines);
    if (config.maxFps > 0.0)
        minTime = std::max(minTime, 1.0 / config.maxFps);
    // The frame counter runs on the pixel clock, so a faster clock shortens
    // the longest frame it can count.
    maxTime = std::max(minTime, double(config.maxFrameClocks) / clock);
}

double SensorTiming::snapFrameTime(double seconds) const
{
    const double t = std::clamp(seconds, minTime, maxTime);
    const double steps = std::round((t - minTime) / lineTime);
    return std::min(minTime + steps * lineTime, maxTime);
}

double SensorTiming::maxExposure(double frameTime) const
{
    // The sensor needs one line to read out after the exposure.
    return std::max(minExposure(), (frameTime - lineTime) * 1000.0);
}

double SensorTiming::snapExposure(double ms, double frameTime) const
{
    const double low = minExposure();
    const double high = maxExposure(frameTime);
    const double clamped = std::clamp(ms, low, high);
    const double steps = std::floor((clamped - low) / exposureStep() + 0.5);
    return std::min(low + steps * exposureStep(), high);
}

} // namespace kivo
