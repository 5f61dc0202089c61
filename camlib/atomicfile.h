#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

// Whole-file writes. A write goes to a temporary file beside the target, is
// flushed to the disk and then renamed over the target, and the directory is
// flushed after it, so that a reader sees the old or the new contents, never a
// mixture, even after a power loss. The temporary's name carries the writer's
// process id: one whose writer has died is removed by the next write of the
// target.
namespace AtomicFile {
// A new file gets the umask's mode, a replaced one keeps its own. Throws
// CamError(StatusFileError); the target is unchanged then.
void write(const std::string& path, const std::vector<uint8_t>& bytes);

// Removes the temporaries of dead writers in the directory.
void removeStaleTemporaries(const std::string& directory);

} // namespace AtomicFile

} // namespace kivo
