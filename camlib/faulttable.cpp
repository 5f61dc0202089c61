#include "faulttable.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

namespace kivo {

namespace {

// Every library call but CamLastError, which reports the faults.
constexpr const char* operations[] = {
    "CamCount",          "CamList",         "CamOpen",        "CamClose",      "CamSensorInfo",
    "CamDeviceInfo",     "CamDuration",     "CamColorMode",   "CamImageArea",  "CamAllocBuffer",
    "CamFreeBuffer",     "CamRingAdd",      "CamRingClear",   "CamRingLatest", "CamRingLock",
    "CamRingUnlock",     "CamStartCapture", "CamStopCapture", "CamPixelClock", "CamPixelClockRange",
    "CamFrameTimeRange", "CamFrameRate",    "CamCurrentFps",  "CamExposure",   "CamExposureRange",
    "CamGain",           "CamEvent",        "CamHotPixel"};

bool known(const std::string& operation)
{
    return std::find(std::begin(operations), std::end(operations), operation) !=
           std::end(operations);
}

} // namespace

std::string FaultTable::key(const std::string& operation, std::optional<uint32_t> command)
{
    return command ? operation + ":" + std::to_string(*command) : operation;
}

void FaultTable::inject(const std::string& name, int count, int32_t status, int skip)
{
    const size_t colon = name.find(':');
    const std::string operation = name.substr(0, colon);
    if (!known(operation))
        throw std::invalid_argument("unknown operation \"" + operation + "\"");
    std::optional<uint32_t> command;
    if (colon != std::string::npos) {
        if (operation != "CamHotPixel" && operation != "CamEvent")
            throw std::invalid_argument("only CamHotPixel and CamEvent take a command");
        const std::string text = name.substr(colon + 1);
        char* end = nullptr;
        const unsigned long value = std::strtoul(text.c_str(), &end, 0);
        if (text.empty() || *end != '\0' || value > 0xffffffffUL)
            throw std::invalid_argument("bad command \"" + text + "\"");
        command = uint32_t(value);
    }
    if (count < 0 || skip < 0)
        throw std::invalid_argument("count and skip must not be negative");
    if (count == 0) {
        faults.erase(key(operation, command));
        return;
    }
    if (status == 0)
        throw std::invalid_argument("an injected status must not be 0");
    faults[key(operation, command)] = {skip, count, status};
}

int32_t FaultTable::take(const char* operation, std::optional<uint32_t> command)
{
    if (faults.empty())
        return 0;
    auto it = command ? faults.find(key(operation, command)) : faults.end();
    if (it == faults.end())
        it = faults.find(operation);
    if (it == faults.end())
        return 0;
    if (it->second.skip > 0) {
        --it->second.skip;
        return 0;
    }
    const int32_t status = it->second.status;
    if (--it->second.remaining == 0)
        faults.erase(it);
    return status;
}

} // namespace kivo
