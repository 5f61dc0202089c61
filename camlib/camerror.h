#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kivo {

// A failed library call: its status and the text CamLastError gives for it.
class CamError : public std::runtime_error
{
public:
    CamError(int32_t status, const std::string& text)
        : std::runtime_error(text)
        , code(status)
    {}

    int32_t status() const { return code; }

private:
    int32_t code;
};

} // namespace kivo
