#include "hotpixelworld.h"

#include "badpixellistmodel.h"
#include "camera.h"
#include "kivo_control.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <stdexcept>

namespace HotpixelWorld {

namespace {

constexpr int sensorWidth = 256;
constexpr int sensorHeight = 64;
constexpr int userRowOffset = 32;

QJsonArray pixels(int count, int rowOffset)
{
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(QJsonArray{i % sensorWidth, rowOffset + i / sensorWidth});
    return list;
}

QStringList entries(int count, int rowOffset, Pixelclass pixelclass)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("%1 %2 %3")
                    .arg(i % sensorWidth)
                    .arg(rowOffset + i / sensorWidth)
                    .arg(int(pixelclass));
    return list;
}

} // namespace

QByteArray json(const QList<CameraLists>& cameras)
{
    QJsonArray list;
    for (const CameraLists& camera : cameras) {
        list.append(QJsonObject{
            {QStringLiteral("serial"), QString::fromLatin1(camera.serial)},
            {QStringLiteral("model"), QStringLiteral("HP test camera")},
            {QStringLiteral("deviceId"), int(camera.deviceId)},
            {QStringLiteral("width"), sensorWidth},
            {QStringLiteral("height"), sensorHeight},
            {QStringLiteral("maxUserCount"), camera.maxUserCount},
            {QStringLiteral("factoryList"), pixels(camera.factoryCount, 0)},
            {QStringLiteral("userList"), pixels(camera.userCount, userRowOffset)},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("cameras"), list}})
        .toJson(QJsonDocument::Compact);
}

bool load(const QList<CameraLists>& cameras)
{
    if (KivoSimLoadWorld(json(cameras).constData()) != 0) {
        QWARN(KivoSimLastMessage());
        return false;
    }
    for (const CameraLists& camera : cameras) {
        if (!stopFrames(camera.serial))
            return false;
    }
    return true;
}

bool stopFrames(const QByteArray& serial)
{
    return KivoSimSetManualFrames(serial.constData(), 1) == 0;
}

bool open(Camera& camera, uint32_t deviceId)
{
    try {
        camera.open(deviceId);
    } catch (const std::exception& error) {
        QWARN(error.what());
        return false;
    }
    return true;
}

QStringList factoryEntries(int count)
{
    return entries(count, 0, Factory);
}

QStringList userEntries(int count)
{
    return entries(count, userRowOffset, User);
}

QStringList describe(const QList<Badpixel>& entries)
{
    QStringList lines;
    for (const Badpixel& entry : entries)
        lines << QStringLiteral("%1 %2 %3").arg(entry.x).arg(entry.y).arg(entry.pixelclass);
    return lines;
}

QStringList describe(const BadpixelListModel& model)
{
    return describe(model.badpixelList());
}

QString errorText(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

QVector<uint16_t> eeprom(const QByteArray& serial)
{
    QVector<uint16_t> words(2 * 65535 + 1);
    const int count = KivoSimReadEeprom(serial.constData(), words.data(), words.size());
    words.resize(count < 0 ? 0 : 2 * count + 1);
    return words;
}

QVector<uint16_t> driverList(uint32_t handle)
{
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_EXISTS, nullptr, 0) != CAM_SUCCESS)
        return {0};
    int32_t count = 0;
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_COUNT, &count, sizeof count) != CAM_SUCCESS)
        return {};
    QVector<uint16_t> words(2 * count + 1);
    if (CamHotPixel(handle, CAM_HP_DRIVER_LIST_GET, words.data(), 2 * words.size()) != CAM_SUCCESS)
        return {};
    return words;
}

} // namespace HotpixelWorld
