#include "atomicfile.h"

#include "camerror.h"
#include "camstatus.h"

#include <cerrno>
#include <cstdio>
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

// Closes the descriptor on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd(fd)
    {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd; }
    int release()
    {
        const int result = fd;
        fd = -1;
        return result;
    }

private:
    int fd;
};

} // namespace

void AtomicFile::write(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string temp = path + ".XXXXXX";
    Descriptor file(::mkstemp(temp.data()));
    if (file.get() < 0)
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
        if (::fchmod(file.get(), 0644) != 0 || ::fsync(file.get()) != 0)
            throw fileError("Cannot flush", temp);
        if (::close(file.release()) != 0)
            throw fileError("Cannot close", temp);
        if (std::rename(temp.c_str(), path.c_str()) != 0)
            throw fileError("Cannot replace", path);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

} // namespace kivo
