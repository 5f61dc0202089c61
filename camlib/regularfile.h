#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

// Whole-file reads of files that someone else may have put in place. Only a
// regular file is read: a FIFO would block the first library call and a
// device such as /dev/zero would never end. No more than a cap is read.
namespace RegularFile {

// Throws CamError(StatusFileError) when the file cannot be opened or read or
// is no regular file, CamError(StatusFileFormat) when it holds more than
// maxBytes.
std::vector<uint8_t> read(const std::string& path, size_t maxBytes);

} // namespace RegularFile

} // namespace kivo
