#include "eepromstore.h"

#include "camerror.h"
#include "camstatus.h"
#include "hotpixelfile.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kivo {

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
    std::string name;
    for (char c : serial) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        name += plain ? c : '_';
    }
    return directory() + "/eeprom-" + name + ".bin";
}

std::optional<PixelList> EepromStore::load(const std::string& serial)
{
    const std::string path = pathFor(serial);
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return std::nullopt;
    try {
        return HotPixelFile::load(path);
    } catch (const CamError& e) {
        throw CamError(StatusEepromError,
                       "The EEPROM of camera " + serial + " cannot be read: " + e.what());
    }
}

void EepromStore::save(const std::string& serial, const PixelList& list)
{
    std::error_code error;
    std::filesystem::create_directories(directory(), error);
    if (error)
        throw CamError(StatusEepromError, "The EEPROM of camera " + serial +
                                              " cannot be written: " + directory() + ": " +
                                              error.message());
    try {
        HotPixelFile::save(pathFor(serial), list);
    } catch (const CamError& e) {
        throw CamError(StatusEepromError,
                       "The EEPROM of camera " + serial + " cannot be written: " + e.what());
    }
}

} // namespace kivo
