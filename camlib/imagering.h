#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kivo {

// One block of image memory handed out by CamAllocBuffer.
struct ImageBuffer
{
    int32_t memoryId = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool locked = false;
    std::unique_ptr<uint8_t[]> pixels;

    size_t bytes() const { return size_t(width) * size_t(height) * size_t(bitsPerPixel / 8); }
    char* address() const { return reinterpret_cast<char*>(pixels.get()); }
};

// The image memory of one open camera and the ring of buffers the camera
// fills in turn. Every lookup throws CamError for an unknown buffer.
class ImageRing
{
public:
    ImageBuffer& allocate(int width, int height, int bitsPerPixel);
    void release(const char* address, int32_t memoryId);
    void add(const char* address, int32_t memoryId);
    void clear();
    bool isEmpty() const { return ring.empty(); }
    bool contains(const ImageBuffer* buffer) const;
    const std::vector<ImageBuffer*>& buffers() const { return ring; }

    // memoryId -1: the buffer is found by its address alone.
    ImageBuffer& find(int32_t memoryId, const char* address) const;
    ImageBuffer& inRing(int32_t memoryId, const char* address) const;

    // The buffer after the last one written, in ring order, that is not
    // locked; null when every buffer is locked.
    ImageBuffer* nextTarget() const;
    void markWritten(ImageBuffer* buffer);
    // The buffer holding the latest complete image, or null.
    ImageBuffer* latest() const { return last; }

private:
    std::vector<std::unique_ptr<ImageBuffer>> memory;
    std::vector<ImageBuffer*> ring;
    ImageBuffer* last = nullptr;
    int32_t nextMemoryId = 1;
};

} // namespace kivo
