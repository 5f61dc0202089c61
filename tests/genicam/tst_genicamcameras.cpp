// GenICam cameras as a user meets them, against Aravis's fake GigE Vision
// cameras on loopback addresses, inside a loopback-only network namespace;
// the second camera has the defect table of defect-table-nodes.xml.

// Before any Qt header: GLib names a member "signals", a word Qt defines.
#include <arv.h>

#include "badpixellistmodel.h"
#include "detectiondialogue.h"
#include "displaywidget.h"
#include "gobjectptr.h"
#include "kivo_api.h"
#include "magnifiercontrol.h"
#include "parameterblockwidget.h"
#include "scriptedrunner.h"
#include "testutils.h"
#include "windowdriver.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

using genicam::GObjectPtr;

namespace {

const QString streaming = QStringLiteral("GC0001"); // on 127.0.0.1
const QString spare = QStringLiteral("GC0002");     // on 127.0.0.2
const uchar dark = 10;
const uchar darkMono = 20;
// Row by row, as the list holds them.
const QList<QPoint> planted = {{513, 77}, {100, 100}, {1001, 1500}, {2046, 2046}};

// In the spare camera's defect table from the start.
const QList<QPoint> factoryPlanted = {{3, 4}, {2000, 7}};
// The defect table's registers in the fake camera's memory.
const guint32 correctionRegister = 0x8010;
const guint32 countRegisters = 0x8020; // factory, then user
const guint32 entryRegisters = 0x9000; // factory; the user's 0x1000 on

// What the fake camera was last asked to show, for the checks on settings.
struct FillRecord
{
    std::atomic<guint32> exposureUs{0};
    std::atomic<guint32> gain{0};
};

// Dark frames with the planted pixels bright; Mono8 frames a little less dark,
// so that a frame shows which format the camera sent.
void fillDarkWithHotPixels(ArvBuffer* buffer, void* data, guint32 exposureUs, guint32 gain,
                           ArvPixelFormat format)
{
    auto* record = static_cast<FillRecord*>(data);
    record->exposureUs = exposureUs;
    record->gain = gain;
    // The buffer counts no bytes received yet: its size is the image's.
    auto* pixels = static_cast<uchar*>(const_cast<void*>(arv_buffer_get_data(buffer, nullptr)));
    const int width = arv_buffer_get_image_width(buffer);
    const size_t size = size_t(width) * size_t(arv_buffer_get_image_height(buffer));
    std::memset(pixels, format == ARV_PIXEL_FORMAT_MONO_8 ? darkMono : dark, size);
    for (const QPoint& p : planted) {
        const size_t at = size_t(p.y()) * size_t(width) + size_t(p.x());
        if (at < size)
            pixels[at] = 250;
    }
}

BadpixelListModel* listModel(const WindowDriver& driver)
{
    return qobject_cast<BadpixelListModel*>(driver.badpixelView()->model());
}

QList<QPoint> entriesOf(const WindowDriver& driver, Pixelclass pixelclass)
{
    QList<QPoint> result;
    for (const Badpixel& entry : listModel(driver)->badpixelList()) {
        if (entry.pixelclass == pixelclass)
            result << QPoint(entry.x, entry.y);
    }
    return result;
}

QList<QPoint> userEntries(const WindowDriver& driver)
{
    QList<QPoint> result = entriesOf(driver, User);
    std::sort(result.begin(), result.end(), [](QPoint a, QPoint b) {
        return std::make_pair(a.y(), a.x()) < std::make_pair(b.y(), b.x());
    });
    return result;
}

uint32_t deviceIdOf(const WindowDriver& driver, const QString& serial)
{
    return driver.cameraView()->model()->index(driver.cameraRow(serial), 1).data().toUInt();
}

guint32 memoryWord(ArvGvFakeCamera* camera, guint32 address)
{
    guint32 word = 0;
    arv_fake_camera_read_memory(arv_gv_fake_camera_get_fake_camera(camera), address, 4, &word);
    return GUINT32_FROM_BE(word);
}

void setMemoryWord(ArvGvFakeCamera* camera, guint32 address, guint32 value)
{
    const guint32 word = GUINT32_TO_BE(value);
    arv_fake_camera_write_memory(arv_gv_fake_camera_get_fake_camera(camera), address, 4, &word);
}

// Lists the user entries and writes them, answering Yes.
void writeUserList(WindowDriver& driver, const QList<QPoint>& user)
{
    QList<Badpixel> list;
    for (const QPoint& p : entriesOf(driver, Factory))
        list << Badpixel{uint16_t(p.x()), uint16_t(p.y()), Factory};
    for (const QPoint& p : user)
        list << Badpixel{uint16_t(p.x()), uint16_t(p.y()), User};
    listModel(driver)->setBadpixelList(list);
    driver.runner->answers = {QMessageBox::Yes};
    driver.action(QStringLiteral("&Write hot pixel"))->trigger();
}

} // namespace

