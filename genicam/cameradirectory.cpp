#include "cameradirectory.h"

#include "genicamerror.h"
#include "gvcpprobe.h"

#include <algorithm>
#include <chrono>

namespace genicam {

namespace {

constexpr auto scanInterval = std::chrono::seconds(1);

std::string keyOf(const FoundCamera& camera)
{
    return camera.model + '\n' + camera.serial + '\n' + camera.address;
}

std::vector<uint32_t> numbersOnlyIn(const std::vector<FoundCamera>& a,
                                    const std::vector<FoundCamera>& b)
{
    std::vector<uint32_t> result;
    for (const FoundCamera& camera : a) {
        const bool inB = std::any_of(b.begin(), b.end(), [&](const FoundCamera& other) {
            return other.number == camera.number;
        });
        if (!inB)
            result.push_back(camera.number);
    }
    return result;
}

std::string textOf(const char* text)
{
    return text ? text : "";
}

} // namespace

CameraDirectory::CameraDirectory(std::vector<std::string> cameraAddresses, ChangeHandler handler)
    : addresses(std::move(cameraAddresses))
    , onChange(std::move(handler))
    , thread(&CameraDirectory::run, this)
{}

CameraDirectory::~CameraDirectory()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    stopRequested.notify_all();
    thread.join();
}

std::vector<FoundCamera> CameraDirectory::cameras() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return current;
}

void CameraDirectory::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        lock.unlock();
        std::vector<FoundCamera> found = scan();
        lock.lock();
        number(found);
        const std::vector<uint32_t> arrived = numbersOnlyIn(found, current);
        const std::vector<uint32_t> gone = numbersOnlyIn(current, found);
        current = std::move(found);
        if (!arrived.empty() || !gone.empty()) {
            lock.unlock();
            onChange(arrived, gone);
            lock.lock();
        }
        stopRequested.wait_for(lock, scanInterval, [this] { return stopping; });
    }
}

std::vector<FoundCamera> CameraDirectory::scan()
{
    std::vector<FoundCamera> found = addresses.empty() ? scanAravis() : scanAddresses();
    for (FoundCamera& camera : found) {
        if (camera.isGigE())
            camera.inUse = GvcpProbe(camera.address).controlHeld().value_or(false);
    }
    return found;
}

std::vector<FoundCamera> CameraDirectory::scanAddresses() const
{
    std::vector<FoundCamera> found;
    for (const std::string& address : addresses) {
        if (const auto identity = GvcpProbe(address).identify()) {
            FoundCamera camera;
            camera.address = address;
            camera.model = identity->model;
            camera.serial = identity->serial;
            found.push_back(camera);
        }
    }
    return found;
}

std::vector<FoundCamera> CameraDirectory::scanAravis()
{
    std::lock_guard<std::mutex> lock(aravisList);
    arv_update_device_list();
    std::vector<FoundCamera> found;
    for (unsigned int i = 0; i < arv_get_n_devices(); ++i) {
        FoundCamera camera;
        camera.aravisId = textOf(arv_get_device_id(i));
        camera.model = textOf(arv_get_device_model(i));
        camera.serial = textOf(arv_get_device_serial_nbr(i));
        if (textOf(arv_get_device_protocol(i)) == "GigEVision")
            camera.address = textOf(arv_get_device_address(i));
        found.push_back(camera);
    }
    return found;
}

void CameraDirectory::number(std::vector<FoundCamera>& found)
{
    for (FoundCamera& camera : found) {
        camera.key = keyOf(camera);
        const auto it = numbers.find(camera.key);
        if (it != numbers.end()) {
            camera.number = it->second;
        } else if (numbers.size() < maxCameras) {
            camera.number = uint32_t(numbers.size());
            numbers.emplace(camera.key, camera.number);
        } else {
            camera.number = maxCameras;
        }
    }
    found.erase(std::remove_if(found.begin(), found.end(),
                               [](const FoundCamera& c) { return c.number >= maxCameras; }),
                found.end());
}

GObjectPtr<ArvDevice> CameraDirectory::openDevice(const FoundCamera& camera)
{
    GError* error = nullptr;
    GObjectPtr<ArvDevice> device;
    if (camera.isGigE()) {
        // Straight to the address: no discovery, and no lock to wait for.
        const std::string local = GvcpProbe(camera.address).interfaceAddress();
        const GObjectPtr<GInetAddress> interfaceAddress(
            g_inet_address_new_from_string(local.c_str()));
        const GObjectPtr<GInetAddress> deviceAddress(
            g_inet_address_new_from_string(camera.address.c_str()));
        if (!interfaceAddress || !deviceAddress)
            throw GenicamError("Camera " + camera.serial + " has no usable address.");
        device.reset(arv_gv_device_new(interfaceAddress.get(), deviceAddress.get(), &error));
    } else {
        std::lock_guard<std::mutex> lock(aravisList);
        device.reset(arv_open_device(camera.aravisId.c_str(), &error));
    }
    GenicamError::check(error, "Camera " + camera.serial + " could not be opened");
    if (!device)
        throw GenicamError("Camera " + camera.serial + " could not be opened.");
    return device;
}

} // namespace genicam
