#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace kivo {

// The last error of each handle, handed out as CamLastError promises. It has
// no lock of its own: its owner's mutex guards it.
class ErrorBook
{
public:
    void record(uint32_t handle, int32_t code, const std::string& text);
    void forget(uint32_t handle);
    void clear();
    // knownHandle: the handle is 0 or open with the owner.
    int32_t report(uint32_t handle, bool knownHandle, int32_t* code, char** text) const;

private:
    struct Error
    {
        int32_t code = 0;
        std::string text;
    };

    std::map<uint32_t, Error> errors;
};

} // namespace kivo
