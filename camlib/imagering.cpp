#include "imagering.h"

#include "camerror.h"
#include "camstatus.h"

#include <algorithm>
#include <new>

namespace kivo {

namespace {

// Far beyond any sensor of the family; guards against sizes that overflow.
constexpr size_t maxBufferBytes = size_t(256) << 20;

} // namespace

ImageBuffer& ImageRing::allocate(int width, int height, int bitsPerPixel)
{
    if (width <= 0 || height <= 0)
        throw CamError(StatusInvalidParameter, "Image memory needs a positive width and height.");
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        throw CamError(StatusInvalidParameter, "Bits per pixel must be 8, 16, 24 or 32.");
    auto buffer = std::make_unique<ImageBuffer>();
    buffer->width = width;
    buffer->height = height;
    buffer->bitsPerPixel = bitsPerPixel;
    if (size_t(width) * size_t(height) > maxBufferBytes / size_t(bitsPerPixel / 8))
        throw CamError(StatusOutOfMemory, "Image memory of that size cannot be allocated.");
    buffer->pixels.reset(new (std::nothrow) uint8_t[buffer->bytes()]());
    if (!buffer->pixels)
        throw CamError(StatusOutOfMemory, "Out of memory for image memory.");
    buffer->memoryId = nextMemoryId++;
    memory.push_back(std::move(buffer));
    return *memory.back();
}

ImageBuffer& ImageRing::find(int32_t memoryId, const char* address) const
{
    const auto it = std::find_if(memory.begin(), memory.end(), [&](const auto& buffer) {
        if (memoryId == -1)
            return address && buffer->address() == address;
        return buffer->memoryId == memoryId && (!address || buffer->address() == address);
    });
    if (it == memory.end())
        throw CamError(StatusInvalidParameter, "No image memory with that id and address.");
    return **it;
}

ImageBuffer& ImageRing::inRing(int32_t memoryId, const char* address) const
{
    ImageBuffer& buffer = find(memoryId, address);
    if (!contains(&buffer))
        throw CamError(StatusInvalidParameter, "The image memory is not in the ring.");
    return buffer;
}

bool ImageRing::contains(const ImageBuffer* buffer) const
{
    return std::find(ring.begin(), ring.end(), buffer) != ring.end();
}

void ImageRing::release(const char* address, int32_t memoryId)
{
    ImageBuffer& buffer = find(memoryId, address);
    ring.erase(std::remove(ring.begin(), ring.end(), &buffer), ring.end());
    if (last == &buffer)
        last = nullptr;
    memory.erase(std::find_if(memory.begin(), memory.end(),
                              [&](const auto& b) { return b.get() == &buffer; }));
}

void ImageRing::add(const char* address, int32_t memoryId)
{
    ImageBuffer& buffer = find(memoryId, address);
    if (contains(&buffer))
        throw CamError(StatusInvalidParameter, "The image memory is already in the ring.");
    ring.push_back(&buffer);
}

void ImageRing::clear()
{
    for (ImageBuffer* buffer : ring)
        buffer->locked = false;
    ring.clear();
    last = nullptr;
}

ImageBuffer* ImageRing::nextTarget() const
{
    if (ring.empty())
        return nullptr;
    const auto lastAt = std::find(ring.begin(), ring.end(), last);
    const size_t start = lastAt == ring.end() ? 0 : size_t(lastAt - ring.begin()) + 1;
    for (size_t i = 0; i < ring.size(); ++i) {
        ImageBuffer* candidate = ring[(start + i) % ring.size()];
        if (!candidate->locked)
            return candidate;
    }
    return nullptr;
}

void ImageRing::markWritten(ImageBuffer* buffer)
{
    last = buffer;
}

} // namespace kivo
