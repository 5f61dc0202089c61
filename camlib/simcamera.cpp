#include "simcamera.h"

#include "cameralock.h"
#include "camerror.h"
#include "eepromstore.h"

namespace kivo {

SimCamera::SimCamera(CameraConfig cameraConfig)
    : config(std::move(cameraConfig))
    , hotPixels(config.trueHotPixels())
    , plugged(config.plugged)
    , inUseElsewhere(config.inUse)
    , covered(config.covered)
    , firmwareNeeded(config.firmwareUploadMs > 0)
{
    reloadEeprom();
}

bool SimCamera::inUse() const
{
    return openHandle != 0 || inUseElsewhere || CameraLock::isHeld(config.serial);
}

PixelList SimCamera::readEeprom()
{
    if (!config.canStoreList)
        return {};
    eeprom = EepromStore::load(config.serial).value_or(config.userList);
    return eeprom;
}

void SimCamera::writeEeprom(const PixelList& list, const EepromStore::Pause& pause)
{
    EepromStore::save(config, list, pause);
    eeprom = list;
}

void SimCamera::reloadEeprom()
{
    try {
        readEeprom();
    } catch (const CamError&) {
        eeprom.clear();
    }
}

} // namespace kivo
