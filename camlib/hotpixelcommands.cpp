#include "hotpixelcommands.h"

#include "camerror.h"
#include "camstatus.h"
#include "hotpixelfile.h"
#include "kivo_api.h"
#include "world.h"

#include <cstring>

namespace kivo {

namespace {

// A file name without its NUL within this many characters is refused.
constexpr size_t maxFileNameUnits = 4096;

CamError badParameter(const std::string& text)
{
    return CamError(StatusInvalidParameter, text);
}

void requireConnected(const Session& s)
{
    if (!s.camera.plugged)
        throw CamError(StatusCameraRemoved,
                       "Camera " + s.camera.config.serial + " is not connected.");
}

void requireEeprom(const Session& s)
{
    requireConnected(s);
    if (!s.camera.config.canStoreList)
        throw CamError(StatusNotSupported,
                       "Camera " + s.camera.config.serial + " cannot store a hot pixel list.");
}

const PixelList& driverList(const Session& s)
{
    if (!s.driverList)
        throw CamError(StatusNoDriverList, "No driver user list is held.");
    return *s.driverList;
}

void writeCount(void* buffer, uint32_t size, uint32_t count)
{
    if (!buffer || size != 4)
        throw badParameter("A count needs a buffer of 4 bytes.");
    std::memcpy(buffer, &count, 4);
}

// Word 0 the count n, then n pairs: 4n + 2 bytes.
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

void requireOnSensor(const PixelList& list, const CameraConfig& config, Status status)
{
    for (PixelPos p : list) {
        if (p.x >= config.width || p.y >= config.height)
            throw CamError(status, "The entry " + std::to_string(p.x) + "," + std::to_string(p.y) +
                                       " lies outside the " + std::to_string(config.width) + "x" +
                                       std::to_string(config.height) + " sensor.");
    }
}

PixelList readList(const void* buffer, uint32_t size, const CameraConfig& config)
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
    requireOnSensor(list, config, StatusInvalidParameter);
    return list;
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

// A NUL-terminated UTF-16 file name. size 0: the length is unknown and the
// name ends at its NUL; otherwise the name must end within size bytes.
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

} // namespace

void runHotPixelCommand(std::unique_lock<std::mutex>& lock, Session& s, uint32_t command,
                        void* buffer, uint32_t size)
{
    SimCamera& camera = s.camera;
    const CameraConfig& config = camera.config;
    switch (command) {
    case CAM_HP_DISABLE:
        // Switches the camera's own correction off too.
        requireConnected(s);
        s.correction = CAM_HP_DISABLE;
        return;
    case CAM_HP_MODE_SOFTWARE:
        s.correction = CAM_HP_MODE_SOFTWARE;
        return;
    case CAM_HP_ENABLE_CAMERA_CORRECTION:
        requireEeprom(s);
        s.correction = CAM_HP_MODE_CAMERA;
        return;
    case CAM_HP_GET_SUPPORTED_MODES:
        requireConnected(s);
        writeCount(buffer, size,
                   CAM_HP_MODE_SOFTWARE | (config.canStoreList ? CAM_HP_MODE_CAMERA : 0));
        return;
    case CAM_HP_DRIVER_LIST_EXISTS:
        if (size != 0)
            throw badParameter("This command takes no buffer.");
        driverList(s);
        return;
    case CAM_HP_DRIVER_LIST_COUNT:
        writeCount(buffer, size, uint32_t(driverList(s).size()));
        return;
    case CAM_HP_DRIVER_LIST_GET:
        writeList(driverList(s), buffer, size);
        return;
    case CAM_HP_DRIVER_LIST_SET:
        s.driverList = readList(buffer, size, config);
        return;
    case CAM_HP_FACTORY_COUNT:
        requireConnected(s);
        writeCount(buffer, size, uint32_t(config.factoryList.size()));
        return;
    case CAM_HP_FACTORY_LIST:
        requireConnected(s);
        writeList(config.factoryList, buffer, size);
        return;
    case CAM_HP_USER_COUNT:
        requireEeprom(s);
        writeCount(buffer, size, uint32_t(camera.readEeprom().size()));
        return;
    case CAM_HP_USER_LIST:
        requireEeprom(s);
        writeList(camera.readEeprom(), buffer, size);
        return;
    case CAM_HP_USER_WRITE: {
        requireEeprom(s);
        const PixelList list = readList(buffer, size, config);
        if (int(list.size()) > config.maxUserCount)
            throw CamError(StatusListTooLong,
                           "The camera holds at most " + std::to_string(config.maxUserCount) +
                               " user entries, not " + std::to_string(list.size()) + ".");
        World::instance().writeEeprom(lock, camera, list);
        return;
    }
    case CAM_HP_USER_MAX_COUNT:
        requireConnected(s);
        writeCount(buffer, size, uint32_t(config.maxUserCount));
        return;
    case CAM_HP_USER_DELETE:
        requireEeprom(s);
        if (size != 0)
            throw badParameter("This command takes no buffer.");
        World::instance().writeEeprom(lock, camera, {});
        return;
    case CAM_HP_DRIVER_LIST_SAVE_FILE: {
        const std::string name = readFileName(buffer, size);
        HotPixelFile::save(name, driverList(s));
        return;
    }
    case CAM_HP_DRIVER_LIST_LOAD_FILE: {
        const std::string name = readFileName(buffer, size);
        PixelList list = HotPixelFile::load(name);
        requireOnSensor(list, config, StatusFileFormat);
        s.driverList = std::move(list);
        return;
    }
    default:
        throw CamError(StatusNotSupported,
                       "Unknown hot pixel command " + std::to_string(command) + ".");
    }
}

} // namespace kivo
