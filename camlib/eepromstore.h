#pragma once

#include "cameraconfig.h"

#include <optional>
#include <string>

namespace kivo {

// The simulated EEPROM user lists, one file per camera serial in
// $XDG_DATA_HOME/kivo-sim (default ~/.local/share/kivo-sim), so that a list
// written by one run is there in the next. The directory is looked up at each
// access, so a change of XDG_DATA_HOME takes effect at once.
namespace EepromStore {

std::string directory();
std::string pathFor(const std::string& serial);

// The stored list, or nothing when the camera has never been written.
// Throws CamError(StatusEepromError) for a damaged file.
std::optional<PixelList> load(const std::string& serial);
// Throws CamError(StatusEepromError); the stored list is unchanged then.
void save(const std::string& serial, const PixelList& list);

} // namespace EepromStore

} // namespace kivo
