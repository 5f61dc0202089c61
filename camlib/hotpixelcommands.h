#pragma once

#include "session.h"

#include <cstdint>

namespace kivo {

// CamHotPixel on an open camera: correction modes, the factory list, the
// EEPROM user list, and the driver user list with its binary files. Throws
// CamError for a bad buffer, size or command.
void runHotPixelCommand(Session& session, uint32_t command, void* buffer, uint32_t size);

} // namespace kivo
