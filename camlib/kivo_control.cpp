// The control interface of the simulated world, for tests and kivoctl.

#include "kivo_control.h"

#include "world.h"
#include "worldconfig.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using kivo::PixelList;
using kivo::SimCamera;
using kivo::World;
using Lock = World::Lock;

namespace {

thread_local std::string lastMessage;

World& world()
{
    return World::instance();
}

// Runs op, turning any failure into -1 and this thread's message.
template<class Op>
auto guarded(Op&& op) -> decltype(op())
{
    try {
        lastMessage.clear();
        return op();
    } catch (const std::exception& e) {
        lastMessage = e.what();
        return -1;
    }
}

int copyWords(const PixelList& list, uint16_t* words, int capacity)
{
    if (capacity < 0 || (capacity > 0 && !words))
        throw std::invalid_argument("bad word buffer");
    std::vector<uint16_t> all;
    all.reserve(list.size() * 2 + 1);
    all.push_back(uint16_t(list.size()));
    for (kivo::PixelPos p : list) {
        all.push_back(p.x);
        all.push_back(p.y);
    }
    std::copy_n(all.begin(), std::min(all.size(), size_t(capacity)), words);
    return int(list.size());
}

template<class Change>
int onCamera(const char* serial, Change&& change)
{
    return guarded([&] {
        return world().control([&](Lock& lock) {
            change(lock, world().camera(serial));
            return 0;
        });
    });
}

} // namespace

extern "C" {

const char* KivoSimLastMessage(void)
{
    return lastMessage.c_str();
}

int KivoSimLoadWorld(const char* json)
{
    return guarded([&] {
        const std::vector<kivo::CameraConfig> specs =
            json ? kivo::WorldConfig::parse(json) : kivo::WorldConfig::defaultWorld();
        return world().control([&](Lock& lock) {
            world().loadWorld(lock, specs);
            return 0;
        });
    });
}

int KivoSimSetPlugged(const char* serial, int plugged)
{
    return onCamera(serial,
                    [&](Lock&, SimCamera& camera) { world().setPlugged(camera, plugged != 0); });
}

int KivoSimSetCovered(const char* serial, int covered)
{
    return onCamera(serial, [&](Lock&, SimCamera& camera) { camera.covered = covered != 0; });
}

int KivoSimSetInUse(const char* serial, int inUse)
{
    return onCamera(serial, [&](Lock&, SimCamera& camera) { camera.inUseElsewhere = inUse != 0; });
}

int KivoSimInjectFault(const char* operation, int count, int32_t status)
{
    return KivoSimInjectFaultAfter(operation, 0, count, status);
}

int KivoSimInjectFaultAfter(const char* operation, int skip, int count, int32_t status)
{
    return guarded([&] {
        if (!operation)
            throw std::invalid_argument("no operation given");
        return world().control([&](Lock&) {
            world().faultTable().inject(operation, count, status, skip);
            return 0;
        });
    });
}

void KivoSimClearFaults(void)
{
    world().control([](Lock&) {
        world().faultTable().clear();
        return 0;
    });
}

int KivoSimPendingFaults(void)
{
    return world().control([](Lock&) { return world().faultTable().pending(); });
}

int KivoSimSetManualFrames(const char* serial, int manual)
{
    return onCamera(serial, [&](Lock&, SimCamera& camera) {
        camera.manualFrames = manual != 0;
        world().wakeFrameThread();
    });
}

int KivoSimDeliverFrame(const char* serial, const uint8_t* pixels, size_t size)
{
    return onCamera(serial, [&](Lock& lock, SimCamera& camera) {
        const uint32_t handle = world().openSession(camera).handle;
        // One frame at a time per camera: wait for one still being drawn.
        kivo::Session& s = world().waitForFrame(lock, handle);
        if (!s.capturing)
            throw std::invalid_argument("camera " + camera.config.serial + " is not capturing");
        if (!camera.plugged)
            throw std::invalid_argument("camera " + camera.config.serial + " is unplugged");
        if (pixels && size != s.frameBytes())
            throw std::invalid_argument("a frame of this camera takes " +
                                        std::to_string(s.frameBytes()) + " bytes, not " +
                                        std::to_string(size));
        world().deliverFrame(lock, s, pixels);
    });
}

int KivoSimFailNextCapture(const char* serial)
{
    return onCamera(serial, [&](Lock&, SimCamera& camera) { ++camera.pendingFailures; });
}

int KivoSimReadEeprom(const char* serial, uint16_t* words, int capacity)
{
    return guarded([&] {
        return world().control([&](Lock&) {
            SimCamera& camera = world().camera(serial);
            return copyWords(camera.readEeprom(), words, capacity);
        });
    });
}

int KivoSimReadTrueHotPixels(const char* serial, uint16_t* words, int capacity)
{
    return guarded([&] {
        return world().control([&](Lock&) {
            PixelList list;
            for (const kivo::HotPixel& hot : world().camera(serial).hotPixels)
                list.push_back({hot.x, hot.y});
            return copyWords(list, words, capacity);
        });
    });
}

int KivoSimReadFactoryList(const char* serial, uint16_t* words, int capacity)
{
    return guarded([&] {
        return world().control([&](Lock&) {
            return copyWords(world().camera(serial).config.factoryList, words, capacity);
        });
    });
}

int64_t KivoSimFramesProduced(const char* serial)
{
    return guarded([&] {
        return world().control([&](Lock&) { return world().camera(serial).framesProduced; });
    });
}

int64_t KivoSimFramesDropped(const char* serial)
{
    return guarded([&] {
        return world().control([&](Lock&) { return world().camera(serial).framesDropped; });
    });
}

} // extern "C"
