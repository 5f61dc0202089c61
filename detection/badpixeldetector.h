#pragma once

#include "matrix.h"
#include "pixelpattern.h"

#include <QImage>
#include <QObject>
#include <QVector>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

class BadpixelListModel;

// Averages a few dark frames pixel by pixel into integer planes: one for a monochrome sensor, one
// per site of the 2x2 colour filter for a raw Bayer sensor. What counts as a bad pixel in those
// planes is for the derived detector to say.
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
        std::vector<uint32_t> rowMaximum;
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

signals:
    void detectionFinished();

protected:
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
