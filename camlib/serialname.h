#pragma once

#include <string>

namespace kivo {

// A camera serial as part of a file name. Letters, digits, '-' and '_' stand
// for themselves, so names made before stay valid; every other byte becomes
// %XX, so that serials differing only in punctuation never share a file.
namespace SerialName {

std::string escape(const std::string& serial);

} // namespace SerialName

} // namespace kivo
