#pragma once

#include "cameraconfig.h"
#include "eepromstore.h"

#include <cstdint>
#include <vector>

namespace kivo {

// One camera of the simulated world: what its configuration says and what
// has happened to it since the world was loaded.
class SimCamera
{
public:
    explicit SimCamera(CameraConfig config);

    const CameraConfig config;
    const std::vector<HotPixel> hotPixels;

    bool plugged;
    // Held by another program as the control interface says; a real other
    // program holds the camera's lock instead.
    bool inUseElsewhere;
    bool covered;
    bool firmwareNeeded;
    bool manualFrames = false;
    int pendingFailures = 0;
    int64_t framesProduced = 0;
    // Frames lost because every buffer of the ring was locked.
    int64_t framesDropped = 0;
    // The handle of this process's session, 0 when not open here.
    uint32_t openHandle = 0;
    // An EEPROM write is under way, with the library unlocked between pages.
    bool eepromBusy = false;

    // Open here, or held by another program.
    bool inUse() const;

    // The EEPROM user list: the stored one, or the configured list when none
    // was ever stored. Both throw CamError for a damaged or unwritable store.
    PixelList readEeprom();
    void writeEeprom(const PixelList& list, const EepromStore::Pause& pause);
    // The list as last read or written, for the correction of every frame.
    const PixelList& eepromSnapshot() const { return eeprom; }
    // Refreshes the snapshot; a damaged store counts as an empty list.
    void reloadEeprom();

private:
    PixelList eeprom;
};

} // namespace kivo
