// Runs the real main window on two simulated raw Bayer cameras, 1280 x 1024 at
// 60 fps and 5472 x 3648 at 30 fps, each with highlighting on and 1000 entries
// in the hot pixel list, and counts the new frames the live view paints
// against the frames the camera library produced in the same seconds. Also
// reports the CPU spent per shown frame against the frame period, which is
// what one core has for it.
//
// The baseline is the library's own count of frames produced in the same
// seconds; the CPU per shown frame is set against the frame period. After the
// run, single frames check that the paint counter counts each frame once.
//
// The window is driven as a user would: the camera row is selected and Open
// camera triggered, the list comes in through File > Import, and the frame
// rate comes from a cameraparameter.xml in the (temporary) current directory.

#include "displaywidget.h"
#include "mainwindow.h"
#include "modalrunner.h"

#include "kivo_control.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QRegion>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int listEntries = 1000;
// The run starts this long after the view showed its first frame, or after
// the limit when it shows none.
constexpr int warmUpMilliseconds = 1000;
constexpr int firstFrameLimitMilliseconds = 10000;
// More than any backlog of frame events can hold.
constexpr int backlogFaults = 1000000;
constexpr int runMilliseconds = 5000;
// Single frames shown after the run to check the paint counter.
constexpr int checkFrames = 5;

struct CameraCase
{
    std::string name;
    const char* serial;
    int width;
    int height;
    double fps;
};

const std::vector<CameraCase> cases = {{"1280x1024@60fps", "SIM0001280", 1280, 1024, 60.0},
                                       {"5472x3648@30fps", "SIM0005472", 5472, 3648, 30.0}};

// No factory or user entries of their own, so that the imported 1000 are the
// whole list. The large sensor needs a faster pixel clock and a longer frame
// counter than the defaults to reach 30 fps.
const char* const world = R"({"cameras": [
  {"serial": "SIM0001280", "model": "Kivo Sim C1280", "deviceId": 1, "sensorId": "0x100",
   "width": 1280, "height": 1024, "color": "bayer"},
  {"serial": "SIM0005472", "model": "Kivo Sim C5472", "deviceId": 2, "sensorId": "0x110",
   "width": 5472, "height": 3648, "color": "bayer",
   "pixelClock": {"min": 4, "max": 800, "initial": 40},
   "timing": {"maxFrameClocks": 100000000}}
]})";

// 60 fps needs about 91 MHz on the small sensor, 30 fps about 624 MHz on the
// large one.
const char* const cameraParameters = R"(<?xml version="1.0" encoding="UTF-8"?>
<CameraSettings>
  <Sensor ID="100">
    <Timing pixelclock="100" framerate="60" exposure="10"/>
    <Gain master="10" red="20" green="0" blue="25"/>
  </Sensor>
  <Sensor ID="110">
    <Timing pixelclock="700" framerate="30" exposure="20"/>
    <Gain master="10" red="20" green="0" blue="25"/>
  </Sensor>
</CameraSettings>
)";

double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Minor page faults of one thread so far: a live view that allocates a
// frame-sized image for every frame faults its pages in every time.
int64_t pageFaults(pid_t thread)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(thread));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The name in parentheses may hold blanks; minflt is the 10th field.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 7 ? fields.at(7).toLongLong() : 0;
}

// Answers the window's message boxes with Ok and its file choosers with the
// file prepared for the next import.
class BenchRunner : public ModalRunner
{
public:
    int exec(QDialog&) override { return QMessageBox::Ok; }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return fileName;
    }

    QString fileName;
};

// Counts the camera frames that reach the screen: paints of the live view's
// label that show new content. A frame replaced before the view repaints is
// drawn but never seen; a frame drawn again from a backlog of frame events
// shows the same pixels and is not counted twice. The sensor noise differs in
// every row of every frame, so one row of the view tells frames apart. It is
// read right after the paint, as the view draws it.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QLabel* label)
        : label(label)
    {
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == label && event->type() == QEvent::Paint && !reading)
            QMetaObject::invokeMethod(this, &PaintCounter::readShownRow, Qt::QueuedConnection);
        return false;
    }

    // Reads what the last paints showed.
    void settle() { QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); }

    // Read by the watchdog thread.
    std::atomic<int64_t> shown{0};

