// A program of its own that writes hot pixel lists until it is killed, for
// the kill tests: it opens device 1 of its world and, round after round,
// writes the lists of two list files in turn into the camera's EEPROM and, as
// its driver list, into a target list file. It says "ready" after the first
// round and ends after a round once its standard input closes.
//   kivo_list_writer <target file> <first list file> <second list file>

#include "kivo_api.h"

#include <cstdio>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {

using Words = std::vector<uint16_t>;

int32_t fileCommand(uint32_t handle, uint32_t command, const char* path)
{
    // The test's paths are ASCII, so each byte is one UTF-16 unit.
    std::u16string name(path, path + std::char_traits<char>::length(path));
    return CamHotPixel(handle, command, name.data(), 0);
}

bool readDriverList(uint32_t handle, const char* path, Words& words)
{
    uint32_t count = 0;
    if (fileCommand(handle, CAM_HP_DRIVER_LIST_LOAD_FILE, path) != CAM_SUCCESS ||
        CamHotPixel(handle, CAM_HP_DRIVER_LIST_COUNT, &count, 4) != CAM_SUCCESS)
        return false;
    words.assign(2 * size_t(count) + 1, 0);
    return CamHotPixel(handle, CAM_HP_DRIVER_LIST_GET, words.data(), uint32_t(words.size() * 2)) ==
           CAM_SUCCESS;
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    uint32_t handle = 1 | CAM_USE_DEVICE_ID;
    if (CamOpen(&handle, nullptr) != CAM_SUCCESS)
        return 1;
    Words lists[2];
    if (!readDriverList(handle, argv[2], lists[0]) || !readDriverList(handle, argv[3], lists[1]))
        return 1;
    for (unsigned round = 0;; ++round) {
        if (!writeBoth(handle, lists[round % 2], argv[1]))
            return 1;
        if (round == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
        if (inputClosed())
            break;
    }
    return CamClose(handle) == CAM_SUCCESS ? 0 : 1;
}
