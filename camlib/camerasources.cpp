#include "camerasources.h"

#include <cstdlib>
#include <sstream>

namespace kivo {

namespace {

bool switchedOn(const char* variable)
{
    const char* value = std::getenv(variable);
    return !value || (std::string(value) != "0" && std::string(value) != "off");
}

std::vector<std::string> addressList(const char* variable)
{
    const char* value = std::getenv(variable);
    std::string text = value ? value : "";
    for (char& c : text) {
        if (c == ',')
            c = ' ';
    }
    std::istringstream words(text);
    std::vector<std::string> result;
    for (std::string word; words >> word;)
        result.push_back(word);
    return result;
}

} // namespace

const CameraSources& CameraSources::fromEnvironment()
{
    static const CameraSources sources{switchedOn("KIVO_SIMULATED_CAMERAS"),
                                       switchedOn("KIVO_GENICAM_CAMERAS"),
                                       addressList("KIVO_GENICAM_ADDRESSES")};
    return sources;
}

} // namespace kivo
