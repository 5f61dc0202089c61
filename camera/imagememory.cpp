#include "imagememory.h"

#include "kivo_api.h"

#include <QCoreApplication>

#include <stdexcept>

ImageMemory::ImageMemory(uint32_t handle, const ImageInfo& info)
    : handle(handle)
{
    if (CamAllocBuffer(handle, info.size.width(), info.size.height(), info.bitsPerPixel, &address,
                       &memoryId) != CAM_SUCCESS)
        throw std::runtime_error(
            QCoreApplication::translate("ImageMemory", "Can't allocate image memory.")
                .toStdString());
}

ImageMemory::~ImageMemory()
{
    CamFreeBuffer(handle, address, memoryId);
}
