#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

// Whole-file writes. A write goes to a temporary file beside the
// target, is flushed to the disk and then renamed over the target, so that a
// reader sees the old or the new contents, never a mixture.
namespace AtomicFile {

// Throws CamError(StatusFileError); the target is unchanged then.
void write(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace AtomicFile

} // namespace kivo
