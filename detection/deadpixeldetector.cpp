#include "deadpixeldetector.h"

DeadpixelDetector::DeadpixelDetector(uint32_t threshold, QObject* parent)
    : BadpixelDetector(threshold, parent)
{}

void DeadpixelDetector::findHotpixels(BadpixelListModel* list)
{
    accumulateOrFinish();
    addDeviantPixels(*list, threshold);
    emit detectionFinished();
}

uint32_t DeadpixelDetector::deviation(uint32_t cell, uint32_t mean) const
{
    return mean > cell ? mean - cell : 0;
}

uint32_t DeadpixelDetector::largestDeviation(const PlaneSummary& summary, uint32_t row,
                                             uint32_t mean) const
{
    return deviation(summary.rowMinimum[row], mean);
}
