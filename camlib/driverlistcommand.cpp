#include "driverlistcommand.h"

#include "camerror.h"
#include "hotpixelbuffer.h"
#include "hotpixelfile.h"
#include "kivo_api.h"

namespace kivo {

namespace {

const PixelList& held(const std::optional<PixelList>& list)
{
    if (!list)
        throw CamError(StatusNoDriverList, "No driver user list is held.");
    return *list;
}

} // namespace

bool runDriverListCommand(std::optional<PixelList>& list, int width, int height, uint32_t command,
                          void* buffer, uint32_t size)
{
    switch (command) {
    case CAM_HP_DRIVER_LIST_EXISTS:
        if (size != 0)
            throw CamError(StatusInvalidParameter, "This command takes no buffer.");
        held(list);
        return true;
    case CAM_HP_DRIVER_LIST_COUNT:
        HotPixelBuffer::writeCount(buffer, size, uint32_t(held(list).size()));
        return true;
    case CAM_HP_DRIVER_LIST_GET:
        HotPixelBuffer::writeList(held(list), buffer, size);
        return true;
    case CAM_HP_DRIVER_LIST_SET:
        list = HotPixelBuffer::readList(buffer, size, width, height);
        return true;
    case CAM_HP_DRIVER_LIST_SAVE_FILE: {
        const std::string name = HotPixelBuffer::readFileName(buffer, size);
        HotPixelFile::save(name, held(list));
        return true;
    }
    case CAM_HP_DRIVER_LIST_LOAD_FILE: {
        PixelList loaded = HotPixelFile::load(HotPixelBuffer::readFileName(buffer, size));
        HotPixelBuffer::requireOnSensor(loaded, width, height, StatusFileFormat);
        list = std::move(loaded);
        return true;
    }
    default:
        return false;
    }
}

} // namespace kivo
