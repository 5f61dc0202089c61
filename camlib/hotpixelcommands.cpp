#include "hotpixelcommands.h"

#include "camerror.h"
#include "camstatus.h"
#include "driverlistcommand.h"
#include "hotpixelbuffer.h"
#include "kivo_api.h"
#include "world.h"

namespace kivo {

namespace {

void requireConnected(const Session& s)
{
    if (!s.camera.plugged)
        throw CamError(StatusCameraRemoved,
                       "Camera " + s.camera.config.serial + " is not connected.");
}

void requireEeprom(const Session& s)
{
    requireConnected(s);
    if (!s.camera.config.canStoreList)
        throw CamError(StatusNotSupported,
                       "Camera " + s.camera.config.serial + " cannot store a hot pixel list.");
}

} // namespace

void runHotPixelCommand(std::unique_lock<std::mutex>& lock, Session& s, uint32_t command,
                        void* buffer, uint32_t size)
{
    SimCamera& camera = s.camera;
    const CameraConfig& config = camera.config;
    if (runDriverListCommand(s.driverList, config.width, config.height, command, buffer, size))
        return;
    switch (command) {
    case CAM_HP_DISABLE:
        // Switches the camera's own correction off too.
        requireConnected(s);
        s.correction = CAM_HP_DISABLE;
        return;
    case CAM_HP_MODE_SOFTWARE:
        s.correction = CAM_HP_MODE_SOFTWARE;
        return;
    case CAM_HP_ENABLE_CAMERA_CORRECTION:
        requireEeprom(s);
        s.correction = CAM_HP_MODE_CAMERA;
        return;
    case CAM_HP_GET_SUPPORTED_MODES:
        requireConnected(s);
        HotPixelBuffer::writeCount(
            buffer, size, CAM_HP_MODE_SOFTWARE | (config.canStoreList ? CAM_HP_MODE_CAMERA : 0));
        return;
    case CAM_HP_FACTORY_COUNT:
        requireConnected(s);
        HotPixelBuffer::writeCount(buffer, size, uint32_t(config.factoryList.size()));
        return;
    case CAM_HP_FACTORY_LIST:
        requireConnected(s);
        HotPixelBuffer::writeList(config.factoryList, buffer, size);
        return;
    case CAM_HP_USER_COUNT:
        requireEeprom(s);
        HotPixelBuffer::writeCount(buffer, size, uint32_t(camera.readEeprom().size()));
        return;
    case CAM_HP_USER_LIST:
        requireEeprom(s);
        HotPixelBuffer::writeList(camera.readEeprom(), buffer, size);
        return;
    case CAM_HP_USER_WRITE: {
        requireEeprom(s);
        const PixelList list = HotPixelBuffer::readList(buffer, size, config.width, config.height);
        if (int(list.size()) > config.maxUserCount)
            throw CamError(StatusListTooLong,
                           "The camera holds at most " + std::to_string(config.maxUserCount) +
                               " user entries, not " + std::to_string(list.size()) + ".");
        World::instance().writeEeprom(lock, camera, list);
        return;
    }
    case CAM_HP_USER_MAX_COUNT:
        requireConnected(s);
        HotPixelBuffer::writeCount(buffer, size, uint32_t(config.maxUserCount));
        return;
    case CAM_HP_USER_DELETE:
        requireEeprom(s);
        if (size != 0)
            throw CamError(StatusInvalidParameter, "This command takes no buffer.");
        World::instance().writeEeprom(lock, camera, {});
        return;
    default:
        throw CamError(StatusNotSupported,
                       "Unknown hot pixel command " + std::to_string(command) + ".");
    }
}

} // namespace kivo
