#include "kivotestsession.h"

#include <QElapsedTimer>

#include <cstring>

namespace {

uint32_t cameraEvents[] = {CAM_EV_FRAME, CAM_EV_CAPTURE_FAILED, CAM_EV_DEVICE_RECONNECTED,
                           CAM_EV_DEVICE_REMOVED};

} // namespace

QByteArray lastErrorText(uint32_t handle)
{
    int32_t code = 0;
    char* text = nullptr;
    if (CamLastError(handle, &code, &text) != CAM_SUCCESS || !text)
        return QByteArray();
    return QByteArray(text);
}

std::vector<uint16_t> controlList(int (*read)(const char*, uint16_t*, int), const char* serial)
{
    const int n = read(serial, nullptr, 0);
    if (n < 0)
        return {};
    std::vector<uint16_t> words(size_t(n) * 2 + 1);
    read(serial, words.data(), int(words.size()));
    return words;
}

KivoTestSession::~KivoTestSession()
{
    close();
}

bool KivoTestSession::open(uint32_t deviceId, bool capture)
{
    close();
    uint32_t h = deviceId | CAM_USE_DEVICE_ID;
    if (CamOpen(&h, nullptr) != CAM_SUCCESS)
        return false;
    cameraHandle = h;
    bool ok = CamColorMode(h, CAM_CM_BAYER_RAW8) == CAM_SUCCESS &&
              CamImageArea(h, CAM_AOI_GET_MAX_SIZE, size, sizeof size) == CAM_SUCCESS;
    bits = CamColorMode(h, CAM_GET_CURRENT) == CAM_CM_RGB32 ? 32 : 8;
    int32_t area[4] = {0, 0, size[0], size[1]};
    ok = ok && CamImageArea(h, CAM_AOI_SET, area, sizeof area) == CAM_SUCCESS;
    for (int i = 0; ok && i < 3; ++i) {
        char* address = nullptr;
        int32_t id = 0;
        ok = CamAllocBuffer(h, size[0], size[1], bits, &address, &id) == CAM_SUCCESS;
        if (ok) {
            addresses.push_back(address);
            memoryIds.push_back(id);
            ok = CamRingAdd(h, address, id) == CAM_SUCCESS;
        }
    }
    for (uint32_t id : cameraEvents) {
        CAM_EVENT_INIT_RECORD record = {id, 0, 0};
        ok = ok && CamEvent(h, CAM_EVENT_INIT, &record, sizeof record) == CAM_SUCCESS;
    }
    ok = ok && CamEvent(h, CAM_EVENT_ENABLE, cameraEvents, sizeof cameraEvents) == CAM_SUCCESS;
    ok = ok && (!capture || CamStartCapture(h, 0) == CAM_SUCCESS);
    if (!ok)
        close();
    return ok;
}

void KivoTestSession::close()
{
    if (!cameraHandle)
        return;
    CamStopCapture(cameraHandle, 1);
    for (size_t i = 0; i < addresses.size(); ++i)
        CamFreeBuffer(cameraHandle, addresses[i], memoryIds[i]);
    addresses.clear();
    memoryIds.clear();
    CamClose(cameraHandle);
    cameraHandle = 0;
}

int32_t KivoTestSession::waitEvent(uint32_t timeoutMs, uint32_t& signalled) const
{
    CAM_EVENT_WAIT_RECORD record = {cameraEvents, 4, 0, timeoutMs, 0};
    const int32_t status = CamEvent(cameraHandle, CAM_EVENT_WAIT, &record, sizeof record);
    signalled = record.signalled;
    return status;
}

bool KivoTestSession::waitFrame(uint32_t timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    do {
        uint32_t signalled = 0;
        const qint64 left = qMax(qint64(0), qint64(timeoutMs) - timer.elapsed());
        if (waitEvent(uint32_t(left), signalled) == CAM_SUCCESS && signalled == CAM_EV_FRAME)
            return true;
    } while (timer.elapsed() < qint64(timeoutMs));
    return false;
}

std::vector<uint8_t> KivoTestSession::latestFrame() const
{
    char* last = nullptr;
    if (CamRingLatest(cameraHandle, nullptr, nullptr, &last) != CAM_SUCCESS ||
        CamRingLock(cameraHandle, -1, last) != CAM_SUCCESS)
        return {};
    std::vector<uint8_t> frame(frameBytes());
    std::memcpy(frame.data(), last, frame.size());
    CamRingUnlock(cameraHandle, -1, last);
    return frame;
}
