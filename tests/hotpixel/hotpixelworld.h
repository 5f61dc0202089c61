#pragma once

#include "badpixel.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>

class BadpixelListModel;
class Camera;

// Simulated cameras with chosen hot pixel lists for the list's camera and
// file tests. Every camera has a 256 x 64 sensor; factory entry i lies at
// (i % 256, i / 256), user entry i at (i % 256, 32 + i / 256).
namespace HotpixelWorld {

struct CameraLists
{
    QByteArray serial = "HP0001";
    uint32_t deviceId = 1;
    int factoryCount = 0;
    int userCount = 0;
    int maxUserCount = 100;
};

QByteArray json(const QList<CameraLists>& cameras);
// Replaces the simulated world; false (with the library's message as a test
// warning) when the library refuses it. The cameras produce no frames.
bool load(const QList<CameraLists>& cameras);
// The lists need no frames, and a camera without them keeps the tests quick.
bool stopFrames(const QByteArray& serial);

// Opens the camera; false (with the reason as a test warning) on a failure.
bool open(Camera& camera, uint32_t deviceId);

// "x y class" of the entries the world gives a camera, in camera order.
QStringList factoryEntries(int count);
QStringList userEntries(int count);

// "x y class" per entry, so that a failing comparison shows the whole list.
QStringList describe(const QList<Badpixel>& entries);
QStringList describe(const BadpixelListModel& model);

// The text of what operation throws, or an empty text when it succeeds.
QString errorText(const std::function<void()>& operation);

// The camera's user list as the EEPROM holds it: n, then n pairs.
QVector<uint16_t> eeprom(const QByteArray& serial);
// The library's own user list of an open camera, as CamHotPixel gives it:
// n, then n pairs; the single word 0 when it holds none.
QVector<uint16_t> driverList(uint32_t handle);

} // namespace HotpixelWorld
