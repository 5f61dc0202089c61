#pragma once

#include <QString>

#include <cstdint>

// One camera as the library lists it, plus whether this program has it open.
struct CameraEntry
{
    bool opened = false;
    uint32_t cameraId = 0;
    uint32_t deviceId = 0;
    uint32_t sensorId = 0;
    // Non-zero while some program, this one included, has the camera open.
    uint32_t inUse = 0;
    QString serial;
    QString model;

    bool operator==(const CameraEntry& other) const
    {
        return opened == other.opened && cameraId == other.cameraId && deviceId == other.deviceId &&
               sensorId == other.sensorId && inUse == other.inUse && serial == other.serial &&
               model == other.model;
    }
    bool operator!=(const CameraEntry& other) const { return !(*this == other); }
};
