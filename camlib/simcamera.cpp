#include "simcamera.h"

#include "camerror.h"
#include "eepromstore.h"

namespace kivo {

SimCamera::SimCamera(CameraSpec specification)
    : spec(std::move(specification))
    , hotPixels(spec.trueHotPixels())
    , plugged(spec.plugged)
    , inUseElsewhere(spec.inUse)
    , covered(spec.covered)
    , firmwareNeeded(spec.firmwareUploadMs > 0)
{
    reloadEeprom();
}

PixelList SimCamera::readEeprom()
{
    if (!spec.canStoreList)
        return {};
    eeprom = EepromStore::load(spec.serial).value_or(spec.userList);
    return eeprom;
}

void SimCamera::writeEeprom(const PixelList& list)
{
    EepromStore::save(spec.serial, list);
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
