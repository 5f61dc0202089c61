#pragma once

#include "badpixel.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// The user hot pixel list of a camera that has no defect table of its own,
// kept for its serial number in the user's data directory, one "x y" line
// per entry. It stands in for the camera's user list: read when the camera
// opens, replaced by Write hot pixel.
class HostHotpixelList
{
    Q_DECLARE_TR_FUNCTIONS(BadpixelListModel)

public:
    // As many entries as a list read from a camera may hold.
    static constexpr int maximumCount = 1000;

    explicit HostHotpixelList(const QString& serial);

    // User entries; none when nothing was written for the camera yet. Throws
    // std::runtime_error for an unreadable or damaged file.
    QList<Badpixel> read() const;
    // Keeps the user entries of entries, replacing the whole file at once.
    // Throws std::runtime_error when it cannot be written.
    void write(const QList<Badpixel>& entries) const;

private:
    QString path;
};
