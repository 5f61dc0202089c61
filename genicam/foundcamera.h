#pragma once

#include <cstdint>
#include <string>

namespace genicam {

// One camera the directory found, as the camera list shows it.
struct FoundCamera
{
    uint32_t number = 0;  // stable for the camera's key while the program runs
    std::string key;      // what tells cameras apart across scans
    std::string aravisId; // Aravis's device id; empty for a camera found by address
    std::string address;  // IPv4 address of a GigE Vision camera, else empty
    std::string model;
    std::string serial;
    bool inUse = false; // another client holds its control channel

    bool isGigE() const { return !address.empty(); }
};

} // namespace genicam
