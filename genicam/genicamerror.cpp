#include "genicamerror.h"

namespace genicam {

void GenicamError::check(GError* error, const std::string& what)
{
    if (!error)
        return;
    const std::string text = what + ": " + error->message;
    g_error_free(error);
    throw GenicamError(text);
}

} // namespace genicam
