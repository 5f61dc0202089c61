#include "eepromstore.h"

#include "atomicfile.h"
#include "camerror.h"
#include "camstatus.h"
#include "hotpixelfile.h"
#include "regularfile.h"
#include "serialname.h"
#include "uniquefd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>

namespace kivo {

namespace {

constexpr std::array<uint8_t, 4> magic = {'K', 'V', 'E', 'E'};
constexpr uint16_t version = 1;
constexpr size_t headerBytes = 12;
// Sequence number and count before the entries, checksum after them.
constexpr size_t bankOverhead = 12;
// The EEPROM is programmed in pages of this many bytes.
constexpr size_t pageBytes = 64;

uint32_t get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(v >> shift));
}

constexpr size_t bankBytes(uint32_t capacity)
{
    return bankOverhead + size_t(capacity) * 4;
}

// Two banks of lists with a 16-bit count.
constexpr size_t maxStoreBytes = headerBytes + 2 * bankBytes(0xffff);

struct Bank
{
    uint32_t sequence = 0;
    PixelList list;
};

// The two banks' contents, each only when intact.
struct Image
{
    uint32_t capacity = 0;
    std::array<std::optional<Bank>, 2> banks;

    // The index of the bank holding the current list, if any.
    std::optional<size_t> current() const
    {
        std::optional<size_t> best;
        for (size_t i = 0; i < banks.size(); ++i) {
            // Sequence numbers wrap: the newer is the one a little ahead.
            if (banks[i] && (!best || int32_t(banks[i]->sequence - banks[*best]->sequence) > 0))
                best = i;
        }
        return best;
    }
};

std::optional<Bank> decodeBank(const uint8_t* bank, uint32_t capacity)
{
    const uint32_t count = get32(bank + 4);
    if (count > capacity)
        return std::nullopt;
    const size_t body = 8 + size_t(count) * 4;
    if (HotPixelFile::crc32(bank, body) != get32(bank + body))
        return std::nullopt;
    Bank result;
    result.sequence = get32(bank);
    result.list.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = bank + 8 + i * 4;
        result.list[i] = {uint16_t(entry[0] | entry[1] << 8), uint16_t(entry[2] | entry[3] << 8)};
    }
    return result;
}

// Nothing for a file in the plain list format.
std::optional<Image> decodeImage(const std::vector<uint8_t>& bytes, const std::string& path)
{
    if (bytes.size() >= 4 && std::equal(magic.begin(), magic.end(), bytes.begin())) {
        Image image;
        image.capacity = bytes.size() >= headerBytes ? get32(bytes.data() + 8) : 0;
        if (bytes.size() < headerBytes || bytes[4] != version || bytes[5] != 0 ||
            image.capacity > 0xffff || bytes.size() != headerBytes + 2 * bankBytes(image.capacity))
            throw CamError(StatusFileFormat, "\"" + path + "\" has a broken EEPROM header");
        for (size_t i = 0; i < 2; ++i)
            image.banks[i] = decodeBank(bytes.data() + headerBytes + i * bankBytes(image.capacity),
                                        image.capacity);
        return image;
    }
    return std::nullopt;
}

std::vector<uint8_t> encodeBank(uint32_t sequence, const PixelList& list)
{
    std::vector<uint8_t> bank;
    put32(bank, sequence);
    put32(bank, uint32_t(list.size()));
    for (PixelPos p : list)
        put32(bank, uint32_t(p.x) | uint32_t(p.y) << 16);
    put32(bank, HotPixelFile::crc32(bank.data(), bank.size()));
    return bank;
}

std::vector<uint8_t> encodeImage(uint32_t capacity, const PixelList& list)
{
    std::vector<uint8_t> bytes(magic.begin(), magic.end());
    bytes.push_back(uint8_t(version));
    bytes.push_back(0);
    bytes.push_back(0);
    bytes.push_back(0);
    put32(bytes, capacity);
    std::vector<uint8_t> first = encodeBank(1, list);
    first.resize(bankBytes(capacity));
    bytes.insert(bytes.end(), first.begin(), first.end());
    bytes.resize(headerBytes + 2 * bankBytes(capacity));
    return bytes;
}

