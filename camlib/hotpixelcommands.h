#pragma once

#include "session.h"

#include <cstdint>
#include <mutex>

namespace kivo {

// CamHotPixel on an open camera: correction modes, the factory list, the
// EEPROM user list, and the driver user list with its binary files. Throws
// CamError for a bad buffer, size or command. lock holds the library; an
// EEPROM write lets go of it while it programs.
void runHotPixelCommand(std::unique_lock<std::mutex>& lock, Session& session, uint32_t command,
                        void* buffer, uint32_t size);

} // namespace kivo
