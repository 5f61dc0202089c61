#include "kivotestsession.h"

#include <QByteArrayList>
#include <QFile>

#include <cstring>

#include <sys/stat.h>

namespace {

const std::vector<uint32_t> cameraEvents = {CAM_EV_FRAME, CAM_EV_CAPTURE_FAILED,
                                            CAM_EV_DEVICE_RECONNECTED, CAM_EV_DEVICE_REMOVED};

} // namespace

QByteArray testWorld(std::initializer_list<QByteArray> extraFields)
{
    QByteArrayList cameras;
    for (const QByteArray& fields : extraFields) {
        const QByteArray n = QByteArray::number(cameras.size() + 1);
        QByteArray camera = R"({"serial":"TEST)" + n + R"(","model":"Test","deviceId":)" + n +
                            R"(,"width":64,"height":48)";
        cameras << (fields.isEmpty() ? camera : camera + ',' + fields) + '}';
    }
    return R"({"cameras":[)" + cameras.join(',') + "]}";
}

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

mode_t fileMode(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

std::vector<CAM_CAMERA_INFO> listCameras()
{
    constexpr uint32_t capacity = 16;
    std::vector<uint32_t> storage(1 + capacity * sizeof(CAM_CAMERA_INFO) / 4);
    auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
    list->count = capacity;
    if (CamList(list) != CAM_SUCCESS)
        return {};
    return std::vector<CAM_CAMERA_INFO>(list->cameras, list->cameras + list->count);
}

CAM_CAMERA_INFO listed(const char* serial)
{
    for (const CAM_CAMERA_INFO& info : listCameras()) {
        if (qstrcmp(info.serial, serial) == 0)
            return info;
    }
    return CAM_CAMERA_INFO{};
}

bool armEvents(uint32_t handle, std::vector<uint32_t> ids)
{
    for (uint32_t id : ids) {
        CAM_EVENT_INIT_RECORD record = {id, 0, 0};
        if (CamEvent(handle, CAM_EVENT_INIT, &record, sizeof record) != CAM_SUCCESS)
            return false;
    }
    return CamEvent(handle, CAM_EVENT_ENABLE, ids.data(), uint32_t(ids.size() * 4)) == CAM_SUCCESS;
}

Waited waitEvents(uint32_t handle, std::vector<uint32_t> ids, uint32_t timeoutMs, bool all)
{
    CAM_EVENT_WAIT_RECORD record = {ids.data(), uint32_t(ids.size()), all ? 1U : 0U, timeoutMs, 0};
    Waited w;
    w.status = CamEvent(handle, CAM_EVENT_WAIT, &record, sizeof record);
    w.signalled = record.signalled;
    return w;
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
    ok = ok && armEvents(h, cameraEvents) && (!capture || CamStartCapture(h, 0) == CAM_SUCCESS);
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

bool KivoTestSession::loadWorld(const QByteArray& json)
{
    close();
    return KivoSimLoadWorld(json.isEmpty() ? nullptr : json.constData()) == 0;
}

Waited KivoTestSession::waitEvent(uint32_t timeoutMs) const
{
    return waitEvents(cameraHandle, cameraEvents, timeoutMs);
}

bool KivoTestSession::waitFrame(uint32_t timeoutMs) const
{
    return waitEvents(cameraHandle, {CAM_EV_FRAME}, timeoutMs).status == CAM_SUCCESS;
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

std::vector<uint8_t> KivoTestSession::deliverFrame(const char* serial) const
{
    if (KivoSimDeliverFrame(serial, nullptr, 0) != 0 || !waitFrame(0))
        return {};
    return latestFrame();
}
