#include "atomicfile.h"

#include "camerror.h"
#include "camstatus.h"
#include "uniquefd.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

// <target>.kivotmp-<pid>-<number>
constexpr std::string_view temporaryMark = ".kivotmp-";

CamError fileError(const std::string& what, const std::string& path)
{
    return CamError(StatusFileError, what + " \"" + path + "\": " + std::strerror(errno));
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes the temporaries in directory whose names start with prefix and
// whose writer no longer runs. A writer of this process may still be busy.
void removeStale(const std::string& directory, const std::string& prefix)
{
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        const size_t mark = name.find(temporaryMark);
        if (mark == std::string_view::npos || name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string digits(name.substr(mark + temporaryMark.size()));
        char* end = nullptr;
        const long pid = std::strtol(digits.c_str(), &end, 10);
        if (end == digits.c_str() || *end != '-' || pid <= 0 || pid == long(::getpid()))
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// A new, empty temporary beside path; the umask applies to its mode.
UniqueFd createTemporary(const std::string& path, std::string& name)
{
    static std::atomic<uint64_t> counter{0};
    const uint64_t salt =
        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) & 0xffffffU;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + std::string(temporaryMark) + std::to_string(::getpid()) + '-' +
               std::to_string(salt + ++counter);
        UniqueFd file(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file.valid() || errno != EEXIST)
            return file;
    }
    return UniqueFd();
}

// Makes a finished rename survive a power loss. Some file systems cannot
// flush a directory; the rename has happened all the same.
void flushDirectory(const std::string& directory)
{
    const UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
}

} // namespace

void AtomicFile::write(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const std::string directory = directoryOf(path);
    removeStale(directory, baseName(path) + std::string(temporaryMark));
    std::string temp;
    UniqueFd file = createTemporary(path, temp);
    if (!file.valid())
        throw fileError("Cannot create", temp);
    try {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw fileError("Cannot write", temp);
            done += size_t(n);
        }
        struct stat existing;
        if (::stat(path.c_str(), &existing) == 0 &&
            ::fchmod(file.get(), existing.st_mode & 07777) != 0)
            throw fileError("Cannot keep the mode of", path);
        if (::fsync(file.get()) != 0)
            throw fileError("Cannot flush", temp);
        if (::close(file.release()) != 0)
            throw fileError("Cannot close", temp);
        if (std::rename(temp.c_str(), path.c_str()) != 0)
            throw fileError("Cannot replace", path);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    flushDirectory(directory);
}

void AtomicFile::removeStaleTemporaries(const std::string& directory)
{
    removeStale(directory, "");
}

} // namespace kivo
