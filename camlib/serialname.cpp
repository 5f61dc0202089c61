#include "serialname.h"

namespace kivo {

std::string SerialName::escape(const std::string& serial)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string name;
    for (const char c : serial) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        if (plain) {
            name += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            name += '%';
            name += hex[byte >> 4];
            name += hex[byte & 0xF];
        }
    }
    return name;
}

} // namespace kivo
