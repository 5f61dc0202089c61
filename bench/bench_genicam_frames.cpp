// Frames shown against frames produced, for a GenICam camera (Aravis's fake
// GigE Vision camera in this process, on 127.0.0.1, its sensor set to
// 1280 x 1024) and for the simulated colour camera of the same size, both at
// 30 fps for a few seconds in the same run. A frame counts as shown when the
// camera session delivers it with newImage. Run it inside a loopback-only
// network namespace: unshare -n sh -c 'ip link set lo up; bench_genicam_frames'.

// Before any Qt header: GLib names a member "signals", a word Qt defines.
#include <arv.h>

#include "camera.h"

#include "gobjectptr.h"
#include "kivo_api.h"
#include "kivo_control.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const char* const FakeSerial = "BENCH0001";
const char* const SimulatedSerial = "SIM0001280";
constexpr uint32_t SimulatedDeviceId = 1;
constexpr int RunMilliseconds = 5000;
constexpr double TargetFps = 30.0;

std::atomic<int64_t> fakeFramesProduced{0};

void countFrame(ArvBuffer*, void*, guint32, guint32, ArvPixelFormat)
{
    ++fakeFramesProduced;
}

struct Figures
{
    int64_t produced = 0;
    int64_t shown = 0;
    QSize size;
};

Figures simulated;
Figures genicamFake;

// The device id under which the library lists serial, once it does.
uint32_t listedDeviceId(const char* serial)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<char> buffer(4 + 16 * sizeof(CAM_CAMERA_INFO));
        auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(buffer.data());
        list->count = 16;
        if (CamList(list) == CAM_SUCCESS) {
            for (uint32_t i = 0; i < list->count; ++i) {
                if (std::strcmp(list->cameras[i].serial, serial) == 0)
                    return list->cameras[i].deviceId;
            }
        }
        QEventLoop wait;
        QTimer::singleShot(100, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return 0;
}

// Opens the camera, runs it at the target rate and counts what it shows.
void runCamera(benchmark::State& state, uint32_t deviceId, const std::function<int64_t()>& produced,
               Figures& figures)
{
    for (auto _ : state) {
        Camera camera;
        camera.open(deviceId);
        camera.setPixelclock(100);
        camera.setFramerate(TargetFps);
        int64_t shown = 0;
        QObject receiver;
        QObject::connect(&camera, &Camera::newImage, &receiver, [&](QImage& image) {
            if (image.isNull())
                return;
            ++shown;
            figures.size = image.size();
        });
        QEventLoop loop;
        QTimer::singleShot(RunMilliseconds, &loop, &QEventLoop::quit);
        const int64_t before = produced();
        loop.exec();
        figures.produced = produced() - before;
        figures.shown = shown;
        camera.close();
        state.counters["produced"] = double(figures.produced);
        state.counters["shown"] = double(figures.shown);
    }
}

void simulatedCamera(benchmark::State& state)
{
    KivoSimLoadWorld(nullptr);
    runCamera(
        state, SimulatedDeviceId, [] { return KivoSimFramesProduced(SimulatedSerial); }, simulated);
}

void fakeGigeCamera(benchmark::State& state)
{
    const uint32_t deviceId = listedDeviceId(FakeSerial);
    if (deviceId == 0) {
        state.SkipWithError("the fake camera was not found");
        return;
    }
    runCamera(
        state, deviceId, [] { return fakeFramesProduced.load(); }, genicamFake);
}

void printRow(const char* name, const Figures& f)
{
    std::printf("%-34s %5dx%-5d %10lld %10lld %7.2f%%\n", name, f.size.width(), f.size.height(),
                (long long)f.shown, (long long)f.produced,
                f.produced > 0 ? 100.0 * double(f.shown) / double(f.produced) : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    // Before the library's first call: only this address, no search.
    qputenv("KIVO_GENICAM_ADDRESSES", "127.0.0.1");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const genicam::GObjectPtr<ArvGvFakeCamera> fake(
        arv_gv_fake_camera_new("127.0.0.1", FakeSerial));
    ArvFakeCamera* sensor = arv_gv_fake_camera_get_fake_camera(fake.get());
    arv_fake_camera_write_register(sensor, ARV_FAKE_CAMERA_REGISTER_SENSOR_WIDTH, 1280);
    arv_fake_camera_write_register(sensor, ARV_FAKE_CAMERA_REGISTER_SENSOR_HEIGHT, 1024);
    arv_fake_camera_set_fill_pattern(sensor, countFrame, nullptr);

    benchmark::RegisterBenchmark("simulated/1280x1024@30fps", simulatedCamera)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("genicam_fake/1280x1024@30fps", fakeGigeCamera)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();

    std::printf("\n%-34s %11s %10s %10s %8s\n", "frames in 5 s at 30 fps", "size", "shown",
                "produced", "ratio");
    printRow("simulated camera (baseline)", simulated);
    printRow("GenICam fake GigE camera", genicamFake);
    const double simulatedRatio =
        simulated.produced > 0 ? double(simulated.shown) / double(simulated.produced) : 0.0;
    const double fakeRatio =
        genicamFake.produced > 0 ? double(genicamFake.shown) / double(genicamFake.produced) : 0.0;
    std::printf("%-34s %45.2f\n", "GenICam ratio / simulated ratio",
                simulatedRatio > 0 ? fakeRatio / simulatedRatio : 0.0);
    benchmark::Shutdown();
    return 0;
}
