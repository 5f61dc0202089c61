// A program that uses the simulated camera library and nothing else. The
// control server tests start it to watch a control socket come and go with
// its process: it says "ready" once the library runs and exits normally when
// its standard input closes.

#include "kivo_api.h"

#include <cstdio>

int main()
{
    int32_t count = 0;
    if (CamCount(&count) != CAM_SUCCESS)
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
