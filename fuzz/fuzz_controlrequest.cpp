// A request line of the control socket, as a client may send it, with every
// argument also read as a number. A line above the limit is never accepted.

#include "controlrequest.h"

#include <climits>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const ControlRequest request(std::string(reinterpret_cast<const char*>(data), size));
        if (size > ControlRequest::maxLength)
            std::abort();
        for (size_t i = 0;; ++i) {
            try {
                request.number(i, LLONG_MIN, LLONG_MAX, "argument");
            } catch (const std::out_of_range&) {
                break;
            } catch (const std::runtime_error&) {
            }
        }
    } catch (const std::runtime_error&) {
    }
    return 0;
}
