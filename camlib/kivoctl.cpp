// kivoctl: changes the simulated camera world of a running program through
// the control socket of its camera library.

#include "controlsocket.h"
#include "uniquefd.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace {

const char usage[] =
    "usage: kivoctl [--pid N] <command> [arguments]\n"
    "       kivoctl --help | --version\n"
    "\n"
    "Changes the simulated camera world of a running program. Without --pid the\n"
    "one running program with a control socket is used.\n"
    "\n"
    "commands:\n"
    "  list                                 list the plugged-in cameras\n"
    "  cover <serial>, uncover <serial>     cover the sensor (dark frames) or uncover it\n"
    "  unplug <serial>, plug <serial>       pull the camera out or plug it in again\n"
    "  inuse <serial>, free <serial>        let another program hold the camera, or free it\n"
    "  fail-capture <serial>                make the next capture fail\n"
    "  fault <operation> <count> <status>   the next <count> calls of <operation> return\n"
    "                                       <status>, e.g. 'fault CamOpen 1 3' or\n"
    "                                       'fault CamHotPixel:0x810C 2 -1'; count 0 removes it\n"
    "  clear-faults                         remove every fault\n"
    "  eeprom <serial>                      print the user hot pixel list in the EEPROM\n"
    "  help                                 print this text\n"
    "\n"
    "options:\n"
    "  --pid N                              talk to the program with process id N\n"
    "  -h, --help                           print this text\n"
    "  --version                            print the version\n"
    "\n"
    "Sockets live in $XDG_RUNTIME_DIR/kivo-sim (without XDG_RUNTIME_DIR in\n"
    "/tmp/kivo-sim-<uid>). A program started with KIVO_SIM_NO_CONTROL_SOCKET=1 has none.\n";

constexpr int replyTimeoutMs = 10000;
constexpr size_t maxReplyLength = 16 * 1024 * 1024;

std::string pidList(const std::vector<pid_t>& pids)
{
    std::string text;
    for (const pid_t pid : pids)
        text += (text.empty() ? "" : ", ") + std::to_string(pid);
    return text;
}

pid_t parsePid(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value <= 0 || value > INT32_MAX)
        throw std::runtime_error("--pid needs a process id, not '" + text + '\'');
    return static_cast<pid_t>(value);
}

pid_t onlyRunningProgram()
{
    std::vector<pid_t> running = ControlSocket::socketOwners();
    running.erase(std::remove_if(running.begin(), running.end(),
                                 [](pid_t pid) { return !ControlSocket::isRunning(pid); }),
                  running.end());
    if (running.empty())
        throw std::runtime_error("no running program has a control socket in " +
                                 ControlSocket::directory());
    if (running.size() > 1)
        throw std::runtime_error("several programs are running (pids " + pidList(running) +
                                 "); choose one with --pid");
    return running.front();
}

UniqueFd connectTo(pid_t pid)
{
    const std::string path = ControlSocket::pathFor(pid);
    const sockaddr_un address = ControlSocket::addressOf(path);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid())
        throw std::runtime_error(std::string("cannot create a socket: ") + std::strerror(errno));
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
        return fd;
    const std::string program = "program " + std::to_string(pid);
    switch (errno) {
    case ENOENT:
        throw std::runtime_error(program + " has no control socket in " +
                                 ControlSocket::directory());
    case ECONNREFUSED:
        throw std::runtime_error(program + " does not answer (stale socket " + path + ')');
    case EAGAIN:
        throw std::runtime_error(program + " is busy; try again");
    default:
        throw std::runtime_error("cannot connect to " + path + ": " + std::strerror(errno));
    }
}

// The text as the terminal may show it: a reply can carry escape sequences
// (in a camera's name, say) that would drive the terminal. Control
// characters, C1 controls included, and broken UTF-8 become '?'; tabs stay.
std::string printable(const std::string& text)
{
    std::string shown;
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = [&text](size_t at) {
            return static_cast<unsigned char>(text[at]);
        };
        const unsigned char lead = byte(i);
        const size_t length = lead < 0x80                    ? 1
                              : lead >= 0xC2 && lead <= 0xDF ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
        bool wellFormed = length > 0 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k)
            wellFormed = (byte(i + k) & 0xC0) == 0x80;
        const bool control = length == 1 ? (lead < 0x20 && lead != '\t') || lead == 0x7f
                                         : lead == 0xC2 && byte(i + 1) < 0xA0;
        if (wellFormed && !control)
            shown.append(text, i, length);
        else
            shown += '?';
        i += wellFormed ? length : 1;
    }
    return shown;
}

// Sends one request and returns the text of an "ok" reply, lines separated by tabs.
std::string request(pid_t pid, const std::vector<std::string>& words)
{
    std::string line;
    for (const std::string& word : words) {
        if (word.empty() || std::any_of(word.begin(), word.end(),
                                        [](unsigned char c) { return c <= ' ' || c == 0x7f; }))
            throw std::runtime_error("arguments cannot be empty or hold spaces or control "
                                     "characters: '" +
                                     word + '\'');
        line += (line.empty() ? "" : " ") + word;
    }
    const UniqueFd fd = connectTo(pid);
    ControlSocket::writeAll(fd.get(), line + '\n', replyTimeoutMs);
    std::string reply;
    try {
        reply = printable(ControlSocket::readLine(fd.get(), maxReplyLength, replyTimeoutMs));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("program " + std::to_string(pid) + ": " + e.what());
    }
    if (reply == "ok")
        return std::string();
    if (reply.compare(0, 3, "ok ") == 0)
        return reply.substr(3);
    if (reply.compare(0, 6, "error ") == 0)
        throw std::runtime_error(reply.substr(6));
    throw std::runtime_error("unexpected reply from program " + std::to_string(pid) + ": " + reply);
}

int run(std::vector<std::string> args)
{
    pid_t pid = 0;
    if (!args.empty() && args.front().compare(0, 6, "--pid=") == 0) {
        pid = parsePid(args.front().substr(6));
        args.erase(args.begin());
    } else if (!args.empty() && args.front() == "--pid") {
        if (args.size() < 2)
            throw std::runtime_error("--pid needs a process id");
        pid = parsePid(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        throw std::runtime_error("no command given; see 'kivoctl help'");
    if (args.front() == "help" || args.front() == "--help" || args.front() == "-h") {
        std::cout << usage;
        return EXIT_SUCCESS;
    }
    if (args.front() == "--version") {
        std::cout << "kivoctl " KIVOCTL_VERSION "\n";
        return EXIT_SUCCESS;
    }
    // Sockets in a directory that someone else controls could belong to anyone.
    ControlSocket::checkDirectory(ControlSocket::directory());
    std::string text = request(pid ? pid : onlyRunningProgram(), args);
    if (!text.empty()) {
        std::replace(text.begin(), text.end(), '\t', '\n');
        std::cout << text << '\n';
    }
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char* argv[])
{
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "kivoctl: " << e.what() << '\n';
        return EXIT_FAILURE;
    }
}
