#pragma once

#include "badpixeldetector.h"

#include <cstdint>

// Finds hot pixels: every pixel whose averaged value lies more than the threshold above the mean
// of its own plane.
class HotpixelDetector : public BadpixelDetector
{
    Q_OBJECT

public:
    explicit HotpixelDetector(uint32_t threshold, QObject* parent = nullptr);

    // Averages the frames and adds the hot positions to the list as user entries, plane after
    // plane in pattern order and row by row within a plane. Every check comes before the first
    // addition; a failure of the averaging still emits detectionFinished() before it goes on.
    void findHotpixels(BadpixelListModel* list) override;

protected:
    uint32_t deviation(uint32_t cell, uint32_t mean) const override;
    uint32_t largestDeviation(const PlaneSummary& summary, uint32_t row,
                              uint32_t mean) const override;

private:
    void addHotpixels(BadpixelListModel& list, Plane& plane, const PixelPattern& pattern,
                      const PlaneSummary& summary) const;
};
