#pragma once

#include <cstdint>

namespace kivo {

// Statuses of the simulated library besides CAM_SUCCESS and
// CAM_FIRMWARE_UPLOAD_NEEDED. Each failure also leaves a text for CamLastError.
enum Status : int32_t {
    StatusInvalidHandle = 1,
    StatusInvalidParameter = 2,
    StatusNotSupported = 3,
    StatusCameraInUse = 4,
    StatusNoSuchCamera = 5,
    StatusCameraRemoved = 6,
    StatusTimeout = 7,
    StatusEventNotRegistered = 8,
    StatusNoImage = 9,
    StatusNoDriverList = 10,
    StatusListTooLong = 11,
    StatusFileError = 12,
    StatusFileFormat = 13,
    StatusOutOfMemory = 14,
    StatusEepromError = 15,
    StatusHandleClosed = 16,
    StatusBufferBusy = 17,
    // A GenICam camera refused or failed a request.
    StatusDeviceError = 18,
};

} // namespace kivo
