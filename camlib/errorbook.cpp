#include "errorbook.h"

#include "camstatus.h"
#include "kivo_api.h"

namespace kivo {

void ErrorBook::record(uint32_t handle, int32_t code, const std::string& text)
{
    errors[handle] = {code, text};
}

void ErrorBook::forget(uint32_t handle)
{
    errors.erase(handle);
}

void ErrorBook::clear()
{
    errors.clear();
}

int32_t ErrorBook::report(uint32_t handle, bool knownHandle, int32_t* code, char** text) const
{
    // Each thread keeps its own copy, valid until its next call.
    thread_local std::string copy;
    if (!knownHandle) {
        copy = "Unknown camera handle " + std::to_string(handle) + ".";
        *code = StatusInvalidHandle;
        *text = copy.data();
        return StatusInvalidHandle;
    }
    const auto it = errors.find(handle);
    *code = it == errors.end() ? CAM_SUCCESS : it->second.code;
    copy = it == errors.end() ? "No error." : it->second.text;
    *text = copy.data();
    return CAM_SUCCESS;
}

} // namespace kivo
