#include "hotpixeldetector.h"

#include "badpixellistmodel.h"

#include <QPoint>

namespace {

using Plane = BadpixelDetector::Plane;

// Adds the position of every cell above the limit; it is walked over one plane row at a time.
class AddHotpixelIterator final : public Plane::Iterator
{
public:
    AddHotpixelIterator(BadpixelListModel& list, uint32_t limit, const PixelPattern& pattern)
        : list(list)
        , limit(limit)
        , pattern(pattern)
    {}

    void startRow(uint32_t row)
    {
        x = pattern.pixelX(0);
        y = pattern.pixelY(row);
    }

    void visit(uint32_t& cell) override
    {
        if (cell > limit)
            list.addBadpixel(QPoint(x, y));
        x += pattern.stepX;
    }

private:
    BadpixelListModel& list;
    uint32_t limit;
    const PixelPattern& pattern;
    int x = 0;
    int y = 0;
};

} // namespace

HotpixelDetector::HotpixelDetector(uint32_t threshold, QObject* parent)
    : BadpixelDetector(threshold, parent)
{}

void HotpixelDetector::findHotpixels(BadpixelListModel* list)
{
    accumulateOrFinish();
    if (colorMode == colorModeMono8) {
        addHotpixels(*list, *monoPlane, monoPattern, monoSummary);
    } else {
        for (size_t k = 0; k < bayerPlanes.size(); ++k)
            addHotpixels(*list, *bayerPlanes[k], bayerPatterns[k], bayerSummaries[k]);
    }
    emit detectionFinished();
}

void HotpixelDetector::addHotpixels(BadpixelListModel& list, Plane& plane,
                                    const PixelPattern& pattern, const PlaneSummary& summary) const
{
    // Unsigned: a threshold near 2^32 wraps the limit below the mean.
    const uint32_t limit = planeMean(plane, summary) + threshold;
    AddHotpixelIterator add(list, limit, pattern);
    for (uint32_t row = 0; row < plane.rows(); ++row) {
        // A row whose largest cell is not above the limit holds no hot pixel.
        if (summary.rowMaximum[row] > limit) {
            add.startRow(row);
            plane.iterateRow(row, add);
        }
    }
}

uint32_t HotpixelDetector::deviation(uint32_t cell, uint32_t mean) const
{
    return cell > mean ? cell - mean : 0;
}

uint32_t HotpixelDetector::largestDeviation(const PlaneSummary& summary, uint32_t row,
                                            uint32_t mean) const
{
    return deviation(summary.rowMaximum[row], mean);
}
