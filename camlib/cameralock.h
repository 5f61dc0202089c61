#pragma once

#include "uniquefd.h"

#include <string>

namespace kivo {

// Holds one camera for this process against every other process of the user.
// The lock is an open-file-description lock on a file in the runtime
// directory, so the kernel drops it when the holder closes it or dies: a
// crashed program never leaves a camera taken.
class CameraLock
{
public:
    // Throws CamError(StatusCameraInUse) when another process holds the
    // camera, or the lock file cannot be made.
    explicit CameraLock(const std::string& serial);

    // Whether any process, this one included, holds the camera.
    static bool isHeld(const std::string& serial);

private:
    UniqueFd file;
};

} // namespace kivo
