// Runs the default colour camera (1280 x 1024) at 60 fps for a few seconds
// with a receiver on newImage and compares the frames the library produced
// with the frames the session delivered. Also times the GUI thread's CPU per
// delivered frame against one copy of a frame, the cost the road avoids.

#include "camera.h"

#include "kivo_control.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

const char* const Serial = "SIM0001280";
constexpr uint32_t DeviceId = 1;
constexpr int RunMilliseconds = 5000;
constexpr double TargetFps = 60.0;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Figures
{
    int64_t produced = 0;
    int64_t delivered = 0;
    double sessionCpuUs = 0.0;
    double copyUs = 0.0;
};

Figures figures;

void liveFrames(benchmark::State& state)
{
    for (auto _ : state) {
        KivoSimLoadWorld(nullptr);
        Camera camera;
        camera.open(DeviceId);
        camera.setPixelclock(100);
        camera.setFramerate(TargetFps);

        int64_t delivered = 0;
        unsigned checksum = 0;
        QObject receiver;
        QObject::connect(&camera, &Camera::newImage, &receiver, [&](QImage& image) {
            if (image.isNull())
                return;
            ++delivered;
            checksum += image.constBits()[image.sizeInBytes() / 2];
        });

        QEventLoop loop;
        QTimer::singleShot(RunMilliseconds, &loop, &QEventLoop::quit);
        const int64_t producedBefore = KivoSimFramesProduced(Serial);
        const double cpuBefore = threadCpuSeconds();
        loop.exec();
        const double cpu = threadCpuSeconds() - cpuBefore;
        const int64_t produced = KivoSimFramesProduced(Serial) - producedBefore;
        camera.close();
        benchmark::DoNotOptimize(checksum);

        figures.produced = produced;
        figures.delivered = delivered;
        figures.sessionCpuUs = delivered > 0 ? cpu * 1e6 / double(delivered) : 0.0;
        state.counters["produced"] = double(produced);
        state.counters["delivered"] = double(delivered);
        state.counters["delivered_pct"] =
            produced > 0 ? 100.0 * double(delivered) / double(produced) : 0.0;
        state.counters["session_cpu_us_per_frame"] = figures.sessionCpuUs;
    }
}

// The baseline: copying one 8-bit 1280 x 1024 frame.
void frameCopy(benchmark::State& state)
{
    std::vector<unsigned char> source(1280 * 1024, 17);
    std::vector<unsigned char> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}

class CopyTimeReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration &&
                run.benchmark_name() == "frame_copy/1280x1024")
                figures.copyUs = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Simulated cameras only: no search for GenICam cameras on the networks.
    qputenv("KIVO_GENICAM_CAMERAS", "0");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("frame_copy/1280x1024", frameCopy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("live_frames/1280x1024@60fps", liveFrames)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    CopyTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-34s %12s %12s %8s\n", "frames in 5 s", "delivered", "produced", "ratio");
    std::printf("%-34s %12lld %12lld %7.2f%%\n", "newImage vs library",
                (long long)figures.delivered, (long long)figures.produced,
                figures.produced > 0 ? 100.0 * double(figures.delivered) / double(figures.produced)
                                     : 0.0);
    std::printf("%-34s %12s %12s %8s\n", "CPU per frame", "session", "frame copy", "ratio");
    std::printf("%-34s %10.1f us %10.1f us %8.2f\n", "GUI thread vs one memcpy",
                figures.sessionCpuUs, figures.copyUs,
                figures.copyUs > 0 ? figures.sessionCpuUs / figures.copyUs : 0.0);
    benchmark::Shutdown();
    return 0;
}
