#include "cameraconfig.h"

namespace kivo {

namespace {

// A fixed factor between 1.2 and 3.0 per position, so that a pixel keeps its
// brightness across runs and worlds.
float strengthAt(PixelPos p)
{
    uint32_t h = (uint32_t(p.x) << 16) ^ p.y;
    h ^= h >> 16;
    h *= 0x7feb352dU;
    h ^= h >> 15;
    h *= 0x846ca68bU;
    h ^= h >> 16;
    return 1.2f + 1.8f * float(h & 0xffff) / 65535.0f;
}

} // namespace

std::vector<HotPixel> CameraConfig::trueHotPixels() const
{
    std::vector<HotPixel> result;
    result.reserve(factoryList.size() + userList.size() + unlistedHotPixels.size());
    for (const PixelList* list : {&factoryList, &userList, &unlistedHotPixels}) {
        for (PixelPos p : *list)
            result.push_back({p.x, p.y, strengthAt(p)});
    }
    return result;
}

} // namespace kivo
