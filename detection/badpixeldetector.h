#pragma once

#include "matrix.h"
#include "pixelpattern.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QVector>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

class BadpixelListModel;

// Averages a few frames pixel by pixel into integer planes: one for a monochrome sensor, one per
// site of the 2x2 colour filter for a raw Bayer sensor. Which side of its plane's mean a bad pixel
// lies on is for the derived detector to say.
class BadpixelDetector : public QObject
{
    Q_OBJECT

public:
    static constexpr int colorModeMono8 = 6;
    static constexpr int colorModeBayer8 = 11;

    class ErrColorMode : public std::runtime_error
    {
    public:
        ErrColorMode();
    };

    using Plane = Matrix<uint32_t>;

    // What accumulate() notes about a plane while each row is still in cache, so that the
    // thresholding needs no second walk for the mean and can pass rows without a candidate by.
    struct PlaneSummary
    {
        uint32_t cellSum = 0; // wraps like any unsigned 32-bit sum
        std::vector<uint32_t> rowMinimum;
        std::vector<uint32_t> rowMaximum;

        void noteRow(uint32_t row, uint32_t sum, uint32_t minimum, uint32_t maximum);
    };

    // A pixel lying more than some threshold beyond its plane's mean.
    struct DeviantPixel
    {
        QPoint position;
        uint8_t plane;
        uint8_t deviation; // grey levels beyond the mean
    };

    explicit BadpixelDetector(uint32_t threshold, QObject* parent = nullptr);
    ~BadpixelDetector() override;

    // The frames stay the caller's; they must live and stay unchanged until the detection pass
    // has returned.
    void setSource(int colorMode, const QVector<QImage>* images);
    // Builds the averaged planes of the current colour mode, replacing earlier ones.
    void accumulate();
    // The detection pass: adds every position it finds to the list.
    virtual void findHotpixels(BadpixelListModel* list) = 0;

    // After accumulate(): the pixels more than threshold grey levels beyond their plane's mean, in
    // the order a detection adds them: plane after plane in pattern order, row by row.
    std::vector<DeviantPixel> deviantPixels(uint32_t threshold) const;
    // How far the pixel lies beyond its plane's mean, 0 for one on the other side; -1 where no
    // plane holds the pixel (the last column or row of an odd-sized Bayer frame).
    int deviationAt(QPoint position) const;
    // Cells of each plane, in pattern order.
    std::vector<uint32_t> planeSizes() const;

signals:
    void detectionFinished();

protected:
    // Grey levels that a cell lies beyond the mean on the detector's side, 0 on the other.
    virtual uint32_t deviation(uint32_t cell, uint32_t mean) const = 0;
    // The largest deviation of a plane row, from its summary.
    virtual uint32_t largestDeviation(const PlaneSummary& summary, uint32_t row,
                                      uint32_t mean) const = 0;
    // The mean of a plane's cells, both the sum and the count unsigned 32-bit, the remainder
    // dropped.
    static uint32_t planeMean(const Plane& plane, const PlaneSummary& summary);
    // Runs accumulate(); a failure still emits detectionFinished() before it goes on.
    void accumulateOrFinish();
    void addDeviantPixels(BadpixelListModel& list, uint32_t threshold) const;

    struct AccumulatedPlane
    {
        const Plane& plane;
        const PixelPattern& pattern;
        const PlaneSummary& summary;
    };
    // The planes of the current colour mode that accumulate() built, in pattern order.
    std::vector<AccumulatedPlane> accumulatedPlanes() const;

    int colorMode = colorModeBayer8;
    const QVector<QImage>* images = nullptr;
    std::unique_ptr<Plane> monoPlane;
    std::array<std::unique_ptr<Plane>, 4> bayerPlanes;
    const PixelPattern monoPattern{0, 0, 1, 1};
    // Even column/even row ("R"), even column/odd row and odd column/even row (the two "G" sites,
    // kept apart) and odd column/odd row ("B").
    const std::array<PixelPattern, 4> bayerPatterns{
        {{0, 0, 2, 2}, {0, 1, 2, 2}, {1, 0, 2, 2}, {1, 1, 2, 2}}};
    const uint32_t threshold;
    PlaneSummary monoSummary;
    std::array<PlaneSummary, 4> bayerSummaries;
};