std::chrono::duration<double, std::milli> programmingTime(const CameraConfig& camera, size_t bytes)
{
    return std::chrono::duration<double, std::milli>(camera.eepromMsPerHundred * double(bytes) /
                                                     400.0);
}

// Programs the bank page by page, as slowly as the camera does.
void programBank(const std::string& path, const CameraConfig& camera, size_t offset,
                 const std::vector<uint8_t>& bank, const EepromStore::Pause& pause)
{
    const UniqueFd file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!file.valid())
        throw CamError(StatusFileError, path + ": " + std::strerror(errno));
    for (size_t done = 0; done < bank.size(); done += pageBytes) {
        const size_t n = std::min(pageBytes, bank.size() - done);
        pause(programmingTime(camera, n));
        if (::pwrite(file.get(), bank.data() + done, n, off_t(offset + done)) != ssize_t(n))
            throw CamError(StatusFileError, path + ": " + std::strerror(errno));
    }
    if (::fsync(file.get()) != 0)
        throw CamError(StatusFileError, path + ": " + std::strerror(errno));
}

CamError eepromError(const std::string& serial, const char* what, const std::string& why)
{
    return CamError(StatusEepromError,
                    "The EEPROM of camera " + serial + " cannot be " + what + ": " + why);
}

} // namespace

std::string EepromStore::directory()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.local/share";
    }
    return base + "/kivo-sim";
}

std::string EepromStore::pathFor(const std::string& serial)
{
    return directory() + "/eeprom-" + SerialName::escape(serial) + ".bin";
}

std::optional<PixelList> EepromStore::load(const std::string& serial)
{
    const std::string path = pathFor(serial);
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return std::nullopt;
    try {
        const std::vector<uint8_t> bytes = RegularFile::read(path, maxStoreBytes);
        const std::optional<Image> image = decodeImage(bytes, path);
        if (!image)
            return HotPixelFile::decode(bytes, path);
        const std::optional<size_t> current = image->current();
        if (!current)
            throw CamError(StatusFileFormat, "\"" + path + "\" holds no intact list");
        return image->banks[*current]->list;
    } catch (const CamError& e) {
        throw eepromError(serial, "read", e.what());
    }
}

void EepromStore::save(const CameraConfig& camera, const PixelList& list, const Pause& pause)
{
    const std::string path = pathFor(camera.serial);
    std::error_code error;
    std::filesystem::create_directories(directory(), error);
    if (error)
        throw eepromError(camera.serial, "written", directory() + ": " + error.message());
    try {
        std::optional<Image> image;
        if (std::filesystem::exists(path, error)) {
            try {
                image = decodeImage(RegularFile::read(path, maxStoreBytes), path);
            } catch (const CamError&) {
                // A damaged EEPROM is written afresh.
            }
        }
        const std::optional<size_t> current = image ? image->current() : std::nullopt;
        if (current && list.size() <= image->capacity) {
            const size_t target = 1 - *current;
            programBank(path, camera, headerBytes + target * bankBytes(image->capacity),
                        encodeBank(image->banks[*current]->sequence + 1, list), pause);
            return;
        }
        // A new, old-format, damaged or too small store is replaced whole.
        const uint32_t capacity =
            uint32_t(std::max<size_t>(size_t(std::max(camera.maxUserCount, 0)), list.size()));
        const std::vector<uint8_t> bytes = encodeImage(capacity, list);
        pause(programmingTime(camera, bankOverhead + list.size() * 4));
        AtomicFile::write(path, bytes);
    } catch (const CamError& e) {
        // An unplug that cuts the write off is the camera's own failure.
        if (e.status() == StatusCameraRemoved)
            throw;
        throw eepromError(camera.serial, "written", e.what());
    }
}

} // namespace kivo
