#pragma once

#include <glib.h>

#include <stdexcept>
#include <string>

namespace genicam {

// A failure of a GenICam camera, its text meant for the user.
class GenicamError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;

    // Throws "<what>: <Aravis's message>" and frees the error, when there is one.
    static void check(GError* error, const std::string& what);
};

} // namespace genicam
