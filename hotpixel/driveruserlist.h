#pragma once

#include "hotpixellistbuffer.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <stdexcept>

// The camera library's own hot pixel list of one open camera, separate from
// the camera's lists, which the library saves to and loads from its binary
// list files. Each file operation leaves it as it found it, except where a
// failure ends the operation before the restore.
class DriverUserList
{
    Q_DECLARE_TR_FUNCTIONS(BadpixelListModel)

public:
    // What a load brought: the file's list, and the status of putting the
    // library's previous list back.
    struct Loaded
    {
        HotpixelListBuffer list;
        int32_t restoreStatus = 0;
    };

    explicit DriverUserList(uint32_t cameraHandle);

    // Writes list to the binary file through the library's list and puts the
    // library's list back; throws "write to file failed with <status>\n".
    void saveAs(HotpixelListBuffer list, const QString& filename) const;
    // Reads the binary file's list through the library's list and puts the
    // library's list back; throws loadFailure when the file's list cannot be
    // had. A failed restore is left to the caller, who keeps the file's list.
    Loaded load(const QString& filename) const;

    // "load from file failed with <status>\n"
    static std::runtime_error loadFailure(int32_t status);

private:
    // Status 0 and the list; no list in the library counts as the empty one.
    int32_t read(HotpixelListBuffer& list) const;
    int32_t replace(HotpixelListBuffer list) const;
    static std::runtime_error saveFailure(int32_t status);
    int32_t transferFile(uint32_t command, const QString& filename) const;

    uint32_t handle;
};
