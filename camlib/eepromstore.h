#pragma once

#include "cameraconfig.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kivo {

// The simulated EEPROM user lists, one file per camera serial in
// $XDG_DATA_HOME/kivo-sim (default ~/.local/share/kivo-sim), so that a list
// written by one run is there in the next. The directory is looked up at each
// access, so a change of XDG_DATA_HOME takes effect at once.
//
// Like a real camera's EEPROM the file holds two banks, each with a sequence
// number and a checksum, behind a header:
//   bytes 0-3   magic "KVEE"
//   bytes 4-5   format version (1), little endian
//   bytes 6-7   0
//   bytes 8-11  bank capacity c in entries, little endian
//   then two banks of 12 + 4c bytes: sequence number, entry count n, n entries
//   of x and y (16 bits each), CRC-32 of the bank's bytes before it; the rest
//   of the bank is unused.
// A write programs the bank not holding the current list, page by page and
// taking its time, in place. A write cut off by an unplug or a kill leaves a
// bank whose checksum fails, and the other bank's list stands. A file in the
// plain list format of earlier versions is read, and replaced whole by the
// next write.
namespace EepromStore {

std::string directory();
std::string pathFor(const std::string& serial);

// The stored list, or nothing when the camera has never been written.
// Throws CamError(StatusEepromError) for a damaged file.
std::optional<PixelList> load(const std::string& serial);
// Waits while a part of the EEPROM programs; may throw to cut the write off.
using Pause = std::function<void(std::chrono::duration<double, std::milli>)>;

// Takes the camera's write time per entry in pauses. Throws
// CamError(StatusEepromError), or what a pause throws; the stored list is
// unchanged then.
void save(const CameraConfig& camera, const PixelList& list, const Pause& pause);

} // namespace EepromStore

} // namespace kivo
