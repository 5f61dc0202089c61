#pragma once

#include "capturerecord.h"

#include <QImage>
#include <QString>
#include <QVector>

// Keeps the evidence of a calibration: writes the frames of a detection run as one 16-bit
// binary PGM whose samples are the sums over the frames and whose maximum is 255 times their
// number, so that any viewer shows the average and no fraction of it is lost. The exposure
// time, gain, frame count and mode stand in comment lines of the header.
class AveragedFrameWriter
{
public:
    // Throws std::runtime_error with the text to show when the frames cannot be summed into 16
    // bits or the file cannot be written.
    static void write(const QString& path, const QVector<QImage>& frames,
                      const CaptureRecord& record);
};
