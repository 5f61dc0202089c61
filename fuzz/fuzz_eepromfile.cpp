// The simulated EEPROM as the library finds it on disk: the input is the
// camera's file in a data directory of the fuzzer's own.

#include "camerror.h"
#include "camstatus.h"
#include "eepromstore.h"
#include "hotpixelfile.h"

#include <cstdio>
#include <cstdlib>
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
    try {
        const std::optional<kivo::PixelList> list = kivo::EepromStore::load(serial);
        if (!list || kivo::HotPixelFile::encode(*list) != std::vector<uint8_t>(bytes, bytes + size))
            std::abort();
    } catch (const kivo::CamError& e) {
        if (e.status() != kivo::StatusEepromError)
            std::abort();
    }
    return 0;
}
