#include "genicamhotpixelcommand.h"

#include "camerror.h"
#include "camstatus.h"
#include "driverlistcommand.h"
#include "hotpixelbuffer.h"
#include "kivo_api.h"

namespace kivo {

namespace {

PixelList pixelList(const genicam::DefectTable::Positions& positions)
{
    PixelList list;
    list.reserve(positions.size());
    for (const auto& [x, y] : positions)
        list.push_back({x, y});
    return list;
}

genicam::DefectTable::Positions positions(const PixelList& list)
{
    genicam::DefectTable::Positions result;
    result.reserve(list.size());
    for (PixelPos p : list)
        result.emplace_back(p.x, p.y);
    return result;
}

const genicam::DefectTable& table(GenicamSession& s)
{
    const auto& found = s.connected().defectTable();
    if (!found)
        throw CamError(StatusNotSupported,
                       "Camera " + s.identity.serial + " has no defect pixel table of its own.");
    return *found;
}

} // namespace

void runGenicamHotPixelCommand(GenicamSession& s, uint32_t command, void* buffer, uint32_t size)
{
    const auto [width, height] = s.identity.maxSize;
    if (runDriverListCommand(s.driverList, width, height, command, buffer, size))
        return;
    switch (command) {
    case CAM_HP_DISABLE:
        // Nothing to switch off on a camera that corrects nothing itself.
        if (s.connected().defectTable())
            table(s).setCorrection(false);
        return;
    case CAM_HP_ENABLE_CAMERA_CORRECTION:
        table(s).setCorrection(true);
        return;
    case CAM_HP_GET_SUPPORTED_MODES:
        HotPixelBuffer::writeCount(buffer, size,
                                   s.connected().defectTable() ? CAM_HP_MODE_CAMERA : 0);
        return;
    case CAM_HP_FACTORY_COUNT:
        HotPixelBuffer::writeCount(buffer, size, uint32_t(table(s).factoryList().size()));
        return;
    case CAM_HP_FACTORY_LIST:
        HotPixelBuffer::writeList(pixelList(table(s).factoryList()), buffer, size);
        return;
    case CAM_HP_USER_COUNT:
        HotPixelBuffer::writeCount(buffer, size, uint32_t(table(s).userList().size()));
        return;
    case CAM_HP_USER_LIST:
        HotPixelBuffer::writeList(pixelList(table(s).userList()), buffer, size);
        return;
    case CAM_HP_USER_WRITE: {
        const genicam::DefectTable& t = table(s);
        t.writeUserList(positions(HotPixelBuffer::readList(buffer, size, width, height)));
        return;
    }
    case CAM_HP_USER_MAX_COUNT:
        HotPixelBuffer::writeCount(buffer, size, table(s).maximumCount());
        return;
    case CAM_HP_USER_DELETE:
        if (size != 0)
            throw CamError(StatusInvalidParameter, "This command takes no buffer.");
        table(s).writeUserList({});
        return;
    default:
        throw CamError(StatusNotSupported, "GenICam cameras take no hot pixel command " +
                                               std::to_string(command) + ".");
    }
}

} // namespace kivo
