// Times one redraw of the live view with 1000 markers, from the new frame to
// the painted window, for two frame sizes at 1:1, 4:1 and fitted into the
// same window. Each is set against what it should cost no more than: 1:1
// against converting the window's worth of pixels to 32-bit colour, 4:1
// against 1:1, and the large frame fitted against the small one fitted.

#include "badpixellistmodel.h"
#include "displaywidget.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
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

const std::vector<Mode> modes = {{"1:1", 1.0}, {"4:1", 4.0}, {"fit", 0.0}};

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
    display.show();
    for (auto _ : state) {
        display.setImage(frame);
        display.imageLabel->repaint();
    }
}

// The window's worth of pixels: what any redraw has to convert at 1:1.
void convert(benchmark::State& state)
{
    const QImage frame = cameraFrame(viewSize);
    for (auto _ : state) {
        QImage copy = frame.convertToFormat(QImage::Format_RGB32);
        benchmark::DoNotOptimize(copy.constBits());
    }
}

std::string redrawName(const Case& c, const Mode& m)
{
    return "redraw/" + c.frameName + "/" + m.name;
}

const std::string baselineName = "convert/visible";

struct Ratio
{
    std::string figure;
    std::string baseline;
    double limit;
};

std::vector<Ratio> ratios()
{
    std::vector<Ratio> list;
    for (const Case& c : cases) {
        list.push_back({redrawName(c, modes[0]), baselineName, 2.0});
        list.push_back({redrawName(c, modes[1]), redrawName(c, modes[0]), 2.0});
    }
    list.push_back({redrawName(cases[1], modes[2]), redrawName(cases[0], modes[2]), 1.5});
    return list;
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
        std::printf("\n%-22s %10s  %-22s %10s %7s %7s\n", "figure", "cpu (ms)", "baseline",
                    "cpu (ms)", "ratio", "limit");
        for (const Ratio& r : ratios()) {
            const auto figure = milliseconds.find(r.figure);
            const auto baseline = milliseconds.find(r.baseline);
            if (figure == milliseconds.end() || baseline == milliseconds.end())
                continue;
            std::printf("%-22s %10.3f  %-22s %10.3f %7.2f %7.2f\n", r.figure.c_str(),
                        figure->second, r.baseline.c_str(), baseline->second,
                        figure->second / baseline->second, r.limit);
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
    benchmark::RegisterBenchmark(baselineName.c_str(), convert)->Unit(benchmark::kMillisecond);
    for (const Case& c : cases) {
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
