#include "hotpixelfile.h"

#include "atomicfile.h"
#include "camerror.h"
#include "camstatus.h"
#include "regularfile.h"

#include <algorithm>
#include <array>

namespace kivo {

namespace {

constexpr std::array<uint8_t, 4> magic = {'K', 'V', 'H', 'P'};
constexpr uint16_t version = 1;
constexpr size_t headerBytes = 12;
constexpr size_t crcBytes = 4;
// Lists travel with a 16-bit count.
constexpr uint32_t maxCount = 0xffff;
constexpr size_t maxFileBytes = headerBytes + size_t(maxCount) * 4 + crcBytes;

} // namespace

uint32_t HotPixelFile::crc32(const uint8_t* data, size_t size)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1U) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFU;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFFU] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFU;
}

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

uint16_t get16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t get32(const uint8_t* p)
{
    return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16);
}

} // namespace

std::vector<uint8_t> HotPixelFile::encode(const PixelList& list)
{
    std::vector<uint8_t> out(magic.begin(), magic.end());
    put16(out, version);
    put16(out, 0);
    put32(out, uint32_t(list.size()));
    for (PixelPos p : list) {
        put16(out, p.x);
        put16(out, p.y);
    }
    put32(out, crc32(out.data(), out.size()));
    return out;
}

PixelList HotPixelFile::decode(const std::vector<uint8_t>& bytes, const std::string& path)
{
    auto bad = [&path](const std::string& why) {
        return CamError(StatusFileFormat, "\"" + path + "\" is not a hot pixel list file: " + why);
    };
    if (bytes.size() < headerBytes + crcBytes ||
        !std::equal(magic.begin(), magic.end(), bytes.begin()))
        throw bad("unknown format");
    if (get16(bytes.data() + 4) != version)
        throw bad("unsupported version " + std::to_string(get16(bytes.data() + 4)));
    // Refused rather than ignored: the list would be saved back differently.
    if (get16(bytes.data() + 6) != 0)
        throw bad("reserved bytes are not zero");
    const uint32_t count = get32(bytes.data() + 8);
    if (count > maxCount)
        throw bad("too many entries");
    if (bytes.size() != headerBytes + size_t(count) * 4 + crcBytes)
        throw bad("truncated or overlong");
    const size_t body = bytes.size() - crcBytes;
    if (crc32(bytes.data(), body) != get32(bytes.data() + body))
        throw bad("checksum mismatch");
    PixelList list(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes.data() + headerBytes + i * 4;
        list[i] = {get16(entry), get16(entry + 2)};
    }
    return list;
}

void HotPixelFile::save(const std::string& path, const PixelList& list)
{
    AtomicFile::write(path, encode(list));
}

PixelList HotPixelFile::load(const std::string& path)
{
    return decode(RegularFile::read(path, maxFileBytes), path);
}

} // namespace kivo
