#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace genicam {

// Asks one GigE Vision camera, by its address, who it is and whether a
// client holds its control channel, with two GVCP commands sent to that
// address alone: no broadcast and no control taken. Each answer is awaited
// for a short, bounded time.
class GvcpProbe
{
public:
    struct Identity
    {
        std::string model;
        std::string serial;
    };

    explicit GvcpProbe(std::string address);

    // Empty when the camera does not answer.
    std::optional<Identity> identify() const;
    // Empty when the camera does not answer.
    std::optional<bool> controlHeld() const;
    // The address of this host's interface that reaches the camera.
    std::string interfaceAddress() const;

private:
    bool connectTo(int fd) const;
    std::optional<std::vector<uint8_t>> exchange(uint16_t command,
                                                 const std::vector<uint8_t>& payload) const;

    std::string address;
};

} // namespace genicam
