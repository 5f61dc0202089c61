#pragma once

#include "cameraconfig.h"

namespace kivo {

// Frame time and exposure limits of a sensor reading out an area of interest
// at a pixel clock. Frame times are in seconds, exposures in milliseconds.
class SensorTiming
{
public:
    SensorTiming(const CameraConfig& config, int areaWidth, int areaHeight, int pixelClockMHz);

    double minFrameTime() const { return minTime; }
    double maxFrameTime() const { return maxTime; }
    // One line: the step between two frame times.
    double frameTimeStep() const { return lineTime; }

    // The nearest frame time the sensor can run, within the limits.
    double snapFrameTime(double seconds) const;

    double minExposure() const { return lineTime * 1000.0; }
    double maxExposure(double frameTime) const;
    double exposureStep() const { return lineTime * 1000.0; }
    double snapExposure(double ms, double frameTime) const;

private:
    double lineTime;
    double minTime;
    double maxTime;
};

} // namespace kivo
