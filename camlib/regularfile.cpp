#include "regularfile.h"

#include "camerror.h"
#include "camstatus.h"
#include "uniquefd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

CamError fileError(const std::string& what, const std::string& path)
{
    return CamError(StatusFileError, what + " \"" + path + "\": " + std::strerror(errno));
}

} // namespace

std::vector<uint8_t> RegularFile::read(const std::string& path, size_t maxBytes)
{
    // Non-blocking, so that opening a FIFO returns at once and fstat can refuse it.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid())
        throw fileError("Cannot open", path);
    struct stat info;
    if (::fstat(file.get(), &info) != 0)
        throw fileError("Cannot read", path);
    if (!S_ISREG(info.st_mode))
        throw CamError(StatusFileError, "\"" + path + "\" is not a regular file.");
    const auto tooLarge = [&path] {
        return CamError(StatusFileFormat, "\"" + path + "\" is too large.");
    };
    if (uint64_t(info.st_size) > maxBytes)
        throw tooLarge();
    // The file may grow while it is read: one byte beyond the cap tells.
    std::vector<uint8_t> bytes(size_t(info.st_size) + 1);
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > maxBytes)
                throw tooLarge();
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fileError("Cannot read", path);
        if (n == 0)
            break;
        done += size_t(n);
    }
    bytes.resize(done);
    return bytes;
}

} // namespace kivo
