#include "badpixeldetector.h"

#include "badpixellistmodel.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>

namespace {

using Plane = BadpixelDetector::Plane;
using PlaneSummary = BadpixelDetector::PlaneSummary;

// The sum of one pixel over this many frames still fits 16 bits (257 * 255 = 65535).
constexpr uint32_t framesPerRowSum = 257;

// floor(sum / n) for the sums of n bytes, as the high half of a 16-bit product and a shift.
// That agrees with the division on every such sum when, with m the multiplier,
// (m * n - 2^(16 + shift)) * 255 * n < 2^(16 + shift). A multiplier below 2^16 meeting it exists
// for every n from 2 to 185; other frame counts are divided plainly.
class FloorDivider
{
public:
    explicit FloorDivider(uint32_t n)
    {
        const uint64_t largestSum = 255 * uint64_t(n);
        for (uint32_t s = 0; s < 16; ++s) {
            const uint64_t power = uint64_t(1) << (16 + s);
            const uint64_t m = (power + n - 1) / n;
            if (m > 0xFFFF)
                return;
            if ((m * n - power) * largestSum < power) {
                multiplier = uint16_t(m);
                shift = uint16_t(s);
                exact = true;
                return;
            }
        }
    }

    bool isExact() const { return exact; }
    uint16_t operator()(uint16_t sum) const
    {
        const auto high = uint16_t((uint32_t(sum) * multiplier) >> 16);
        return uint16_t(high >> shift);
    }

private:
    uint16_t multiplier = 0;
    uint16_t shift = 0;
    bool exact = false;
};

struct RowSummary
{
    uint32_t sum = 0;
    uint32_t minimum = UINT32_MAX;
    uint32_t maximum = 0;

    void note(uint32_t cell)
    {
        sum += cell;
        minimum = std::min(minimum, cell);
        maximum = std::max(maximum, cell);
    }
};

// Walks a plane row beside the sums of its frame row, handing the action each cell together with
// the sum of the cell's pixel; consecutive cells are `step` sums apart.
template<class Action, class Step>
class SumValueIterator final : public Plane::Iterator
{
public:
    SumValueIterator(const uint16_t* sums, Step step, Action action)
        : sum(sums)
        , step(step)
        , action(std::move(action))
    {}

    void visit(uint32_t& cell) override
    {
        action(cell, *sum);
        sum += step;
    }

    const Action& result() const { return action; }

private:
    const uint16_t* sum;
    Step step;
    Action action;
};

struct CopyAction
{
    void operator()(uint32_t& cell, uint16_t sum) const { cell = sum; }
};

struct SumAction
{
    void operator()(uint32_t& cell, uint16_t sum) const { cell += sum; }
};

// Turns the sum of all frames straight into the cell: floor of the mean.
struct MeanAction
{
    FloorDivider divider;
    uint32_t cellSum = 0;
    uint16_t smallestSum = UINT16_MAX;
    uint16_t largestSum = 0;

    void operator()(uint32_t& cell, uint16_t sum)
    {
        cell = divider(sum);
        cellSum += cell;
        smallestSum = std::min(smallestSum, sum);
        largestSum = std::max(largestSum, sum);
    }

    // Dividing keeps the order, so the extreme sums give the extreme cells.
    uint32_t smallestCell() const { return divider(smallestSum); }
    uint32_t largestCell() const { return divider(largestSum); }
};

// Divides cells that hold the full sum of their pixel over n frames: floor of the mean.
class DivIterator final : public Plane::Iterator
{
public:
    explicit DivIterator(uint32_t n)
        : n(n)
    {}

    void visit(uint32_t& cell) override
    {
        cell /= n;
        summary.note(cell);
    }

