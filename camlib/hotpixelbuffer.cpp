#include "hotpixelbuffer.h"

#include "camerror.h"

#include <cstring>
#include <vector>

namespace kivo {

namespace HotPixelBuffer {

namespace {

// A file name without its NUL within this many characters is refused.
constexpr size_t maxFileNameUnits = 4096;

CamError badParameter(const std::string& text)
{
    return CamError(StatusInvalidParameter, text);
}

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

void writeCount(void* buffer, uint32_t size, uint32_t count)
{
    if (!buffer || size != 4)
        throw badParameter("A count needs a buffer of 4 bytes.");
    std::memcpy(buffer, &count, 4);
}

void writeList(const PixelList& list, void* buffer, uint32_t size)
{
    const size_t needed = list.size() * 4 + 2;
    if (!buffer || size != needed)
        throw badParameter("The list of " + std::to_string(list.size()) +
                           " entries needs a buffer of " + std::to_string(needed) + " bytes, not " +
                           std::to_string(size) + ".");
    std::vector<uint16_t> words;
    words.reserve(list.size() * 2 + 1);
    words.push_back(uint16_t(list.size()));
    for (PixelPos p : list) {
        words.push_back(p.x);
        words.push_back(p.y);
    }
    std::memcpy(buffer, words.data(), needed);
}

void requireOnSensor(const PixelList& list, int width, int height, Status status)
{
    for (PixelPos p : list) {
        if (p.x >= width || p.y >= height)
            throw CamError(status, "The entry " + std::to_string(p.x) + "," + std::to_string(p.y) +
                                       " lies outside the " + std::to_string(width) + "x" +
                                       std::to_string(height) + " sensor.");
    }
}

PixelList readList(const void* buffer, uint32_t size, int width, int height)
{
    if (!buffer || size < 2)
        throw badParameter("A hot pixel list needs at least its count word.");
    uint16_t count = 0;
    std::memcpy(&count, buffer, 2);
    if (size != size_t(count) * 4 + 2)
        throw badParameter("A list of " + std::to_string(count) + " entries takes " +
                           std::to_string(size_t(count) * 4 + 2) + " bytes, not " +
                           std::to_string(size) + ".");
    PixelList list(count);
    for (size_t i = 0; i < count; ++i) {
        uint16_t pair[2];
        std::memcpy(pair, static_cast<const uint8_t*>(buffer) + 2 + 4 * i, 4);
        list[i] = {pair[0], pair[1]};
    }
    requireOnSensor(list, width, height, StatusInvalidParameter);
    return list;
}

std::string readFileName(const void* buffer, uint32_t size)
{
    if (!buffer)
        throw badParameter("No file name given.");
    const size_t limit = size == 0 ? maxFileNameUnits : size / 2;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    std::string name;
    for (size_t i = 0; i < limit; ++i) {
        uint16_t unit = 0;
        std::memcpy(&unit, bytes + 2 * i, 2);
        if (unit == 0) {
            if (name.empty())
                throw badParameter("The file name is empty.");
            return name;
        }
        uint32_t code = unit;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < limit) {
            uint16_t low = 0;
            std::memcpy(&low, bytes + 2 * (i + 1), 2);
            if (low < 0xDC00 || low >= 0xE000)
                throw badParameter("The file name is not valid UTF-16.");
            code = 0x10000 + ((uint32_t(unit) - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            throw badParameter("The file name is not valid UTF-16.");
        }
        appendUtf8(name, code);
    }
    throw badParameter("The file name has no terminating NUL.");
}

} // namespace HotPixelBuffer

} // namespace kivo
