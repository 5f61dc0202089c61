// A program of its own with the simulated library and its control socket: it
// says "ready" once the library runs and exits when its standard input closes.

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
