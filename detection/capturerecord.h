#pragma once

// What a detection run looked for and the camera settings its frames were taken with: hot pixels
// depend on both the exposure time and the gain.
struct CaptureRecord
{
    enum class Mode {
        HotPixels,  // sensor covered, pixels above their plane's mean
        DeadPixels, // sensor evenly lit, pixels below their plane's mean
    };

    Mode mode = Mode::HotPixels;
    double exposureMs = 0;
    int gain = 0;
    int frames = 0;
};
