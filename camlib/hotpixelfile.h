#pragma once

#include "cameraconfig.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

// The binary hot pixel list file, also used for the simulated EEPROM:
//   bytes 0-3   magic "KVHP"
//   bytes 4-5   format version (1), little endian
//   bytes 6-7   0
//   bytes 8-11  entry count n, little endian
//   then n entries of x and y, 16 bits each, little endian
//   last 4      CRC-32 of everything before it, little endian
namespace HotPixelFile {

// The CRC-32 of the format's last four bytes.
uint32_t crc32(const uint8_t* data, size_t size);

std::vector<uint8_t> encode(const PixelList& list);
// Throws CamError(StatusFileFormat) for anything but a complete, intact file
// of this format.
PixelList decode(const std::vector<uint8_t>& bytes, const std::string& path);

void save(const std::string& path, const PixelList& list);
// Throws CamError(StatusFileError) for a missing or unreadable file.
PixelList load(const std::string& path);

} // namespace HotPixelFile

} // namespace kivo
