#pragma once

#include "cameraconfig.h"

#include <string>
#include <vector>

namespace kivo {

// The cameras of a simulated world: the built-in default, a JSON description
// (the same text whether it comes from a file or from KivoSimLoadWorld), or the
// file named by KIVO_SIM_CONFIG.
namespace WorldConfig {

std::vector<CameraConfig> defaultWorld();

// Throws std::runtime_error naming the first offending field.
std::vector<CameraConfig> parse(const std::string& json);

// The world of KIVO_SIM_CONFIG, or the default when it is unset. A file that
// cannot be read or parsed costs one line on stderr and gives the default.
std::vector<CameraConfig> fromEnvironment();

} // namespace WorldConfig

} // namespace kivo
