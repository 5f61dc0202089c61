#pragma once

#include "imageinfo.h"
#include "imagememory.h"

#include <cstdint>
#include <memory>
#include <vector>

// The capture ring of an open camera: the only owner of its image buffers.
class ImageSequence
{
public:
    ImageSequence() = default;
    ~ImageSequence();

    ImageSequence(const ImageSequence&) = delete;
    ImageSequence& operator=(const ImageSequence&) = delete;

    // Replaces the ring by count new buffers of info's size, each added to
    // the camera's ring. Throws std::runtime_error with the user-visible
    // text; the buffers made so far stay until clear().
    void allocate(uint32_t handle, int count, const ImageInfo& info);
    // Empties the camera's ring and frees every buffer.
    void clear();

    int count() const { return static_cast<int>(buffers.size()); }

private:
    uint32_t handle = 0;
    ImageInfo info;
    std::vector<std::unique_ptr<ImageMemory>> buffers;
};
