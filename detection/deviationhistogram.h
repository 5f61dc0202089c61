#pragma once

#include "badpixeldetector.h"

#include <array>
#include <cstdint>
#include <vector>

// How many pixels lie how many grey levels beyond their plane's mean, per plane and for all planes
// together, with the counts above every threshold summed up front so that a threshold change is a
// look-up. Deviations up to the bulk limit are known only as one count: finding them one by one
// would cost a walk over every pixel.
class DeviationHistogram
{
public:
    static constexpr int bins = 256;
    static constexpr int allPlanes = -1;

    DeviationHistogram() = default;
    // planeSizes: the cells of each plane; pixels: those beyond the bulk limit.
    DeviationHistogram(const std::vector<uint32_t>& planeSizes, int bulkLimit,
                       const std::vector<BadpixelDetector::DeviantPixel>& pixels);

    int planes() const { return int(planeCounts.size()); }
    int bulkLimit() const { return limit; }
    // Pixels exactly deviation grey levels beyond the mean, for deviations above the bulk limit.
    uint64_t count(int plane, int deviation) const;
    // Pixels at most the bulk limit beyond the mean, or on its other side.
    uint64_t bulk(int plane) const;
    // Pixels more than threshold grey levels beyond the mean; the threshold must not be below the
    // bulk limit.
    uint64_t above(int plane, int threshold) const;

private:
    using Bins = std::array<uint64_t, bins + 1>;

    const Bins& countsOf(int plane) const;
    const Bins& aboveOf(int plane) const;

    int limit = 0;
    // Index 0 for all planes, then plane k at k + 1.
    std::vector<Bins> planeCounts;
    std::vector<Bins> planeAbove;
    std::vector<uint64_t> planeBulk;
};
