// Times one redraw of the live view (conversion, 1000 markers, scaling,
// pixmap) against the conversion of the same frame to 32-bit colour alone,
// the least any redraw has to do.

#include "badpixellistmodel.h"
#include "displaywidget.h"

#include <QApplication>
#include <QImage>
#include <QSize>
#include <QVector>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int markerCount = 1000;
const QSize viewSize(800, 600);

struct Case
{
    std::string frameName;
    QSize frameSize;
};

const std::vector<Case> cases = {{"1280x1024", QSize(1280, 1024)},
                                 {"5472x3648", QSize(5472, 3648)}};

struct Mode
{
    std::string name;
    double scale;
};

const std::vector<Mode> modes = {{"1:1", 1.0}, {"fit", 0.0}};

// An 8-bit indexed frame like the camera's, with a pattern so that the
// conversion cannot take a shortcut on a uniform image.
QImage cameraFrame(QSize size)
{
    QImage frame(size, QImage::Format_Indexed8);
    QVector<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = qRgb(i, i, i);
    frame.setColorTable(table);
    for (int y = 0; y < size.height(); ++y) {
        uchar* line = frame.scanLine(y);
        for (int x = 0; x < size.width(); ++x)
            line[x] = static_cast<uchar>(x ^ y);
    }
    return frame;
}

// Entries spread over the whole frame, every third one a factory entry so
// that the pen changes as it does with a real list.
void fillList(BadpixelListModel& model, QSize size)
{
    for (int i = 0; model.rowCount() < markerCount; ++i)
        model.addBadpixel(QPoint(i * 131 % size.width(), i * 71 % size.height()));
    for (int row = 0; row < markerCount; row += 3)
        model.setData(model.index(row, 2), QStringLiteral("factory"));
}

void redraw(benchmark::State& state, QSize size, double scale)
{
    const QImage frame = cameraFrame(size);
    BadpixelListModel model;
    fillList(model, size);
    DisplayWidget display;
    display.resize(viewSize);
    display.setListModel(&model);
    display.setHighlight(true);
    display.setScale(scale);
    for (auto _ : state)
        display.setImage(frame);
}

void convert(benchmark::State& state, QSize size)
{
    const QImage frame = cameraFrame(size);
    for (auto _ : state) {
        QImage copy = frame.convertToFormat(QImage::Format_RGB32);
        benchmark::DoNotOptimize(copy.constBits());
    }
}

std::string redrawName(const Case& c, const Mode& m)
{
    return "redraw/" + c.frameName + "/" + m.name;
}

std::string baselineName(const Case& c)
{
    return "convert/" + c.frameName;
}

// The console output as usual, plus each CPU time kept by name for the
// ratios: the machine is usually shared, and CPU time suffers least from that.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            // With --benchmark_repetitions the fastest run is the least disturbed.
            const auto kept = milliseconds.emplace(run.benchmark_name(), run.GetAdjustedCPUTime());
            kept.first->second = std::min(kept.first->second, run.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        std::printf("\n%-26s %12s %14s %8s\n", "redraw", "cpu (ms)", "baseline (ms)", "ratio");
        for (const Case& c : cases) {
            const auto baseline = milliseconds.find(baselineName(c));
            for (const Mode& m : modes) {
                const auto figure = milliseconds.find(redrawName(c, m));
                if (figure == milliseconds.end() || baseline == milliseconds.end())
                    continue;
                std::printf("%-26s %12.3f %14.3f %8.2f\n", figure->first.c_str(), figure->second,
                            baseline->second, figure->second / baseline->second);
            }
        }
    }

private:
    std::map<std::string, double> milliseconds;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark(baselineName(c).c_str(), convert, c.frameSize)
            ->Unit(benchmark::kMillisecond);
        for (const Mode& m : modes)
            benchmark::RegisterBenchmark(redrawName(c, m).c_str(), redraw, c.frameSize, m.scale)
                ->Unit(benchmark::kMillisecond);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
