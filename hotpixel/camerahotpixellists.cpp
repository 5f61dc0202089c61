#include "camerahotpixellists.h"

#include "kivo_api.h"

#include <stdexcept>

namespace {

// Larger counts are taken as a broken answer, not as a list to read.
constexpr int32_t maximumListLength = 1000;

} // namespace

CameraHotpixelLists::CameraHotpixelLists(uint32_t cameraHandle)
    : handle(cameraHandle)
{}

void CameraHotpixelLists::queryMaximumUserCount(int32_t& maximumUserCount) const
{
    CamHotPixel(handle, CAM_HP_USER_MAX_COUNT, &maximumUserCount, sizeof maximumUserCount);
}

void CameraHotpixelLists::queryFactoryCount(int32_t& factoryCount) const
{
    CamHotPixel(handle, CAM_HP_FACTORY_COUNT, &factoryCount, sizeof factoryCount);
}

HotpixelListBuffer CameraHotpixelLists::readFactoryList(int32_t factoryCount) const
{
    return readList(CAM_HP_FACTORY_LIST, factoryCount);
}

HotpixelListBuffer CameraHotpixelLists::readUserList() const
{
    int32_t count = 0;
    CamHotPixel(handle, CAM_HP_USER_COUNT, &count, sizeof count);
    return readList(CAM_HP_USER_LIST, count);
}

void CameraHotpixelLists::writeUserList(HotpixelListBuffer list) const
{
    const int32_t status =
        list.pairCount() == 0
            ? CamHotPixel(handle, CAM_HP_USER_DELETE, nullptr, 0)
            : CamHotPixel(handle, CAM_HP_USER_WRITE, list.data(), list.byteSize());
    if (status != CAM_SUCCESS)
        throw std::runtime_error(tr("Error writing hotpixel list").toStdString());
}

HotpixelListBuffer CameraHotpixelLists::readList(uint32_t command, int32_t count) const
{
    if (count < 1 || count > maximumListLength)
        return HotpixelListBuffer();
    HotpixelListBuffer list = HotpixelListBuffer::zeroed(count);
    if (CamHotPixel(handle, command, list.data(), list.byteSize()) != CAM_SUCCESS)
        return HotpixelListBuffer();
    return list;
}
