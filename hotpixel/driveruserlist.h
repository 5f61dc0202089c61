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
    // library's list back; throws "write to file failed with <status>\n",
    // or, when only the restore failed, a text saying the file was written.
    void saveAs(HotpixelListBuffer list, const QString& filename) const;
    // Reads the binary file's list through the library's list and puts the
    // library's list back; throws "load from file failed with <status>\n"
    // when the file's list cannot be had. A failed restore is left to the
    // caller, who keeps the file's list.
    Loaded load(const QString& filename) const;

    // The file operation itself succeeded but the library's previous list
    // could not be put back.
    static std::runtime_error loadRestoreFailure(int32_t status);

private:
    // How a refused "is there a list" query is taken.
    enum class Absence { MeansEmpty, IsFailure };

    // Status 0 and the list.
    int32_t read(HotpixelListBuffer& list, Absence absence) const;
    int32_t replace(HotpixelListBuffer list) const;
    static std::runtime_error saveFailure(int32_t status);
    static std::runtime_error loadFailure(int32_t status);
    int32_t transferFile(uint32_t command, const QString& filename) const;

    uint32_t handle;
};