    RowSummary summary;

private:
    uint32_t n;
};

// Sums columns x0 to x0 + width - 1 of the same row of Count frames, or adds them to the sums.
// With Count fixed the frame loop unrolls inside the column loop, which vectorises: one pass over
// the sums per 16 frames.
template<size_t Count, bool First>
void addRows(uint16_t* sums, const uchar* const* frameRows, size_t x0, size_t width)
{
    std::array<const uchar*, Count> rows;
    for (size_t i = 0; i < Count; ++i)
        rows[i] = frameRows[i] + x0;
    for (size_t x = 0; x < width; ++x) {
        uint32_t sum = First ? 0 : sums[x];
        for (const uchar* row : rows)
            sum += row[x];
        sums[x] = uint16_t(sum);
    }
}

constexpr size_t framesPerPass = 16;
using AddRows = void (*)(uint16_t*, const uchar* const*, size_t, size_t);

template<bool First, size_t... Counts>
constexpr std::array<AddRows, sizeof...(Counts)> addRowsFor(std::index_sequence<Counts...>)
{
    return {&addRows<Counts + 1, First>...};
}

// Entry k sums or adds k + 1 frames.
constexpr auto sumRowsOf = addRowsFor<true>(std::make_index_sequence<framesPerPass>());
constexpr auto addRowsOf = addRowsFor<false>(std::make_index_sequence<framesPerPass>());

// Calls f with a pattern's column step; the steps that the patterns use become compile-time
// constants, so that the loops along a plane row vectorise.
template<class F>
void withColumnStep(uint32_t step, F&& f)
{
    if (step == 1)
        f(std::integral_constant<uint32_t, 1>());
    else if (step == 2)
        f(std::integral_constant<uint32_t, 2>());
    else
        f(step);
}

// Frame columns summed and written out at a time. The sums stay in the first level cache, and the
// reading of the frames and the writing of the planes take turns closely, which keeps both
// streams of the memory busy.
constexpr size_t blockWidth = 512;

struct PlaneTarget
{
    Plane& plane;
    const PixelPattern& pattern;
    PlaneSummary& summary;

    // The plane row that frame row y feeds, if any.
    bool rowOf(uint32_t y, uint32_t& row) const
    {
        if (y < pattern.startY || (y - pattern.startY) % pattern.stepY != 0)
            return false;
        row = (y - pattern.startY) / pattern.stepY;
        return row < plane.rows();
    }

    // The first plane column whose pixel lies at frame column x or beyond.
    uint32_t columnFrom(size_t x) const
    {
        if (x <= pattern.startX)
            return 0;
        const size_t column = (x - pattern.startX + pattern.stepX - 1) / pattern.stepX;
        return uint32_t(std::min<size_t>(column, plane.columns()));
    }
};

// Averages the frames into the planes one frame row at a time, and within it one block of
// columns at a time: the block of every frame is summed into 16-bit sums, and the cells of each
// plane fed by it are written once. For the Bayer planes a frame row feeds two planes, its even
// and its odd columns.
class FrameAverager
{
    // The planes fed by one frame row, each with the row of it that is fed.
    using Fed = std::vector<std::pair<const PlaneTarget*, uint32_t>>;

public:
    explicit FrameAverager(const QVector<QImage>& frames)
        : divider(uint32_t(frames.size()))
    {
        for (const QImage& frame : frames) {
            bits.push_back(frame.constBits());
            bytesPerLine.push_back(frame.bytesPerLine());
        }
        rows.resize(bits.size());
    }

    void average(const std::vector<PlaneTarget>& targets)
    {
        uint32_t frameRows = 0;
        size_t width = 0;
        for (const PlaneTarget& t : targets) {
            frameRows = std::max(frameRows, uint32_t(t.pattern.pixelY(t.plane.rows() - 1)) + 1);
            width = std::max(width, size_t(t.pattern.pixelX(t.plane.columns() - 1)) + 1);
            t.summary = {0, std::vector<uint32_t>(t.plane.rows(), UINT32_MAX),
                         std::vector<uint32_t>(t.plane.rows())};
        }

        Fed fed;
        for (uint32_t y = 0; y < frameRows; ++y) {
            fed.clear();
            for (const PlaneTarget& t : targets) {
                uint32_t row = 0;
                if (t.rowOf(y, row))
                    fed.emplace_back(&t, row);
            }
            if (fed.empty())
                continue;
            for (size_t i = 0; i < bits.size(); ++i)
                rows[i] = bits[i] + ptrdiff_t(y) * bytesPerLine[i];
            for (size_t x0 = 0; x0 < width; x0 += blockWidth)
                averageBlock(fed, x0, std::min(blockWidth, width - x0));
        }
    }

private:
    void averageBlock(const Fed& fed, size_t x0, size_t width)
    {
        const auto n = uint32_t(rows.size());
        if (n <= framesPerRowSum && divider.isExact()) {
            sumRows(0, n, x0, width);
            for (const auto& [target, row] : fed) {
                walkSums(*target, row, x0, width, MeanAction{divider}, [&](const MeanAction& done) {
                    target->summary.noteRow(row, done.cellSum, done.smallestCell(),
                                            done.largestCell());
                });
            }
            return;
        }
        // More frames than a 16-bit sum holds, or no exact multiplier: the cells collect the
        // sums and are divided afterwards.
        for (uint32_t first = 0; first < n; first += framesPerRowSum) {
            sumRows(first, std::min(n - first, framesPerRowSum), x0, width);
            for (const auto& [target, row] : fed) {
                if (first == 0)
                    walkSums(*target, row, x0, width, CopyAction(), [](const CopyAction&) {});
                else
                    walkSums(*target, row, x0, width, SumAction(), [](const SumAction&) {});
            }
        }
        for (const auto& [target, row] : fed) {
            const uint32_t begin = target->columnFrom(x0);
            DivIterator divide(n);
            target->plane.iterateRow(row, begin, target->columnFrom(x0 + width) - begin, divide);
            target->summary.noteRow(row, divide.summary.sum, divide.summary.minimum,
                                    divide.summary.maximum);
        }
    }

