#pragma once

#include "foundcamera.h"
#include "gobjectptr.h"

#include <arv.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace genicam {

// The GenICam cameras present, found again every second by a thread of its
// own: by Aravis's discovery (GigE Vision broadcast and USB3 Vision), or,
// when addresses are given, by asking only those GigE Vision addresses.
// Discovery takes about a second, so callers read the last result and never
// wait for the network.
class CameraDirectory
{
public:
    // Called from the directory's thread with the numbers of the cameras that
    // came and went since the previous scan.
    using ChangeHandler = std::function<void(const std::vector<uint32_t>& arrived,
                                             const std::vector<uint32_t>& gone)>;

    // Numbers run from 0 to maxCameras - 1.
    static constexpr uint32_t maxCameras = 4096;

    CameraDirectory(std::vector<std::string> addresses, ChangeHandler onChange);
    ~CameraDirectory();
    CameraDirectory(const CameraDirectory&) = delete;
    CameraDirectory& operator=(const CameraDirectory&) = delete;

    std::vector<FoundCamera> cameras() const;

    // Opens the camera's device; throws GenicamError.
    GObjectPtr<ArvDevice> openDevice(const FoundCamera& camera);

private:
    void run();
    std::vector<FoundCamera> scan();
    std::vector<FoundCamera> scanAddresses() const;
    std::vector<FoundCamera> scanAravis();
    // Assigns each camera its number, a new one for a key not seen before.
    void number(std::vector<FoundCamera>& found);

    const std::vector<std::string> addresses;
    const ChangeHandler onChange;

    mutable std::mutex mutex;
    std::condition_variable stopRequested;
    bool stopping = false;
    std::vector<FoundCamera> current;
    std::map<std::string, uint32_t> numbers;
    // Aravis's own device list is one per process and not safe to update
    // while a device is being opened from it.
    std::mutex aravisList;
    std::thread thread;
};

} // namespace genicam
