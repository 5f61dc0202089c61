#include "cameralock.h"

#include "camerror.h"
#include "camstatus.h"
#include "controlsocket.h"
#include "serialname.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>

namespace kivo {

namespace {

std::string pathFor(const std::string& serial)
{
    return ControlSocket::directory() + "/camera-" + SerialName::escape(serial) + ".lock";
}

// Whether the directory is this user's own, so that nobody else can hold or
// fake a camera's lock.
bool ownDirectory()
{
    try {
        ControlSocket::checkDirectory(ControlSocket::directory());
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
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
    if (!ownDirectory())
        throw CamError(StatusCameraInUse, "Camera " + serial +
                                              " cannot be reserved: " + ControlSocket::directory() +
                                              " is not a directory of this user.");
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
    if (!ownDirectory())
        return false;
    // Only asks: taking the lock to see would make a concurrent open fail.
    const UniqueFd probe(::open(pathFor(serial).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!probe.valid())
        return false;
    struct flock region = wholeFile(F_WRLCK);
    return ::fcntl(probe.get(), F_OFD_GETLK, &region) == 0 && region.l_type != F_UNLCK;
}

} // namespace kivo
