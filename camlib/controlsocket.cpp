#include "controlsocket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ControlSocket {

namespace {

const char socketSuffix[] = ".sock";

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// Waits until fd is ready for events; false on time-out.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    pollfd ready = {fd, events, 0};
    for (;;) {
        const int count = ::poll(&ready, 1, remainingMs(deadline));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
        return count > 0;
    }
}

// The pid of a file name "<pid>.sock", or 0.
pid_t pidOfName(const std::string& name)
{
    const size_t suffixLength = sizeof(socketSuffix) - 1;
    if (name.size() <= suffixLength ||
        name.compare(name.size() - suffixLength, suffixLength, socketSuffix) != 0)
        return 0;
    const std::string digits = name.substr(0, name.size() - suffixLength);
    if (digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return static_cast<pid_t>(std::stol(digits));
}

} // namespace

std::string directory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/kivo-sim";
    return "/tmp/kivo-sim-" + std::to_string(::getuid());
}

mode_t checkDirectory(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        throw std::runtime_error("cannot use " + path + ": " + std::strerror(errno));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        throw std::runtime_error(path + " is not a directory of this user");
    return info.st_mode;
}

std::string pathFor(pid_t pid)
{
    return directory() + '/' + std::to_string(pid) + socketSuffix;
}

std::vector<pid_t> socketOwners()
{
    std::vector<pid_t> pids;
    DIR* dir = ::opendir(directory().c_str());
    if (!dir)
        return pids;
    while (const dirent* entry = ::readdir(dir)) {
        if (const pid_t pid = pidOfName(entry->d_name))
            pids.push_back(pid);
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool isRunning(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno != EPERM)
        return false;
    // A zombie keeps its pid but never answers again.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t nameEnd = line.rfind(')');
    return nameEnd == std::string::npos || nameEnd + 2 >= line.size() || line[nameEnd + 2] != 'Z';
}

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        throw std::runtime_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

std::string readLine(int fd, size_t maxLength, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    char buffer[4096];
    for (;;) {
        if (!waitFor(fd, POLLIN, deadline))
            throw std::runtime_error("no answer in time");
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            throw std::runtime_error(std::string("read failed: ") + std::strerror(errno));
        if (got == 0)
            throw std::runtime_error("connection closed before a complete line");
        line.append(buffer, static_cast<size_t>(got));
        const size_t end = line.find('\n');
        if (std::min(end, line.size()) > maxLength)
            throw std::runtime_error("line too long");
        if (end != std::string::npos) {
            line.resize(end);
            return line;
        }
    }
}

void writeAll(int fd, const std::string& text, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < text.size()) {
        // MSG_NOSIGNAL: a peer that hung up must not kill the process with SIGPIPE.
        const ssize_t sent = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (sent >= 0) {
            done += static_cast<size_t>(sent);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(fd, POLLOUT, deadline))
                throw std::runtime_error("peer does not read");
        } else if (errno != EINTR) {
            throw std::runtime_error(std::string("write failed: ") + std::strerror(errno));
        }
    }
}

} // namespace ControlSocket
