#pragma once

#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/un.h>

// What the control server inside the simulated library and the kivoctl tool
// agree on: where the sockets live and how a line travels. A connection
// carries one request line and one reply line, "ok ..." or "error <text>";
// tabs in a reply separate its lines.
namespace ControlSocket {

// $XDG_RUNTIME_DIR/kivo-sim, or /tmp/kivo-sim-<uid> without a runtime directory.
std::string directory();
// Anyone may create the name in /tmp first: only a real directory of this
// user will do. Returns its mode; throws std::runtime_error otherwise.
mode_t checkDirectory(const std::string& path);
// <directory>/<pid>.sock
std::string pathFor(pid_t pid);
// The pids named by the sockets in the directory, ascending; includes stale
// sockets of programs that have died.
std::vector<pid_t> socketOwners();
bool isRunning(pid_t pid);

// Throws std::runtime_error when the path does not fit a socket address.
sockaddr_un addressOf(const std::string& path);

// Reads up to the next newline, which is not returned, within timeoutMs.
// Throws std::runtime_error on time-out, end of stream or a line longer than
// maxLength.
std::string readLine(int fd, size_t maxLength, int timeoutMs);
// Writes all of text within timeoutMs; throws std::runtime_error otherwise.
void writeAll(int fd, const std::string& text, int timeoutMs);

} // namespace ControlSocket
