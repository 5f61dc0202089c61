#pragma once

#include <string>
#include <vector>

namespace kivo {

// Which cameras the library serves, read once from the environment:
// KIVO_SIMULATED_CAMERAS=0 and KIVO_GENICAM_CAMERAS=0 switch either source
// off; KIVO_GENICAM_ADDRESSES lists GigE Vision camera addresses (separated
// by commas or spaces) to ask instead of searching the networks.
struct CameraSources
{
    bool simulated = true;
    bool genicam = true;
    std::vector<std::string> genicamAddresses;

    static const CameraSources& fromEnvironment();
};

} // namespace kivo
