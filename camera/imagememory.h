#pragma once

#include "imageinfo.h"

#include <cstdint>

// One image buffer allocated by the camera library for a handle; freed
// through the library again when destroyed.
class ImageMemory
{
public:
    // Throws std::runtime_error "Can't allocate image memory.".
    ImageMemory(uint32_t handle, const ImageInfo& info);
    ~ImageMemory();

    ImageMemory(const ImageMemory&) = delete;
    ImageMemory& operator=(const ImageMemory&) = delete;

    char* pixels() const { return address; }
    int32_t id() const { return memoryId; }

private:
    uint32_t handle = 0;
    int32_t memoryId = 0;
    // Owned by the camera library.
    char* address = nullptr;
};
