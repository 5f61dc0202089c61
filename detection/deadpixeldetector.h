#pragma once

#include "badpixeldetector.h"

#include <cstdint>

// Finds dead and dim pixels on an evenly lit sensor: every pixel whose averaged value lies more
// than the threshold below the mean of its own plane.
class DeadpixelDetector : public BadpixelDetector
{
    Q_OBJECT

public:
    explicit DeadpixelDetector(uint32_t threshold, QObject* parent = nullptr);

    // Averages the frames and adds the dim positions to the list as user entries, in the order
    // and with the checks of the hot pixel detection.
    void findHotpixels(BadpixelListModel* list) override;

protected:
    uint32_t deviation(uint32_t cell, uint32_t mean) const override;
    uint32_t largestDeviation(const PlaneSummary& summary, uint32_t row,
                              uint32_t mean) const override;
};
