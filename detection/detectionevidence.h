#pragma once

#include "badpixeldetector.h"
#include "capturerecord.h"
#include "deviationhistogram.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QVector>

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

class BadpixelListModel;
struct Badpixel;

// The averaged frames of one detection run, kept so that the user can weigh thresholds against
// them without capturing again: the histogram of deviations, the candidates for any threshold
// and how many of them the list does not hold yet.
class DetectionEvidence
{
public:
    // The lowest threshold the user can choose; the histogram counts each deviation above it.
    static constexpr int lowestThreshold = 5;

    struct CandidateCount
    {
        uint64_t above = 0;
        uint64_t fresh = 0; // not yet held by a factory or user entry
    };

    // Averages the frames; throws the engine's exceptions on bad frames or colour modes.
    DetectionEvidence(int colorMode, QVector<QImage> frames, const CaptureRecord& record);
    ~DetectionEvidence();

    // The detector of a mode, for a full detection pass at one threshold.
    static std::unique_ptr<BadpixelDetector> detectorFor(CaptureRecord::Mode mode,
                                                         uint32_t threshold);

    const DeviationHistogram& histogram() const { return all; }
    const CaptureRecord& record() const { return capture; }
    const QVector<QImage>& frames() const { return images; }

    // Takes note of which positions the list holds as factory or user entries.
    void setListed(const QList<Badpixel>& entries);
    CandidateCount count(int threshold) const;
    // The candidates the list does not hold yet, in the order a detection adds them.
    QVector<QPoint> newCandidates(int threshold) const;
    // Adds the new candidates to the list: what a detection at this threshold adds.
    void addCandidates(BadpixelListModel& list, int threshold) const;

private:
    QVector<QImage> images;
    CaptureRecord capture;
    std::unique_ptr<BadpixelDetector> detector;
    std::vector<BadpixelDetector::DeviantPixel> deviants;
    DeviationHistogram all;
    DeviationHistogram listed;
    // x << 16 | y of each position held by a factory or user entry.
    std::unordered_set<uint32_t> listedPositions;
};
