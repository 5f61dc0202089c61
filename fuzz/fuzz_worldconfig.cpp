// The JSON world: every refusal is a std::runtime_error naming the field;
// an exception of the JSON library itself escaping would end the run.

#include "worldconfig.h"

#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        kivo::WorldConfig::parse(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
    }
    return 0;
}
