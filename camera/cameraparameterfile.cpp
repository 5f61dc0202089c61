#include "cameraparameterfile.h"

#include <QDomDocument>
#include <QDomElement>
#include <QFile>

#include <stdexcept>

namespace {

std::runtime_error unreadable()
{
    return std::runtime_error(
        CameraParameterFile::tr("Can't open camera parameter file.").toStdString());
}

QString attribute(const QDomElement& element, const char* name)
{
    return element.attribute(QLatin1String(name), QStringLiteral("0"));
}

} // namespace

std::optional<CameraParameterFile::StartValues> CameraParameterFile::read(const QString& filename,
                                                                          uint16_t sensorId)
{
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly))
        throw unreadable();
    return parse(file.readAll(), sensorId);
}

std::optional<CameraParameterFile::StartValues>
CameraParameterFile::parse(const QByteArray& contents, uint16_t sensorId)
{
    QDomDocument document;
    if (!document.setContent(contents))
        throw unreadable();
    const QDomElement root = document.documentElement();
    if (root.tagName() != QLatin1String("CameraSettings"))
        return std::nullopt;

    QDomElement sensor;
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        const QDomElement element = node.toElement();
        if (element.tagName() != QLatin1String("Sensor"))
            continue;
        bool ok = false;
        const uint id = attribute(element, "ID").toUInt(&ok, 16);
        if (ok && id == sensorId) {
            sensor = element;
            break;
        }
    }
    const QDomElement timing = sensor.firstChildElement(QStringLiteral("Timing"));
    const QDomElement gain = sensor.firstChildElement(QStringLiteral("Gain"));
    if (timing.isNull() || gain.isNull())
        return std::nullopt;

    StartValues values;
    values.pixelclock = attribute(timing, "pixelclock").toInt();
    values.framerate = attribute(timing, "framerate").toDouble();
    values.exposure = attribute(timing, "exposure").toDouble();
    values.master = attribute(gain, "master").toInt();
    values.red = attribute(gain, "red").toInt();
    values.green = attribute(gain, "green").toInt();
    values.blue = attribute(gain, "blue").toInt();
    return values;
}