private:
    void readShownRow()
    {
        const QRect visible = label->visibleRegion().boundingRect();
        if (visible.isEmpty() || label->isHidden())
            return;
        reading = true;
        const QImage row =
            label->grab(QRect(visible.left(), visible.center().y(), visible.width(), 1)).toImage();
        reading = false;
        const uint hash = qHashBits(row.constBits(), size_t(row.bytesPerLine()));
        if (hash != lastHash) {
            lastHash = hash;
            shown.fetch_add(1, std::memory_order_relaxed);
        }
    }

    QLabel* label;
    bool reading = false;
    uint lastHash = 0;
};

struct Figures
{
    int64_t produced = 0;
    int64_t shown = 0;
    double seconds = 0.0;
    // From Open camera to the first frame on screen; negative when none came.
    double firstFrameSeconds = -1.0;
    double guiCpu = 0.0;
    int64_t guiFaults = 0;
    double processCpu = 0.0;
    QString fpsLabel;
    int64_t checkCounted = 0;
};

std::vector<Figures> results(cases.size());

// Spreads the entries over the sensor from a fixed seed, as user entries.
QString writeHotpixelFile(const QString& dir, const CameraCase& c)
{
    const QString name = dir + QStringLiteral("/hotpixels-%1.txt").arg(c.width);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        qFatal("cannot write %s", qPrintable(name));
    QTextStream out(&file);
    uint32_t state = uint32_t(c.width);
    auto next = [&state](int range) {
        state = state * 1664525U + 1013904223U;
        return int((state >> 8) % uint32_t(range));
    };
    for (int i = 0; i < listEntries; ++i)
        out << 8 + next(c.width - 16) << ' ' << 8 + next(c.height - 16) << " 1\n";
    return name;
}

void runEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

class LiveView
{
public:
    explicit LiveView(const QString& dir)
        : dir(dir)
    {
        auto benchRunner = std::make_unique<BenchRunner>();
        runner = benchRunner.get();
        window.setModalRunner(std::move(benchRunner));
        window.show();
        runEventLoop(200);
        if (!window.windowHandle() || !window.windowHandle()->isExposed())
            qFatal("main window not exposed");
        display = window.findChild<DisplayWidget*>(QStringLiteral("display"));
        counter = std::make_unique<PaintCounter>(display->imageLabel);
        if (!action(QStringLiteral("&Highlight"))->isChecked())
            qFatal("highlighting is off");
    }