    void sumRows(uint32_t first, uint32_t count, size_t x0, size_t width)
    {
        const uchar* const* frameRows = rows.data() + first;
        for (uint32_t done = 0; done < count; done += framesPerPass) {
            const size_t pass = std::min<size_t>(count - done, framesPerPass);
            const auto& add = done == 0 ? sumRowsOf : addRowsOf;
            add[pass - 1](sums.data(), frameRows + done, x0, width);
        }
    }

    // Walks the cells of the plane row whose pixels lie in the block of columns from x0 on.
    template<class Action, class Done>
    void walkSums(const PlaneTarget& target, uint32_t row, size_t x0, size_t width, Action action,
                  Done done)
    {
        const uint32_t begin = target.columnFrom(x0);
        const uint32_t end = target.columnFrom(x0 + width);
        if (begin == end)
            return;
        const uint16_t* first = sums.data() + (size_t(target.pattern.pixelX(begin)) - x0);
        withColumnStep(target.pattern.stepX, [&](auto step) {
            SumValueIterator<Action, decltype(step)> walk(first, step, action);
            target.plane.iterateRow(row, begin, end - begin, walk);
            done(walk.result());
        });
    }

    FloorDivider divider;
    std::vector<const uchar*> bits;
    std::vector<ptrdiff_t> bytesPerLine;
    std::vector<const uchar*> rows;
    std::array<uint16_t, blockWidth> sums;
};

} // namespace

void BadpixelDetector::PlaneSummary::noteRow(uint32_t row, uint32_t sum, uint32_t minimum,
                                             uint32_t maximum)
{
    cellSum += sum;
    rowMinimum[row] = std::min(rowMinimum[row], minimum);
    rowMaximum[row] = std::max(rowMaximum[row], maximum);
}

BadpixelDetector::ErrColorMode::ErrColorMode()
    : std::runtime_error(tr("Color mode for hot pixel detection not supported.").toStdString())
{}

BadpixelDetector::BadpixelDetector(uint32_t threshold, QObject* parent)
    : QObject(parent)
    , threshold(threshold)
{}

BadpixelDetector::~BadpixelDetector() = default;

void BadpixelDetector::setSource(int colorMode, const QVector<QImage>* images)
{
    this->colorMode = colorMode;
    this->images = images;
}

void BadpixelDetector::accumulate()
{
    if (!images || images->isEmpty())
        throw std::runtime_error(tr("No images acquired for hot pixel detection.").toStdString());
    const QImage& first = images->first();
    if (first.format() != QImage::Format_Indexed8)
        throw std::runtime_error(
            tr("Image format for hot pixel detection not supported.").toStdString());

    const auto width = uint32_t(first.width());
    const auto height = uint32_t(first.height());
    std::vector<PlaneTarget> targets;
    switch (colorMode) {
    case colorModeMono8:
        monoPlane.reset();
        monoPlane = std::make_unique<Plane>(height, width);
        targets.push_back({*monoPlane, monoPattern, monoSummary});
        break;
    case colorModeBayer8:
        for (auto& plane : bayerPlanes)
            plane.reset();
        for (size_t k = 0; k < bayerPlanes.size(); ++k) {
            bayerPlanes[k] = std::make_unique<Plane>(height / 2, width / 2);
            targets.push_back({*bayerPlanes[k], bayerPatterns[k], bayerSummaries[k]});
        }
        break;
    default:
        throw ErrColorMode();
    }

    for (const QImage& frame : *images) {
        if (frame.width() != first.width() || frame.height() != first.height())
            throw std::runtime_error(tr("Aqcuired images are not the same size.").toStdString());
        // Only the first frame's format counts, but a line must hold a byte per pixel to be read.
        if (frame.bytesPerLine() < frame.width())
            throw std::runtime_error(
                tr("Image format for hot pixel detection not supported.").toStdString());
    }

    FrameAverager(*images).average(targets);
}

