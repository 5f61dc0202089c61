#pragma once

#include "cameraconfig.h"
#include "camstatus.h"

#include <cstdint>
#include <string>

namespace kivo {

// The buffers of CamHotPixel, as both camera sources read and fill them.
// Each throws CamError(StatusInvalidParameter) for a buffer of the wrong shape.
namespace HotPixelBuffer {

// A 32-bit count in a buffer of 4 bytes.
void writeCount(void* buffer, uint32_t size, uint32_t count);
// Word 0 the count n, then n pairs: 4n + 2 bytes.
void writeList(const PixelList& list, void* buffer, uint32_t size);
// A list in the same shape whose entries all lie on a width x height sensor.
PixelList readList(const void* buffer, uint32_t size, int width, int height);
// Throws CamError(status) for an entry off a width x height sensor.
void requireOnSensor(const PixelList& list, int width, int height, Status status);
// A NUL-terminated UTF-16 file name, as UTF-8. size 0: the length is unknown
// and the name ends at its NUL; otherwise the name must end within size bytes.
std::string readFileName(const void* buffer, uint32_t size);

} // namespace HotPixelBuffer

} // namespace kivo
