#include "driveruserlist.h"

#include "kivo_api.h"

#include <string>
#include <utility>

DriverUserList::DriverUserList(uint32_t cameraHandle)
    : handle(cameraHandle)
{}

int32_t DriverUserList::read(HotpixelListBuffer& list, Absence absence) const
{
    int32_t status = CamHotPixel(handle, CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0);
    if (status != CAM_SUCCESS) {
        list = HotpixelListBuffer();
        return absence == Absence::MeansEmpty ? CAM_SUCCESS : status;
    }
    int32_t count = 0;
    status = CamHotPixel(handle, CAM_HP_DRIVER_LIST_COUNT, &count, sizeof count);
    if (status != CAM_SUCCESS)
        return status;
    list = HotpixelListBuffer::zeroed(count);
    return CamHotPixel(handle, CAM_HP_DRIVER_LIST_GET, list.data(), list.byteSize());
}

int32_t DriverUserList::replace(HotpixelListBuffer list) const
{
    return CamHotPixel(handle, CAM_HP_DRIVER_LIST_SET, list.data(), list.byteSize());
}

void DriverUserList::saveAs(HotpixelListBuffer list, const QString& filename) const
{
    HotpixelListBuffer backup;
    int32_t status = read(backup, Absence::MeansEmpty);
    if (status == CAM_SUCCESS)
        status = replace(std::move(list));
    if (status != CAM_SUCCESS)
        throw saveFailure(status);

    const int32_t saveStatus = transferFile(CAM_HP_DRIVER_LIST_SAVE_FILE, filename);
    const int32_t restoreStatus = replace(std::move(backup));
    if (saveStatus != CAM_SUCCESS)
        throw saveFailure(saveStatus);
    if (restoreStatus != CAM_SUCCESS)
        throw std::runtime_error(tr("The hot pixel list was written to the file, but the camera "
                                    "library's own list could not be put back (status %1).")
                                     .arg(restoreStatus)
                                     .toStdString());
}

DriverUserList::Loaded DriverUserList::load(const QString& filename) const
{
    HotpixelListBuffer backup;
    int32_t status = read(backup, Absence::MeansEmpty);
    if (status == CAM_SUCCESS)
        status = transferFile(CAM_HP_DRIVER_LIST_LOAD_FILE, filename);
    if (status != CAM_SUCCESS)
        throw loadFailure(status);
    Loaded loaded;
    // The library has just taken the file's list: not finding it is a failure.
    status = read(loaded.list, Absence::IsFailure);
    loaded.restoreStatus = replace(std::move(backup));
    if (status != CAM_SUCCESS)
        throw loadFailure(status);
    return loaded;
}

std::runtime_error DriverUserList::saveFailure(int32_t status)
{
    return std::runtime_error(tr("write to file failed with %1\n").arg(status).toStdString());
}

std::runtime_error DriverUserList::loadFailure(int32_t status)
{
    return std::runtime_error(tr("load from file failed with %1\n").arg(status).toStdString());
}

std::runtime_error DriverUserList::loadRestoreFailure(int32_t status)
{
    return std::runtime_error(tr("The hot pixel list was loaded from the file, but the camera "
                                 "library's own list could not be put back (status %1).")
                                  .arg(status)
                                  .toStdString());
}

int32_t DriverUserList::transferFile(uint32_t command, const QString& filename) const
{
    // The library takes the name as NUL-terminated 16-bit characters; the
    // size is not used for it.
    std::u16string name = filename.toStdU16String();
    return CamHotPixel(handle, command, name.data(), 0);
}
