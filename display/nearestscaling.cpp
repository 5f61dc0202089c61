#include "nearestscaling.h"

#include <QtMath>

namespace {

// The raster engine steps through the source in 16.16 fixed point only while
// the scaled image stays below 2^15 pixels and the factor below 512.
constexpr int fixedPointLimit = 0x7fff;
constexpr double factorLimit = 512;

} // namespace

NearestScaling::NearestScaling(int sourceLength, int scaledLength)
    : sourceLength(sourceLength)
    , scaledLength(scaledLength)
    , exact(scaledLength > fixedPointLimit || double(scaledLength) / sourceLength >= factorLimit)
{
    if (exact)
        return;
    // The same floating point expressions as the raster engine's, in its
    // order: the scaling factor, the target width it gives, its inverse.
    const double factor = double(scaledLength) / sourceLength;
    const double target = sourceLength * factor;
    const double inverse = sourceLength / target;
    step = quint32(int(0x00010000 * inverse));
    start = quint32(qCeil(0.5 * inverse * 65536) - 1);
}
