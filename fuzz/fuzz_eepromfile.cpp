// The simulated EEPROM as the library finds it on disk: the input is the
// camera's file in a data directory of the fuzzer's own. A store that reads
// must then take a new list and give that back.

#include "camerror.h"
#include "camstatus.h"
#include "eepromstore.h"
#include "hotpixelfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <stdlib.h>

namespace {

const std::string serial = "FUZZ1";

// The data directory, removed when the fuzzer exits.
struct DataDirectory
{
    std::string path;
    ~DataDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

DataDirectory data;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string directory =
        (std::filesystem::temp_directory_path() / "speckwright-fuzz-XXXXXX").string();
    if (!::mkdtemp(directory.data()) || ::setenv("XDG_DATA_HOME", directory.c_str(), 1) != 0)
        std::abort();
    data.path = directory;
    std::filesystem::create_directories(kivo::EepromStore::directory());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const std::string path = kivo::EepromStore::pathFor(serial);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    std::optional<kivo::PixelList> list;
    try {
        list = kivo::EepromStore::load(serial);
    } catch (const kivo::CamError& e) {
        if (e.status() != kivo::StatusEepromError)
            std::abort();
        return 0;
    }
    // A store in the plain list format of earlier versions reads exactly.
    const bool plain = size >= 4 && std::memcmp(bytes, "KVHP", 4) == 0;
    if (!list ||
        (plain && kivo::HotPixelFile::encode(*list) != std::vector<uint8_t>(bytes, bytes + size)))
        std::abort();
    kivo::PixelList changed = *list;
    if (changed.empty())
        changed.push_back({1, 1});
    else
        changed.pop_back();
    kivo::CameraConfig camera;
    camera.serial = serial;
    camera.eepromMsPerHundred = 0.0;
    kivo::EepromStore::save(camera, changed, [](std::chrono::duration<double, std::milli>) {});
    if (kivo::EepromStore::load(serial) != changed)
        std::abort();
    return 0;
}