    Figures run(const CameraCase& c)
    {
        const int64_t shownAtOpen = counter->shown.load();
        const auto opened = std::chrono::steady_clock::now();
        selectCamera(c.serial);
        action(QStringLiteral("&Open camera"))->trigger();
        if (!action(QStringLiteral("&Close camera"))->isEnabled())
            qFatal("camera %s did not open", c.serial);
        runner->fileName = writeHotpixelFile(dir, c);
        action(QStringLiteral("&Import hot pixel list"))->trigger();
        const int rows = badpixelView()->model()->rowCount();
        if (rows != listEntries)
            qFatal("the hot pixel list holds %d entries", rows);
        Figures f = measure(c.serial, opened, shownAtOpen);
        f.fpsLabel = window.findChild<QLabel*>(QStringLiteral("fpsLabel"))->text();
        f.checkCounted = countSingleFrames(c.serial);

        selectCamera(c.serial);
        action(QStringLiteral("&Close camera"))->trigger();
        KivoSimSetManualFrames(c.serial, 0);
        return f;
    }

private:
    // Takes the figures at fixed instants from a thread of its own: a GUI
    // thread that falls behind the camera piles up frame events and may stay
    // busy long after the run. At the end the camera stops producing and every
    // buffer lock fails, so that the backlog drains without drawing and the
    // event loop can quit.
    Figures measure(const char* serial, std::chrono::steady_clock::time_point opened,
                    int64_t shownAtOpen)
    {
        clockid_t guiClock{};
        pthread_getcpuclockid(pthread_self(), &guiClock);
        const pid_t guiThread = pid_t(syscall(SYS_gettid));
        QEventLoop loop;
        Figures f;
        std::thread watchdog([&] {
            const auto limit = opened + std::chrono::milliseconds(firstFrameLimitMilliseconds);
            while (counter->shown.load() == shownAtOpen && std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (counter->shown.load() != shownAtOpen)
                f.firstFrameSeconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - opened)
                        .count();
            const auto begin =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(warmUpMilliseconds);
            std::this_thread::sleep_until(begin);
            const int64_t producedBefore = KivoSimFramesProduced(serial);
            const int64_t shownBefore = counter->shown.load();
            const double guiBefore = cpuSeconds(guiClock);
            const int64_t faultsBefore = pageFaults(guiThread);
            const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            const auto start = std::chrono::steady_clock::now();
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(runMilliseconds));
            f.shown = counter->shown.load() - shownBefore;
            f.produced = KivoSimFramesProduced(serial) - producedBefore;
            f.guiCpu = cpuSeconds(guiClock) - guiBefore;
            f.guiFaults = pageFaults(guiThread) - faultsBefore;
            f.processCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
            f.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            KivoSimSetManualFrames(serial, 1);
            KivoSimInjectFault("CamRingLock", backlogFaults, 5);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        watchdog.join();
        KivoSimClearFaults();
        return f;
    }

    // Delivers frames one at a time and lets each reach the screen before the
    // next: the counter must count every one of them once.
    int64_t countSingleFrames(const char* serial)
    {
        counter->settle();
        const int64_t before = counter->shown.load();
        for (int i = 0; i < checkFrames; ++i) {
            const int64_t expected = counter->shown.load() + 1;
            KivoSimDeliverFrame(serial, nullptr, 0);
            QElapsedTimer waited;
            waited.start();
            while (counter->shown.load() < expected && waited.elapsed() < 5000)
                runEventLoop(10);
        }
        runEventLoop(200);
        return counter->shown.load() - before;
    }

    QAction* action(const QString& text) const
    {
        const auto actions = window.findChildren<QAction*>();
        for (QAction* candidate : actions) {
            if (candidate->text() == text)
                return candidate;
        }
        qFatal("no action %s", qPrintable(text));
    }

    QTableView* view(const char* dockName) const
    {
        const auto* dock = window.findChild<QDockWidget*>(QString::fromLatin1(dockName));
        return qobject_cast<QTableView*>(dock->widget());
    }

    QTableView* badpixelView() const { return view("BadpixelListDock"); }

    void selectCamera(const char* serial)
    {
        QTableView* cameras = view("CameraListDock");
        const QAbstractItemModel* model = cameras->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 3).data().toString() == QLatin1String(serial)) {
                cameras->selectRow(row);
                return;
            }
        }
        qFatal("camera %s is not listed", serial);
    }

    QString dir;
    MainWindow window;
    BenchRunner* runner = nullptr;
    DisplayWidget* display = nullptr;
    std::unique_ptr<PaintCounter> counter;
};

void liveView(benchmark::State& state, LiveView* view, size_t index)
{
    const CameraCase& c = cases[index];
    for (auto _ : state)
        results[index] = view->run(c);
    const Figures& f = results[index];
    const double shown = double(f.shown);
    state.counters["produced"] = double(f.produced);
    state.counters["shown"] = shown;
    state.counters["shown_pct"] = f.produced > 0 ? 100.0 * shown / double(f.produced) : 0.0;
    state.counters["shown_per_s"] = shown / f.seconds;
    if (f.firstFrameSeconds >= 0.0)
        state.counters["first_frame_ms"] = 1e3 * f.firstFrameSeconds;
    state.counters["gui_cpu_ms_per_frame"] = f.shown > 0 ? 1e3 * f.guiCpu / shown : 0.0;
    state.counters["gui_page_faults_per_frame"] = f.shown > 0 ? double(f.guiFaults) / shown : 0.0;
    state.counters["process_cpu_ms_per_frame"] = f.shown > 0 ? 1e3 * f.processCpu / shown : 0.0;
}

