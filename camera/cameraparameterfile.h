#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <optional>

// The per-sensor start values of "cameraparameter.xml": a "CameraSettings"
// document of "Sensor" entries, each with its hexadecimal "ID", a "Timing"
// and a "Gain" element. Attributes are read as text; a missing one counts 0.
class CameraParameterFile
{
    Q_DECLARE_TR_FUNCTIONS(Camera)

public:
    struct StartValues
    {
        int pixelclock = 0;
        double framerate = 0.0;
        double exposure = 0.0;
        int master = 0;
        int red = 0;
        int green = 0;
        int blue = 0;
    };

    // The first entry for the sensor; nothing for another document element,
    // no entry for the sensor or an entry without "Timing" or "Gain". Throws
    // std::runtime_error when the file cannot be opened or is no XML.
    static std::optional<StartValues> read(const QString& filename, uint16_t sensorId);
    // As read, for the file's contents.
    static std::optional<StartValues> parse(const QByteArray& contents, uint16_t sensorId);
};
