// The binary hot pixel list file: anything decode accepts is a file that
// encode writes back byte for byte, so no field is silently ignored.

#include "camerror.h"
#include "hotpixelfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    try {
        if (kivo::HotPixelFile::encode(kivo::HotPixelFile::decode(bytes, "input")) != bytes)
            std::abort();
    } catch (const kivo::CamError&) {
    }
    return 0;
}
