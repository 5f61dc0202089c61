#include "genicamsession.h"

#include "camerror.h"
#include "camstatus.h"

#include <algorithm>

namespace kivo {

GenicamSession::GenicamSession(uint32_t sessionHandle, uint32_t cameraNumber,
                               std::unique_ptr<genicam::GenicamCamera> openCamera,
                               Identity cameraIdentity)
    : handle(sessionHandle)
    , number(cameraNumber)
    , camera(std::move(openCamera))
    , identity(std::move(cameraIdentity))
{}

genicam::GenicamCamera& GenicamSession::connected()
{
    if (gone)
        throw CamError(StatusCameraRemoved, "Camera " + identity.serial + " is not connected.");
    return *camera;
}

bool GenicamSession::keeps(ImageBuffer& buffer) const
{
    return buffer.locked || &buffer == ring.latest() || lent.count(&buffer) != 0;
}

void GenicamSession::lend(ImageBuffer& buffer)
{
    lent.insert(&buffer);
    stream->push(buffer.address(), buffer.bytes());
}

void GenicamSession::lendFreeBuffers()
{
    for (ImageBuffer* buffer : ring.buffers()) {
        if (!keeps(*buffer))
            lend(*buffer);
    }
}

uint32_t GenicamSession::blockReturned(const char* block, bool complete)
{
    // Once capture stopped, lent memory may be gone: nothing is looked up.
    if (!capturing)
        return 0;
    const auto it = std::find_if(lent.begin(), lent.end(), [&](const ImageBuffer* buffer) {
        return buffer->address() == block;
    });
    if (it == lent.end())
        return 0;
    ImageBuffer& buffer = **it;
    lent.erase(it);
    if (!complete) {
        lend(buffer);
        return CAM_EV_CAPTURE_FAILED;
    }
    ring.markWritten(&buffer);
    meter.frame(FpsMeter::Clock::now());
    lendFreeBuffers();
    return CAM_EV_FRAME;
}

void GenicamSession::lock(ImageBuffer& buffer)
{
    if (lent.count(&buffer))
        throw CamError(StatusInvalidParameter, "The image memory is being filled.");
    buffer.locked = true;
}

void GenicamSession::unlock(ImageBuffer& buffer)
{
    buffer.locked = false;
    if (capturing && stream && !keeps(buffer))
        lend(buffer);
}

} // namespace kivo
