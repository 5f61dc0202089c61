#pragma once

#include "eventhub.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kivo {

// Runs one CamEvent command (register, enable, disable, signal, wait) with
// its buffer on a handle's events. lock holds the mutex that guards the hub;
// changed is notified when an event is latched and waited on by a wait.
// Throws CamError for bad input.
void runEventCommand(EventHub& hub, std::unique_lock<std::mutex>& lock,
                     std::condition_variable& changed, uint32_t command, void* buffer,
                     uint32_t size);

} // namespace kivo
