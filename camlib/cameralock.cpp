#include "cameralock.h"

#include "camerror.h"
#include "camstatus.h"
#include "controlsocket.h"
#include "serialname.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

namespace kivo {

namespace {

std::string pathFor(const std::string& serial)
{
    return ControlSocket::directory() + "/camera-" + SerialName::escape(serial) + ".lock";
}

struct flock wholeFile(short type)
{
    struct flock region;
    std::memset(&region, 0, sizeof region);
    region.l_type = type;
    region.l_whence = SEEK_SET;
    return region;
}

} // namespace

CameraLock::CameraLock(const std::string& serial)
{
    const std::string path = pathFor(serial);
    // The control server makes the directory too; whichever comes first.
    ::mkdir(ControlSocket::directory().c_str(), 0700);
    file.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file.valid())
        throw CamError(StatusCameraInUse, "Camera " + serial + " cannot be reserved: " + path +
                                              ": " + std::strerror(errno) + ".");
    struct flock region = wholeFile(F_WRLCK);
    if (::fcntl(file.get(), F_OFD_SETLK, &region) != 0)
        throw CamError(StatusCameraInUse, "Camera " + serial + " is in use by another program.");
}

bool CameraLock::isHeld(const std::string& serial)
{
    // Only asks: taking the lock to see would make a concurrent open fail.
    const UniqueFd probe(::open(pathFor(serial).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!probe.valid())
        return false;
    struct flock region = wholeFile(F_WRLCK);
    return ::fcntl(probe.get(), F_OFD_GETLK, &region) == 0 && region.l_type != F_UNLCK;
}

} // namespace kivo
