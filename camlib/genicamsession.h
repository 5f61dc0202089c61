#pragma once

#include "cameraconfig.h"
#include "eventhub.h"
#include "fpsmeter.h"
#include "imagering.h"
#include "kivo_api.h"

#include "framestream.h"
#include "genicamcamera.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace kivo {

// A GenICam camera opened through CamOpen: its image memory, which of it the
// image stream holds, capture state and events. Guarded by the provider's
// mutex, also when the stream's thread hands back a block.
class GenicamSession
{
public:
    // What the camera told at open, still known when it has gone.
    struct Identity
    {
        std::string model;
        std::string serial;
        std::string version;
        std::pair<int, int> maxSize;
        bool bayer = false;
    };

    GenicamSession(uint32_t handle, uint32_t number, std::unique_ptr<genicam::GenicamCamera> camera,
                   Identity identity);

    // The camera, for a call that talks to it; throws CamError when it has
    // gone, rather than wait for a camera that does not answer.
    genicam::GenicamCamera& connected();

    // Lends the stream every ring buffer that holds no image to keep.
    void lendFreeBuffers();
    // A block came back from the stream; returns the event it makes
    // (CAM_EV_FRAME, CAM_EV_CAPTURE_FAILED), or 0.
    uint32_t blockReturned(const char* block, bool complete);
    // Locking a buffer the stream holds fails: it may be written any moment.
    void lock(ImageBuffer& buffer);
    void unlock(ImageBuffer& buffer);
    // Forgets the lent blocks once the stream is gone.
    void streamClosed() { lent.clear(); }

    const uint32_t handle;
    const uint32_t number;
    const std::unique_ptr<genicam::GenicamCamera> camera;
    const Identity identity;
    const std::shared_ptr<EventHub> events = std::make_shared<EventHub>();
    ImageRing ring;
    FpsMeter meter;
    std::unique_ptr<genicam::FrameStream> stream;

    // The list behind the binary list files.
    std::optional<PixelList> driverList;
    int colorMode = CAM_CM_MONO8;
    int area[4] = {0, 0, 0, 0};
    double frameTime = 1.0;
    bool capturing = false;
    // Unplugged or switched off while open.
    bool gone = false;

private:
    void lend(ImageBuffer& buffer);
    bool keeps(ImageBuffer& buffer) const;

    std::set<ImageBuffer*> lent;
};

} // namespace kivo
