#pragma once

#include "kivo_api.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

// Serials and device ids of the library's built-in cameras.
namespace DefaultWorld {
constexpr const char* colourSerial = "SIM0001280";
constexpr uint32_t colourDevice = 1;
constexpr const char* monoSerial = "SIM0000752";
constexpr uint32_t monoDevice = 2;
constexpr const char* busySerial = "SIM0001600";
constexpr uint32_t busyDevice = 3;
} // namespace DefaultWorld

// The text CamLastError gives for handle, empty when it fails.
QByteArray lastErrorText(uint32_t handle);

// Words of a hot pixel list as the control interface gives them.
std::vector<uint16_t> controlList(int (*read)(const char*, uint16_t*, int), const char* serial);

// One camera opened as the program opens it: colour mode 11, the full
// sensor, three ring buffers, and the events 2, 8, 9 and 128 registered and
// enabled. Closes the camera when it goes away.
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

    uint32_t handle() const { return cameraHandle; }
    int width() const { return size[0]; }
    int height() const { return size[1]; }
    int bitsPerPixel() const { return bits; }
    size_t frameBytes() const { return size_t(size[0]) * size_t(size[1]) * size_t(bits / 8); }
    const std::vector<char*>& buffers() const { return addresses; }

    // Waits for one of the registered camera events; its status, the event in
    // signalled.
    int32_t waitEvent(uint32_t timeoutMs, uint32_t& signalled) const;
    // Waits up to timeoutMs for event 2, skipping others.
    bool waitFrame(uint32_t timeoutMs = 10000) const;
    // A copy of the latest frame, taken under the ring's lock.
    std::vector<uint8_t> latestFrame() const;

private:
    uint32_t cameraHandle = 0;
    int32_t size[2] = {0, 0};
    int bits = 8;
    std::vector<char*> addresses;
    std::vector<int32_t> memoryIds;
};