class TestGenicamCameras : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestUtils::IsolatedEnvironment> environment;
    FillRecord record;
    GObjectPtr<ArvGvFakeCamera> streamingCamera;
    GObjectPtr<ArvGvFakeCamera> spareCamera;
    std::unique_ptr<WindowDriver> driver;

    // Opens the camera once it is free, as a user would.
    // Opens the camera once the background search shows it free; false if it
    // never becomes free or never opens.
    bool openWhenFree(const QString& serial)
    {
        const auto status = [&](const char* wanted) {
            return QTest::qWaitFor(
                [&] { return driver->cameraStatus(serial) == QLatin1String(wanted); }, 10000);
        };
        if (!status("free"))
            return false;
        driver->openCamera(serial);
        return status("opened");
    }

private slots:
    void initTestCase()
    {
        environment = std::make_unique<TestUtils::IsolatedEnvironment>();
        QDir::setCurrent(environment->path());
        // Start values for GenICam cameras (sensor id FFFF): 5 frames per second,
        // 5 ms exposure, master gain 20.
        QVERIFY(TestUtils::writeFile(QStringLiteral("cameraparameter.xml"),
                                     R"(<CameraSettings><Sensor ID="FFFF">)"
                                     R"(<Timing exposure="5" pixelclock="1" framerate="5"/>)"
                                     R"(<Gain master="20" red="0" green="0" blue="0"/>)"
                                     R"(</Sensor></CameraSettings>)"));
        streamingCamera.reset(arv_gv_fake_camera_new("127.0.0.1", "GC0001"));
        spareCamera.reset(arv_gv_fake_camera_new_full("127.0.0.2", "GC0002", DEFECT_TABLE_XML));
        QVERIFY(arv_gv_fake_camera_is_running(streamingCamera.get()));
        QVERIFY(arv_gv_fake_camera_is_running(spareCamera.get()));
        for (ArvGvFakeCamera* camera : {streamingCamera.get(), spareCamera.get()})
            arv_fake_camera_set_fill_pattern(arv_gv_fake_camera_get_fake_camera(camera),
                                             fillDarkWithHotPixels, &record);
        setMemoryWord(spareCamera.get(), countRegisters, guint32(factoryPlanted.size()));
        for (int i = 0; i < factoryPlanted.size(); ++i) {
            setMemoryWord(spareCamera.get(), entryRegisters + 8 * i, factoryPlanted[i].x());
            setMemoryWord(spareCamera.get(), entryRegisters + 8 * i + 4, factoryPlanted[i].y());
        }
        driver = std::make_unique<WindowDriver>();
    }

    void listShowsBothSources()
    {
        // The search runs in the background: the cameras come with an arrival event.
        QTRY_VERIFY_WITH_TIMEOUT(driver->cameraRow(spare) >= 0 && driver->cameraRow(streaming) >= 0,
                                 10000);
        const QAbstractItemModel* model = driver->cameraView()->model();
        for (const QString& serial : {streaming, spare}) {
            const int row = driver->cameraRow(serial);
            QCOMPARE(model->index(row, 2).data().toString(), QStringLiteral("Fake"));
            QCOMPARE(driver->cameraStatus(serial), QStringLiteral("free"));
            QVERIFY(deviceIdOf(*driver, serial) >= 0x7000);
            // The long ids are shown whole, not cut to an ellipsis.
            const QTableView* view = driver->cameraView();
            for (int column : {0, 1})
                QVERIFY(view->columnWidth(column) >
                        view->fontMetrics().horizontalAdvance(
                            model->index(row, column).data().toString()));
        }
        QVERIFY(driver->cameraRow(QStringLiteral("SIM0001280")) >= 0);
    }

    void colourModes_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("pixel");

        QTest::newRow("raw bayer") << CAM_CM_BAYER_RAW8 << CAM_CM_BAYER_RAW8 << int(dark);
        QTest::newRow("mono") << CAM_CM_MONO8 << CAM_CM_MONO8 << int(darkMono);
        QTest::newRow("rgb refused") << CAM_CM_RGB32 << CAM_CM_MONO8 << -1;
    }

    void colourModes()
    {
        QFETCH(int, requested);
        QFETCH(int, current);
        QFETCH(int, pixel);

        // Straight through the library, with the same calls the camera session makes.
        uint32_t handle = deviceIdOf(*driver, spare) | CAM_USE_DEVICE_ID;
        QCOMPARE(CamOpen(&handle, nullptr), CAM_SUCCESS);
        CamColorMode(handle, CAM_CM_MONO8);
        QCOMPARE(CamColorMode(handle, requested) == CAM_SUCCESS, pixel >= 0);
        QCOMPARE(CamColorMode(handle, CAM_GET_CURRENT), current);
        if (pixel >= 0) {
            int32_t area[4] = {0, 0, 64, 32};
            QCOMPARE(CamImageArea(handle, CAM_AOI_SET, area, 16), CAM_SUCCESS);
            char* address = nullptr;
            int32_t memoryId = 0;
            QCOMPARE(CamAllocBuffer(handle, 64, 32, 8, &address, &memoryId), CAM_SUCCESS);
            QCOMPARE(CamRingAdd(handle, address, memoryId), CAM_SUCCESS);
            QCOMPARE(CamStartCapture(handle, 0), CAM_SUCCESS);
            char* last = nullptr;
            QTRY_COMPARE(CamRingLatest(handle, nullptr, nullptr, &last), CAM_SUCCESS);
            QCOMPARE(static_cast<void*>(last), static_cast<void*>(address));
            QCOMPARE(int(uchar(address[64 * 31 + 63])), pixel);
            QCOMPARE(CamStopCapture(handle, 1), CAM_SUCCESS);
        }
        QCOMPARE(CamClose(handle), CAM_SUCCESS);
    }

    void openShowsLiveImageWithStartValues()
    {
        QVERIFY(openWhenFree(streaming));
        QTRY_COMPARE(driver->display()->imageLabel->size(), QSize(2048, 2048));
        // The start values of the parameter file reached the camera.
        QTRY_COMPARE(record.exposureUs.load(), 5000u);
        QCOMPARE(record.gain.load(), 2u); // 20 % of the fake camera's 0 to 10
        const auto* block = driver->window.findChild<ParameterBlockWidget*>();
        QTRY_COMPARE(block->framerateWidget->spinBox->value(), 5.0);
    }

    void parameterRanges()
    {
        const auto* block = driver->window.findChild<ParameterBlockWidget*>();
        QVERIFY(block);
        const auto range = [](const QAbstractSpinBox* spin) {
            return qMakePair(spin->property("minimum").toDouble(),
                             spin->property("maximum").toDouble());
        };
        // The fake camera's AcquisitionFrameRate, ExposureTimeAbs (µs) and GainRaw.
        QCOMPARE(range(block->framerateWidget->spinBox), qMakePair(0.1, 1000.0));
        QCOMPARE(range(block->exposureWidget->spinBox), qMakePair(0.01, 10000.0));
        QCOMPARE(range(block->mastergainWidget->spinBox), qMakePair(0.0, 100.0));
    }

    void detectionFindsPlantedHotPixels()
    {
        driver->action(QStringLiteral("Detec&t hot pixel"))->trigger();
        auto* dialog = driver->window.findChild<DetectionDialogue*>();
        QVERIFY(dialog && dialog->isVisible());
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        // The run offers its candidates; Add puts them into the list.
        QPushButton* add = nullptr;
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            add = button->text() == QLatin1String("Add") ? button : add;
        QVERIFY(add);
        QTRY_VERIFY_WITH_TIMEOUT(add->isEnabled(), 20000);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(userEntries(*driver), planted);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
    }

    void defectTableRoundTrip()
    {
        driver->action(QStringLiteral("&Close camera"))->trigger();
        QVERIFY(openWhenFree(spare));
        QCOMPARE(driver->label("listPlaceLabel"), QStringLiteral("hot pixel list in the camera"));
        QCOMPARE(entriesOf(*driver, Factory), factoryPlanted);

        const QList<QPoint> user = {{7, 8}, {1500, 33}, {2047, 2047}};
        writeUserList(*driver, user);
        QCOMPARE(memoryWord(spareCamera.get(), countRegisters + 4), guint32(user.size()));
        QList<QPoint> stored;
        for (guint32 i = 0; i < guint32(user.size()); ++i)
            stored << QPoint(memoryWord(spareCamera.get(), entryRegisters + 0x1000 + 8 * i),
                             memoryWord(spareCamera.get(), entryRegisters + 0x1004 + 8 * i));
        QCOMPARE(stored, user);
        for (guint32 state : {1u, 0u}) {
            driver->action(QStringLiteral("Hot pixel correction"))->trigger();
            QCOMPARE(memoryWord(spareCamera.get(), correctionRegister), state);
        }

        driver->action(QStringLiteral("&Close camera"))->trigger();
        QVERIFY(listModel(*driver)->badpixelList().isEmpty());
        QVERIFY(openWhenFree(spare));
        QCOMPARE(userEntries(*driver), user);
        QCOMPARE(entriesOf(*driver, Factory), factoryPlanted);
        driver->action(QStringLiteral("&Close camera"))->trigger();
    }

    void hostSideListAndCorrection()
    {
        QVERIFY(openWhenFree(streaming));
        const QString hostSide = QStringLiteral("no defect table: host-side list");
        QCOMPARE(driver->label("listPlaceLabel"), hostSide);
        QCOMPARE(driver->label("listPlaceDockLabel"), hostSide);
        writeUserList(*driver, planted);
        // The binary files go through the library's driver list, as on any camera.
        const QString file = environment->path() + QStringLiteral("/host.bin");
        driver->runner->fileNames = QStringList{file};
        driver->action(QStringLiteral("&Save hot pixel list"))->trigger();
        QVERIFY(QFileInfo::exists(file));

        // The magnifier shows the frame pixel by pixel as the view gets it.
        const QLabel* value = driver->window.findChild<MagnifierControl*>()->valueLabel;
        for (const int shown : {int(dark), 250}) {
            driver->action(QStringLiteral("Hot pixel correction"))->trigger();
            for (int row = 0; row < planted.size(); ++row) {
                driver->badpixelView()->selectRow(row);
                QTRY_COMPARE(value->text(), QString::number(shown));
            }
        }

        // The list belongs to the camera's serial, not to this window.
        driver.reset();
        driver = std::make_unique<WindowDriver>();
        QVERIFY(openWhenFree(streaming));
        QCOMPARE(userEntries(*driver), planted);
    }

    void secondClientHoldsControl()
    {
        GObjectPtr<GInetAddress> loopback(g_inet_address_new_from_string("127.0.0.1"));
        GObjectPtr<GInetAddress> spareAddress(g_inet_address_new_from_string("127.0.0.2"));
        GObjectPtr<ArvDevice> otherClient(
            arv_gv_device_new(loopback.get(), spareAddress.get(), nullptr));
        QVERIFY(otherClient);
        QTRY_COMPARE_WITH_TIMEOUT(driver->cameraStatus(spare), QStringLiteral("in use"), 5000);
        uint32_t handle = deviceIdOf(*driver, spare) | CAM_USE_DEVICE_ID;
        QVERIFY(CamOpen(&handle, nullptr) != CAM_SUCCESS);
        int32_t code = 0;
        char* text = nullptr;
        QCOMPARE(CamLastError(0, &code, &text), CAM_SUCCESS);
        QCOMPARE(QString::fromLatin1(text),
                 QStringLiteral("Camera GC0002 is in use by another program."));
    }

    void cameraStoppedMidStream()
    {
        QVERIFY(driver->display()->imageLabel->isVisible());
        streamingCamera.reset();
        // The window stays responsive: the image goes, then the row.
        QTRY_VERIFY_WITH_TIMEOUT(!driver->display()->imageLabel->isVisible(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(driver->cameraRow(streaming), -1, 10000);
        QVERIFY(driver->cameraRow(spare) >= 0);
        QElapsedTimer closing;
        closing.start();
        driver->action(QStringLiteral("&Close camera"))->trigger();
        // Waiting out Aravis's retries on the vanished camera would take 2.5 s or more.
        QVERIFY(closing.elapsed() < 2000);
    }
};

QTEST_MAIN(TestGenicamCameras)
#include "tst_genicamcameras.moc"
