// The cost of one simulated 1280 x 1024 frame against one plain copy of the
// same bytes, and the share of a core the frame thread takes at 60 fps.

#include "kivo_api.h"
#include "kivo_control.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace {

const char* const Serial = "SIM0001280";
constexpr uint32_t DeviceId = 1;
constexpr int Width = 1280;
constexpr int Height = 1024;

// The default colour camera, open with three ring buffers and capturing.
class OpenCamera
{
public:
    OpenCamera()
    {
        KivoSimLoadWorld(nullptr);
        handle = DeviceId | CAM_USE_DEVICE_ID;
        ok = CamOpen(&handle, nullptr) == CAM_SUCCESS &&
             CamColorMode(handle, CAM_CM_BAYER_RAW8) == CAM_SUCCESS;
        for (int i = 0; ok && i < 3; ++i) {
            ok = CamAllocBuffer(handle, Width, Height, 8, &addresses[i], &ids[i]) == CAM_SUCCESS &&
                 CamRingAdd(handle, addresses[i], ids[i]) == CAM_SUCCESS;
        }
    }
    ~OpenCamera()
    {
        CamStopCapture(handle, 1);
        for (int i = 0; i < 3; ++i)
            CamFreeBuffer(handle, addresses[i], ids[i]);
        CamClose(handle);
    }
    OpenCamera(const OpenCamera&) = delete;
    OpenCamera& operator=(const OpenCamera&) = delete;

    uint32_t handle = 0;
    bool ok = false;
    char* addresses[3] = {};
    int32_t ids[3] = {};
};

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Figures
{
    double sceneUs = 0;
    double darkUs = 0;
    double copyUs = 0;
    double threadShare = 0;
    double fps = 0;
};

Figures figures;

double microsecondsPerIteration(const benchmark::State& state, double seconds)
{
    return state.iterations() ? seconds * 1e6 / double(state.iterations()) : 0.0;
}

// One frame drawn into the ring in the calling thread. Argument 0: the
// moving scene; 1: covered, with the camera's hot pixel correction on.
void simulatedFrame(benchmark::State& state)
{
    const bool covered = state.range(0) == 1;
    OpenCamera camera;
    if (!camera.ok || KivoSimSetManualFrames(Serial, 1) != 0 ||
        CamStartCapture(camera.handle, 0) != CAM_SUCCESS) {
        state.SkipWithError("cannot open the simulated camera");
        return;
    }
    KivoSimSetCovered(Serial, covered ? 1 : 0);
    CamHotPixel(camera.handle, covered ? CAM_HP_ENABLE_CAMERA_CORRECTION : CAM_HP_DISABLE, nullptr,
                0);
    // The first frame draws the scene for the current settings.
    KivoSimDeliverFrame(Serial, nullptr, 0);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        KivoSimDeliverFrame(Serial, nullptr, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double us = microsecondsPerIteration(state, took.count());
    (covered ? figures.darkUs : figures.sceneUs) = us;
    state.SetBytesProcessed(int64_t(state.iterations()) * Width * Height);
    state.counters["us_per_frame"] = us;
}

// The baseline: one copy of a frame's bytes.
void plainCopy(benchmark::State& state)
{
    std::vector<uint8_t> from(size_t(Width) * Height, 10);
    std::vector<uint8_t> to(from.size());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    figures.copyUs = microsecondsPerIteration(state, took.count());
    state.SetBytesProcessed(int64_t(state.iterations()) * Width * Height);
    state.counters["us_per_frame"] = figures.copyUs;
}

// The frame thread on its own for two seconds at 60 fps; this thread sleeps,
// so the process's CPU time is the frame thread's.
void frameThreadAt60Fps(benchmark::State& state)
{
    for (auto _ : state) {
        OpenCamera camera;
        double actual = 0;
        if (!camera.ok || CamPixelClock(camera.handle, 100) != CAM_SUCCESS ||
            CamFrameRate(camera.handle, 60.0, &actual) != CAM_SUCCESS ||
            CamStartCapture(camera.handle, 0) != CAM_SUCCESS) {
            state.SkipWithError("cannot start the simulated camera");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int64_t framesBefore = KivoSimFramesProduced(Serial);
        const double cpuBefore = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        const double cpu = processCpuSeconds() - cpuBefore;
        figures.threadShare = cpu / wall.count();
        figures.fps = double(KivoSimFramesProduced(Serial) - framesBefore) / wall.count();
        state.counters["core_share"] = figures.threadShare;
        state.counters["fps"] = figures.fps;
    }
}

} // namespace

BENCHMARK(simulatedFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(plainCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(frameThreadAt60Fps)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // No control socket for a measurement, and simulated cameras only: no
    // search for GenICam cameras on the networks.
    setenv("KIVO_SIM_NO_CONTROL_SOCKET", "1", 1);
    setenv("KIVO_GENICAM_CAMERAS", "0", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (figures.copyUs > 0) {
        std::printf("\nOne 1280x1024 frame: scene %.0f us, covered with correction %.0f us; "
                    "plain copy %.0f us; ratio %.1fx and %.1fx\n",
                    figures.sceneUs, figures.darkUs, figures.copyUs,
                    figures.sceneUs / figures.copyUs, figures.darkUs / figures.copyUs);
        std::printf("Frame thread at 60 fps: %.1f fps, %.1f%% of one core (%.0f us per frame "
                    "= %.1f%% at 60 fps)\n",
                    figures.fps, figures.threadShare * 100.0, figures.sceneUs,
                    figures.sceneUs * 60.0 / 1e4);
    }
    return 0;
}