void printSummary()
{
    std::printf("\nFrames in %d s, %d hot pixel entries highlighted: shown against produced\n",
                runMilliseconds / 1000, listEntries);
    std::printf("%-16s %7s %9s %7s %8s %10s %12s %8s  %s\n", "camera", "shown", "produced", "ratio",
                "shown/s", "library/s", "first frame", "check", "window's FPS label");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Figures& f = results[i];
        if (f.seconds <= 0.0)
            continue;
        const std::string first = f.firstFrameSeconds < 0.0
                                      ? "none"
                                      : std::to_string(int(f.firstFrameSeconds * 1e3)) + " ms";
        const std::string check =
            std::to_string(f.checkCounted) + " of " + std::to_string(checkFrames);
        std::printf("%-16s %7lld %9lld %6.1f%% %8.2f %10.2f %12s %8s  %s\n", cases[i].name.c_str(),
                    (long long)f.shown, (long long)f.produced,
                    f.produced > 0 ? 100.0 * double(f.shown) / double(f.produced) : 0.0,
                    double(f.shown) / f.seconds, double(f.produced) / f.seconds, first.c_str(),
                    check.c_str(), qPrintable(f.fpsLabel));
    }

    std::printf("\nCPU per shown frame against the frame period; busy: CPU seconds per second;"
                " GUI thread's page faults per shown frame\n");
    std::printf("%-16s %10s %10s %10s %9s %9s %9s %9s\n", "camera", "GUI", "process", "period",
                "GUI/per.", "GUI busy", "proc busy", "faults");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Figures& f = results[i];
        if (f.seconds <= 0.0)
            continue;
        const double period = 1e3 / cases[i].fps;
        const double gui = f.shown > 0 ? 1e3 * f.guiCpu / double(f.shown) : 0.0;
        const double process = f.shown > 0 ? 1e3 * f.processCpu / double(f.shown) : 0.0;
        if (f.shown > 0)
            std::printf("%-16s %7.2f ms %7.2f ms %7.2f ms %8.1f%%", cases[i].name.c_str(), gui,
                        process, period, 100.0 * gui / period);
        else
            std::printf("%-16s %10s %10s %7.2f ms %9s", cases[i].name.c_str(), "-", "-", period,
                        "-");
        std::printf(" %8.1f%% %8.1f%% %9.1f\n", 100.0 * f.guiCpu / f.seconds,
                    100.0 * f.processCpu / f.seconds,
                    f.shown > 0 ? double(f.guiFaults) / double(f.shown) : 0.0);
    }
}

// Settings, camera EEPROM files and control sockets go to the temporary
// folder, which is also the current directory, so that only this program's
// cameraparameter.xml applies.
void isolate(const QString& root)
{
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"}) {
        const QString sub = root + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(sub);
        QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
        qputenv(name, QFile::encodeName(sub));
    }
    QDir::setCurrent(root);
    QFile parameters(QStringLiteral("cameraparameter.xml"));
    if (!parameters.open(QIODevice::WriteOnly | QIODevice::Text) ||
        parameters.write(cameraParameters) < 0)
        qFatal("cannot write cameraparameter.xml");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Simulated cameras only: no search for GenICam cameras on the networks.
    qputenv("KIVO_GENICAM_CAMERAS", "0");
    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary folder");
    isolate(dir.path());

    QApplication app(argc, argv);
    if (KivoSimLoadWorld(world) != 0)
        qFatal("world: %s", KivoSimLastMessage());

    benchmark::Initialize(&argc, argv);
    LiveView view(dir.path());
    for (size_t i = 0; i < cases.size(); ++i)
        benchmark::RegisterBenchmark(("live_view/" + cases[i].name).c_str(), liveView, &view, i)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    return 0;
}
