#pragma once

#include "genicamsession.h"

#include <cstdint>

namespace kivo {

// CamHotPixel on an open GenICam camera. The factory and user lists and the
// in-camera correction live in the camera's defect pixel table; a camera
// without one reports no correction mode at all and refuses the list
// commands, so that the program keeps its list on the host. The driver user
// list behind the binary files works on either. Throws CamError or
// GenicamError.
void runGenicamHotPixelCommand(GenicamSession& session, uint32_t command, void* buffer,
                               uint32_t size);

} // namespace kivo
