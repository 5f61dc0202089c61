#pragma once

#include "hotpixellistbuffer.h"

#include <QCoreApplication>

#include <cstdint>

// The two hot pixel lists an open camera carries: the factory list, only
// read, and the user list in its EEPROM, read and replaced. Each list moves
// with one count query and one bulk call, never entry by entry.
class CameraHotpixelLists
{
    Q_DECLARE_TR_FUNCTIONS(BadpixelListModel)

public:
    explicit CameraHotpixelLists(uint32_t cameraHandle);

    // The library writes the number straight into the field; a failed query
    // leaves it as it was.
    void queryMaximumUserCount(int32_t& maximumUserCount) const;
    void queryFactoryCount(int32_t& factoryCount) const;

    // The factory list's pairs, or the empty list when the count is outside 1
    // to 1000 or the camera refuses the read. Nothing is reported: the
    // factory list is only shown, never written back.
    HotpixelListBuffer readFactoryList(int32_t factoryCount) const;
    // The whole user list, which may hold up to maximumUserCount entries.
    // Throws std::runtime_error saying why when the count or the list cannot
    // be read, or the count is more than the camera can hold.
    HotpixelListBuffer readUserList(int32_t maximumUserCount) const;

    // Replaces the camera's user list with list; an empty list empties it.
    // Throws "Error writing hotpixel list" when the camera refuses.
    void writeUserList(HotpixelListBuffer list) const;

private:
    int32_t readList(uint32_t command, int32_t count, HotpixelListBuffer& list) const;

    uint32_t handle;
};
