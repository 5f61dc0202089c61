#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kivo {

// Failures injected by the control interface: the next calls of an
// operation, or of one command of it, return a chosen status.
class FaultTable
{
public:
    // operation is "CamOpen" or, for CamHotPixel and CamEvent, may name a
    // command: "CamHotPixel:0x810C". The first skip calls still work. count
    // 0 removes the fault. Throws std::invalid_argument for an unknown
    // operation, a bad command, a negative count or skip, or status 0.
    void inject(const std::string& operation, int count, int32_t status, int skip = 0);
    void clear() { faults.clear(); }
    // Faults that have not yet failed all their calls.
    int pending() const { return int(faults.size()); }

    // The status the current call must return, consuming one use, or 0.
    int32_t take(const char* operation, std::optional<uint32_t> command);

private:
    struct Fault
    {
        int skip = 0;
        int remaining = 0;
        int32_t status = 0;
    };

    static std::string key(const std::string& operation, std::optional<uint32_t> command);

    std::map<std::string, Fault> faults;
};

} // namespace kivo
