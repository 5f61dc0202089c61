#pragma once

#include "cameraconfig.h"

#include <cstdint>
#include <optional>

namespace kivo {

// Runs one CamHotPixel command on the driver user list of an open camera of
// either source (exists, count, get, set, save and load its binary file);
// returns false for any other command. Throws CamError for bad input.
bool runDriverListCommand(std::optional<PixelList>& list, int width, int height, uint32_t command,
                          void* buffer, uint32_t size);

} // namespace kivo
