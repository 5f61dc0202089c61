// A program of its own with the simulated library and its control socket:
//   kivo_sim_host        says "ready" once the library runs, exits when its input closes
//   kivo_sim_host hold   the same, holding device 1 open meanwhile
//   kivo_sim_host list   prints the serial of each listed camera
//   kivo_sim_host write <target file>
//     opens device 1 and, round after round, writes lists of 1000 and 900
//     entries in turn into its EEPROM and, as its driver list, into the target
//     file; says "ready" after the first round, ends after a round once its
//     input closes.

#include "kivo_api.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {

using Words = std::vector<uint16_t>;

int32_t fileCommand(uint32_t handle, uint32_t command, const char* path)
{
    // The test's paths are ASCII, so each byte is one UTF-16 unit.
    std::u16string name(path, path + std::strlen(path));
    return CamHotPixel(handle, command, name.data(), 0);
}

// The same lists as the test's grid(1000) and grid(900, 1).
Words grid(int count, int shift)
{
    Words words{uint16_t(count)};
    for (int k = 0; k < count; ++k)
        words.insert(words.end(), {uint16_t((k + shift) % 64), uint16_t(k / 64)});
    return words;
}

bool writeBoth(uint32_t handle, Words& words, const char* target)
{
    const uint32_t bytes = uint32_t(words.size() * 2);
    return CamHotPixel(handle, CAM_HP_USER_WRITE, words.data(), bytes) == CAM_SUCCESS &&
           CamHotPixel(handle, CAM_HP_DRIVER_LIST_SET, words.data(), bytes) == CAM_SUCCESS &&
           fileCommand(handle, CAM_HP_DRIVER_LIST_SAVE_FILE, target) == CAM_SUCCESS;
}

bool inputClosed()
{
    pollfd input{0, POLLIN, 0};
    char byte = 0;
    return ::poll(&input, 1, 0) > 0 && ::read(0, &byte, 1) <= 0;
}

void sayReady()
{
    std::puts("ready");
    std::fflush(stdout);
}

int writeLists(uint32_t handle, const char* target)
{
    Words lists[2] = {grid(1000, 0), grid(900, 1)};
    for (unsigned round = 0;; ++round) {
        if (!writeBoth(handle, lists[round % 2], target))
            return 1;
        if (round == 0)
            sayReady();
        if (inputClosed())
            return CamClose(handle) == CAM_SUCCESS ? 0 : 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "list") {
        std::vector<uint32_t> storage(1 + 16 * sizeof(CAM_CAMERA_INFO) / 4);
        auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
        list->count = 16;
        const bool listed = CamList(list) == CAM_SUCCESS;
        for (uint32_t i = 0; listed && i < list->count; ++i)
            std::printf("%s\n", list->cameras[i].serial);
        return 0;
    }
    int32_t count = 0;
    uint32_t handle = 1 | CAM_USE_DEVICE_ID;
    if (CamCount(&count) != CAM_SUCCESS || (mode != "" && CamOpen(&handle, nullptr) != CAM_SUCCESS))
        return 1;
    if (mode == "write")
        return argc == 3 ? writeLists(handle, argv[2]) : 2;
    sayReady();
    while (std::getchar() != EOF) {
    }
    return 0;
}