std::vector<BadpixelDetector::AccumulatedPlane> BadpixelDetector::accumulatedPlanes() const
{
    std::vector<AccumulatedPlane> result;
    if (colorMode == colorModeMono8 && monoPlane) {
        result.push_back({*monoPlane, monoPattern, monoSummary});
    } else if (colorMode == colorModeBayer8) {
        for (size_t k = 0; k < bayerPlanes.size(); ++k) {
            if (bayerPlanes[k])
                result.push_back({*bayerPlanes[k], bayerPatterns[k], bayerSummaries[k]});
        }
    }
    return result;
}

uint32_t BadpixelDetector::planeMean(const Plane& plane, const PlaneSummary& summary)
{
    return summary.cellSum / (plane.rows() * plane.columns());
}

std::vector<BadpixelDetector::DeviantPixel>
BadpixelDetector::deviantPixels(uint32_t threshold) const
{
    std::vector<DeviantPixel> result;
    const std::vector<AccumulatedPlane> planes = accumulatedPlanes();
    for (size_t k = 0; k < planes.size(); ++k) {
        const AccumulatedPlane& p = planes[k];
        const uint32_t mean = planeMean(p.plane, p.summary);
        // Cells inside the band around the mean lie within the threshold on either side; only
        // the few outside it are asked how far beyond they lie on the detector's side.
        const uint64_t bandTop = uint64_t(mean) + threshold;
        const uint32_t bandBottom = mean > threshold ? mean - threshold : 0;
        for (uint32_t row = 0; row < p.plane.rows(); ++row) {
            if (largestDeviation(p.summary, row, mean) <= threshold)
                continue;
            const int y = p.pattern.pixelY(row);
            p.plane.readRow(row, [&](uint32_t column, uint32_t cell) {
                if (cell <= bandTop && cell >= bandBottom)
                    return;
                const uint32_t beyond = deviation(cell, mean);
                if (beyond > threshold)
                    result.push_back({QPoint(p.pattern.pixelX(column), y), uint8_t(k),
                                      uint8_t(std::min<uint32_t>(beyond, 255))});
            });
        }
    }
    return result;
}

int BadpixelDetector::deviationAt(QPoint position) const
{
    for (const AccumulatedPlane& p : accumulatedPlanes()) {
        const int column = position.x() - p.pattern.startX;
        const int row = position.y() - p.pattern.startY;
        if (column < 0 || row < 0 || column % p.pattern.stepX != 0 || row % p.pattern.stepY != 0)
            continue;
        const auto c = uint32_t(column / p.pattern.stepX);
        const auto r = uint32_t(row / p.pattern.stepY);
        if (c >= p.plane.columns() || r >= p.plane.rows())
            return -1;
        return int(
            std::min<uint32_t>(deviation(p.plane(r, c), planeMean(p.plane, p.summary)), 255));
    }
    return -1;
}

std::vector<uint32_t> BadpixelDetector::planeSizes() const
{
    std::vector<uint32_t> result;
    for (const AccumulatedPlane& p : accumulatedPlanes())
        result.push_back(p.plane.rows() * p.plane.columns());
    return result;
}

void BadpixelDetector::accumulateOrFinish()
{
    try {
        accumulate();
    } catch (...) {
        emit detectionFinished();
        throw;
    }
}

void BadpixelDetector::addDeviantPixels(BadpixelListModel& list, uint32_t threshold) const
{
    for (const DeviantPixel& pixel : deviantPixels(threshold))
        list.addBadpixel(pixel.position);
}
