#include "camerahotpixellists.h"

#include "kivo_api.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Larger factory counts are taken as a broken answer, not as a list to read.
constexpr int32_t maximumFactoryLength = 1000;
// Word 0 of a list buffer holds the count in 16 bits.
constexpr int32_t maximumBufferLength = 65535;

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
    HotpixelListBuffer list;
    if (factoryCount < 1 || factoryCount > maximumFactoryLength ||
        readList(CAM_HP_FACTORY_LIST, factoryCount, list) != CAM_SUCCESS)
        return HotpixelListBuffer();
    return list;
}

HotpixelListBuffer CameraHotpixelLists::readUserList(int32_t maximumUserCount) const
{
    int32_t count = 0;
    HotpixelListBuffer list;
    int32_t status = CamHotPixel(handle, CAM_HP_USER_COUNT, &count, sizeof count);
    if (status == CAM_SUCCESS) {
        const int32_t readable = std::min(maximumUserCount, maximumBufferLength);
        if (count < 0 || count > readable)
            throw std::runtime_error(
                tr("The camera reports %1 user hot pixel entries but holds at most %2, so its "
                   "user hot pixel list could not be read.")
                    .arg(count)
                    .arg(readable)
                    .toStdString());
        if (count > 0)
            status = readList(CAM_HP_USER_LIST, count, list);
    }
    if (status != CAM_SUCCESS)
        throw std::runtime_error(
            tr("The camera's user hot pixel list could not be read (status %1).")
                .arg(status)
                .toStdString());
    return list;
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

int32_t CameraHotpixelLists::readList(uint32_t command, int32_t count,
                                      HotpixelListBuffer& list) const
{
    list = HotpixelListBuffer::zeroed(count);
    return CamHotPixel(handle, command, list.data(), list.byteSize());
}
