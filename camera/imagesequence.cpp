#include "imagesequence.h"

#include "kivo_api.h"

#include <QCoreApplication>

#include <stdexcept>

ImageSequence::~ImageSequence()
{
    clear();
}

void ImageSequence::allocate(uint32_t handle, int count, const ImageInfo& info)
{
    clear();
    this->handle = handle;
    this->info = info;
    while (static_cast<int>(buffers.size()) < count) {
        auto memory = std::make_unique<ImageMemory>(handle, info);
        if (CamRingAdd(handle, memory->pixels(), memory->id()) != CAM_SUCCESS)
            throw std::runtime_error(
                QCoreApplication::translate("ImageSequence", "Can't add buffer to sequence.")
                    .toStdString());
        buffers.push_back(std::move(memory));
    }
}

void ImageSequence::clear()
{
    if (buffers.empty())
        return;
    CamRingClear(handle);
    // Freed in the order they were added.
    for (auto& memory : buffers)
        memory.reset();
    buffers.clear();
}
