#pragma once

#include "kivo_api.h"
#include "kivo_control.h"
#include "testutils.h"

#include <QByteArray>
#include <QTest>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include <sys/types.h>

// Serials and device ids of the library's built-in cameras.
namespace DefaultWorld {
constexpr const char* colourSerial = "SIM0001280";
constexpr uint32_t colourDevice = 1;
constexpr const char* monoSerial = "SIM0000752";
constexpr uint32_t monoDevice = 2;
} // namespace DefaultWorld

// A world of 64x48 cameras "TEST1", "TEST2", ... with device ids 1, 2, ...,
// one per entry, each entry its extra JSON fields.
QByteArray testWorld(std::initializer_list<QByteArray> extraFields);

// The text CamLastError gives for handle, empty when it fails.
QByteArray lastErrorText(uint32_t handle);

// Words of a hot pixel list as the control interface gives them.
std::vector<uint16_t> controlList(int (*read)(const char*, uint16_t*, int), const char* serial);

// The file type and permission bits of path, 0 when there is no such file.
mode_t fileMode(const QString& path);

// The records of CamList, and the one of serial (zeroed when not listed).
std::vector<CAM_CAMERA_INFO> listCameras();
CAM_CAMERA_INFO listed(const char* serial);

struct Waited
{
    int32_t status = -1;
    uint32_t signalled = 0;
};

// Registers and enables the events on handle; waits for any or all of them.
bool armEvents(uint32_t handle, std::vector<uint32_t> ids);
Waited waitEvents(uint32_t handle, std::vector<uint32_t> ids, uint32_t timeoutMs, bool all = false);

// One camera opened as the program opens it: colour mode 11, the full
// sensor, three ring buffers, and the events 2, 8, 9 and 128 armed. Closes
// the camera when it goes away.
class KivoTestSession
{
public:
    KivoTestSession() = default;
    ~KivoTestSession();
    KivoTestSession(const KivoTestSession&) = delete;
    KivoTestSession& operator=(const KivoTestSession&) = delete;

    // False when any step fails; the camera is closed again then.
    bool open(uint32_t deviceId, bool capture = true);
    void close();
    // Closes the camera and loads the world, the built-in one when json is empty.
    bool loadWorld(const QByteArray& json = QByteArray());

    uint32_t handle() const { return cameraHandle; }
    int width() const { return size[0]; }
    size_t frameBytes() const { return size_t(size[0]) * size_t(size[1]) * size_t(bits / 8); }
    const std::vector<char*>& buffers() const { return addresses; }

    // Waits for any of the events, or for event 2 alone.
    Waited waitEvent(uint32_t timeoutMs) const;
    bool waitFrame(uint32_t timeoutMs = 10000) const;
    // A copy of the latest frame, taken under the ring's lock.
    std::vector<uint8_t> latestFrame() const;
    // Has the camera, in manual frames, produce one frame; empty on failure.
    std::vector<uint8_t> deliverFrame(const char* serial) const;

private:
    uint32_t cameraHandle = 0;
    int32_t size[2] = {0, 0};
    int bits = 8;
    std::vector<char*> addresses;
    std::vector<int32_t> memoryIds;
};
