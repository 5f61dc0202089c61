#include "deviationhistogram.h"

#include <numeric>

DeviationHistogram::DeviationHistogram(const std::vector<uint32_t>& planeSizes, int bulkLimit,
                                       const std::vector<BadpixelDetector::DeviantPixel>& pixels)
    : limit(bulkLimit)
    , planeCounts(planeSizes.size() + 1, Bins{})
    , planeAbove(planeSizes.size() + 1, Bins{})
    , planeBulk(planeSizes.size() + 1, 0)
{
    for (const BadpixelDetector::DeviantPixel& pixel : pixels) {
        ++planeCounts[0][pixel.deviation];
        ++planeCounts[size_t(pixel.plane) + 1][pixel.deviation];
    }
    for (size_t p = 0; p < planeCounts.size(); ++p) {
        // above[t] counts the deviations t + 1 to 255.
        for (int t = bins - 1; t >= 0; --t)
            planeAbove[p][size_t(t)] = planeAbove[p][size_t(t) + 1] + planeCounts[p][size_t(t) + 1];
        const uint64_t size =
            p == 0 ? std::accumulate(planeSizes.cbegin(), planeSizes.cend(), uint64_t(0))
                   : planeSizes[p - 1];
        planeBulk[p] = size - planeAbove[p][size_t(limit)];
    }
}

const DeviationHistogram::Bins& DeviationHistogram::countsOf(int plane) const
{
    return planeCounts.at(size_t(plane + 1));
}

const DeviationHistogram::Bins& DeviationHistogram::aboveOf(int plane) const
{
    return planeAbove.at(size_t(plane + 1));
}

uint64_t DeviationHistogram::count(int plane, int deviation) const
{
    return deviation > limit && deviation < bins ? countsOf(plane)[size_t(deviation)] : 0;
}

uint64_t DeviationHistogram::bulk(int plane) const
{
    return planeBulk.at(size_t(plane + 1));
}

uint64_t DeviationHistogram::above(int plane, int threshold) const
{
    return threshold < bins ? aboveOf(plane)[size_t(threshold)] : 0;
}
