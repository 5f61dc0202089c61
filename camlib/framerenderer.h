#pragma once

#include "cameraconfig.h"

#include <cstdint>
#include <vector>

namespace kivo {

// Everything one frame depends on; positions are sensor coordinates.
struct FrameRequest
{
    int areaX = 0;
    int areaY = 0;
    int width = 0;
    int height = 0;
    int colorMode = 11;
    bool bayerSensor = true;
    bool covered = false;
    double exposureMs = 10.0;
    int masterGain = 0;
    int redGain = 0;
    int greenGain = 0;
    int blueGain = 0;
    uint64_t frameNumber = 0;
    const std::vector<HotPixel>* hotPixels = nullptr;
    // Listed hot pixels that the correction replaces by the mean of their
    // nearest neighbours of the same colour.
    const PixelList* corrected = nullptr;
};

// Draws simulated sensor frames: a dark level with temporal read noise when
// covered, otherwise a test chart moving two pixels per frame, with the hot
// pixels on top, whose dark signal grows with exposure and gain. The scene is drawn once per
// setting and scrolled; noise comes from fixed tables, so a frame costs about two passes over its
// bytes.
class FrameRenderer
{
public:
    static int bitsPerPixel(int colorMode) { return colorMode == 0 ? 32 : 8; }

    // out holds width x height pixels of bitsPerPixel(colorMode).
    void render(const FrameRequest& request, uint8_t* out);

private:
    struct SceneKey
    {
        int areaX = -1;
        int areaY = -1;
        int width = 0;
        int height = 0;
        int colorMode = -1;
        bool bayerSensor = false;
        bool covered = false;
        double exposureMs = -1.0;
        int gains[4] = {-1, -1, -1, -1};

        bool operator==(const SceneKey& other) const;
    };

    static SceneKey keyOf(const FrameRequest& request);
    void buildScene(const FrameRequest& request);
    void addHotPixels(const FrameRequest& request, uint8_t* out) const;
    void correct(const FrameRequest& request, uint8_t* out) const;

    SceneKey key;
    std::vector<uint8_t> scene;
    size_t sceneStride = 0;
};

} // namespace kivo
