#include "detectionevidence.h"

#include "badpixellistmodel.h"
#include "deadpixeldetector.h"
#include "hotpixeldetector.h"

#include <utility>

DetectionEvidence::DetectionEvidence(int colorMode, QVector<QImage> frames,
                                     const CaptureRecord& record)
    : images(std::move(frames))
    , capture(record)
    , detector(detectorFor(record.mode, lowestThreshold))
{
    detector->setSource(colorMode, &images);
    detector->accumulate();
    deviants = detector->deviantPixels(lowestThreshold);
    all = DeviationHistogram(detector->planeSizes(), lowestThreshold, deviants);
    listed = DeviationHistogram({0}, lowestThreshold, {});
}

DetectionEvidence::~DetectionEvidence() = default;

std::unique_ptr<BadpixelDetector> DetectionEvidence::detectorFor(CaptureRecord::Mode mode,
                                                                 uint32_t threshold)
{
    if (mode == CaptureRecord::Mode::DeadPixels)
        return std::make_unique<DeadpixelDetector>(threshold);
    return std::make_unique<HotpixelDetector>(threshold);
}

void DetectionEvidence::setListed(const QList<Badpixel>& entries)
{
    // A position held twice is refused once.
    listedPositions.clear();
    std::vector<BadpixelDetector::DeviantPixel> heldDeviants;
    for (const Badpixel& entry : entries) {
        const QPoint position(entry.x, entry.y);
        if ((entry.pixelclass != Factory && !entry.isUser()) ||
            !listedPositions.insert(uint32_t(entry.x) << 16 | entry.y).second)
            continue;
        const int deviation = detector->deviationAt(position);
        if (deviation > lowestThreshold)
            heldDeviants.push_back({position, 0, uint8_t(deviation)});
    }
    listed = DeviationHistogram({uint32_t(listedPositions.size())}, lowestThreshold, heldDeviants);
}

DetectionEvidence::CandidateCount DetectionEvidence::count(int threshold) const
{
    const uint64_t above = all.above(DeviationHistogram::allPlanes, threshold);
    return {above, above - listed.above(DeviationHistogram::allPlanes, threshold)};
}

QVector<QPoint> DetectionEvidence::newCandidates(int threshold) const
{
    QVector<QPoint> result;
    for (const BadpixelDetector::DeviantPixel& pixel : deviants) {
        const auto key = uint32_t(pixel.position.x()) << 16 | uint32_t(pixel.position.y());
        if (pixel.deviation > threshold && listedPositions.count(key) == 0)
            result.append(pixel.position);
    }
    return result;
}

void DetectionEvidence::addCandidates(BadpixelListModel& list, int threshold) const
{
    for (const QPoint& position : newCandidates(threshold))
        list.addBadpixel(position);
}
