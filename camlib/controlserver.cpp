#include "controlserver.h"

#include "controlsocket.h"
#include "kivo_control.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A person types requests by hand, so they are short; a client that sends
// nothing for a while is dropped so that others get their turn.
constexpr size_t maxRequestLength = 1024;
constexpr int requestTimeoutMs = 2000;
constexpr int replyTimeoutMs = 2000;

using Arguments = std::vector<std::string>;

std::runtime_error systemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

std::runtime_error controlFailure()
{
    const char* message = KivoSimLastMessage();
    return std::runtime_error(message && *message ? message : "failed");
}

void checkControl(int result)
{
    if (result != 0)
        throw controlFailure();
}

void checkCam(int32_t status)
{
    if (status == CAM_SUCCESS)
        return;
    int32_t code = status;
    char* text = nullptr;
    const bool described = CamLastError(0, &code, &text) == CAM_SUCCESS && text && *text;
    throw std::runtime_error((described ? std::string(text) : std::string("camera list failed")) +
                             " (status " + std::to_string(status) + ')');
}

// Strict decimal or 0x-prefixed number within [min, max].
long long parseNumber(const std::string& text, long long min, long long max, const char* what)
{
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < min || value > max)
        throw std::runtime_error(std::string(what) + " must be a number from " +
                                 std::to_string(min) + " to " + std::to_string(max) + ", not '" +
                                 text + '\'');
    return value;
}

std::string listCameras(const Arguments&)
{
    int32_t count = 0;
    checkCam(CamCount(&count));
    if (count <= 0)
        return "no cameras";
    // The list is a count followed by the records; all fields are 32-bit aligned.
    const size_t words = 1 + static_cast<size_t>(count) * sizeof(CAM_CAMERA_INFO) / 4;
    std::vector<uint32_t> storage(words);
    auto* list = reinterpret_cast<CAM_CAMERA_LIST*>(storage.data());
    list->count = static_cast<uint32_t>(count);
    checkCam(CamList(list));
    const uint32_t listed = std::min(list->count, static_cast<uint32_t>(count));
    std::string reply = std::to_string(listed) + (listed == 1 ? " camera" : " cameras");
    for (uint32_t i = 0; i < listed; ++i) {
        const CAM_CAMERA_INFO& camera = list->cameras[i];
        reply += '\t' + std::string(camera.serial, strnlen(camera.serial, sizeof(camera.serial))) +
                 "  " + std::string(camera.model, strnlen(camera.model, sizeof(camera.model))) +
                 "  device " + std::to_string(camera.deviceId) + (camera.inUse ? "  in use" : "");
    }
    return reply;
}

std::string readEeprom(const Arguments& args)
{
    const char* serial = args[0].c_str();
    std::vector<uint16_t> words(1);
    int count = 0;
    // The list may grow between the reads; read again until it fits.
    for (;;) {
        count = KivoSimReadEeprom(serial, words.data(), static_cast<int>(words.size()));
        if (count < 0)
            throw controlFailure();
        if (2 * static_cast<size_t>(count) + 1 <= words.size())
            break;
        words.resize(2 * static_cast<size_t>(count) + 1);
    }
    std::string reply = std::to_string(count) + (count == 1 ? " hot pixel" : " hot pixels") +
                        " in the EEPROM of " + args[0];
    for (int i = 0; i < count; ++i)
        reply += '\t' + std::to_string(words[1 + 2 * i]) + ',' + std::to_string(words[2 + 2 * i]);
    return reply;
}

std::string injectFault(const Arguments& args)
{
    const auto count = static_cast<int>(parseNumber(args[1], 0, INT_MAX, "count"));
    const auto status = static_cast<int32_t>(parseNumber(args[2], INT32_MIN, INT32_MAX, "status"));
    checkControl(KivoSimInjectFault(args[0].c_str(), count, status));
    if (count == 0)
        return "fault on " + args[0] + " removed";
    if (count == 1)
        return "the next call of " + args[0] + " returns " + std::to_string(status);
    return "the next " + std::to_string(count) + " calls of " + args[0] + " return " +
           std::to_string(status);
}

std::string clearFaults(const Arguments&)
{
    KivoSimClearFaults();
    return "all faults removed";
}

std::string failCapture(const Arguments& args)
{
    checkControl(KivoSimFailNextCapture(args[0].c_str()));
    return "the next capture of " + args[0] + " fails";
}

// The commands that switch one state of a camera on or off.
template<int (*set)(const char*, int), int on>
std::string switchState(const Arguments& args, const char* done)
{
    checkControl(set(args[0].c_str(), on));
    return "camera " + args[0] + ' ' + done;
}

struct Command
{
    const char* name;
    const char* usage;
    size_t argumentCount;
    std::string (*run)(const Arguments&);
};

const Command commands[] = {
    {"list", "", 0, listCameras},
    {"cover", "<serial>", 1,
     [](const Arguments& a) {
         return switchState<KivoSimSetCovered, 1>(a, "covered");
     }},
    {"uncover", "<serial>", 1,
     [](const Arguments& a) {
         return switchState<KivoSimSetCovered, 0>(a, "uncovered");
     }},
    {"unplug", "<serial>", 1,
     [](const Arguments& a) {
         return switchState<KivoSimSetPlugged, 0>(a, "unplugged");
     }},
    {"plug", "<serial>", 1,
     [](const Arguments& a) {
         return switchState<KivoSimSetPlugged, 1>(a, "plugged in");
     }},
    {"inuse", "<serial>", 1,
     [](const Arguments& a) {
         return switchState<KivoSimSetInUse, 1>(a, "held by another program");
     }},
    {"free", "<serial>", 1,
     [](const Arguments& a) {
         return switchState<KivoSimSetInUse, 0>(a, "free");
     }},
    {"fail-capture", "<serial>", 1, failCapture},
    {"fault", "<operation> <count> <status>", 3, injectFault},
    {"clear-faults", "", 0, clearFaults},
    {"eeprom", "<serial>", 1, readEeprom},
};

void ensureDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw systemError("cannot create " + path);
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        throw systemError("cannot use " + path);
    // Anyone may create this name in /tmp first: only our own real directory will do.
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        throw std::runtime_error(path + " is not a directory of this user");
    if ((info.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        throw systemError("cannot restrict " + path);
}

void removeStaleSockets()
{
    for (const pid_t pid : ControlSocket::socketOwners()) {
        if (!ControlSocket::isRunning(pid))
            ::unlink(ControlSocket::pathFor(pid).c_str());
    }
}

} // namespace

ControlServer::ControlServer()
    : socketPath(ControlSocket::pathFor(::getpid()))
{
    ensureDirectory(ControlSocket::directory());
    removeStaleSockets();
    const sockaddr_un address = ControlSocket::addressOf(socketPath);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw systemError("cannot create a pipe");
    wakeRead.reset(pipeFds[0]);
    wakeWrite.reset(pipeFds[1]);

    listener.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.valid())
        throw systemError("cannot create a socket");
    // A socket left under our pid belongs to a dead process that had it before.
    ::unlink(socketPath.c_str());
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        throw systemError("cannot bind " + socketPath);
    try {
        if (::chmod(socketPath.c_str(), 0600) != 0)
            throw systemError("cannot restrict " + socketPath);
        if (::listen(listener.get(), 8) != 0)
            throw systemError("cannot listen on " + socketPath);
        // The thread inherits a full signal mask: the program's signals go to its own threads.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        try {
            thread = std::thread(&ControlServer::serve, this);
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    } catch (...) {
        ::unlink(socketPath.c_str());
        throw;
    }
}

ControlServer::~ControlServer()
{
    while (::write(wakeWrite.get(), "x", 1) < 0 && errno == EINTR) {
    }
    thread.join();
    ::unlink(socketPath.c_str());
}

std::string ControlServer::execute(const std::string& request)
{
    std::istringstream stream(request);
    const Arguments words{std::istream_iterator<std::string>(stream),
                          std::istream_iterator<std::string>()};
    if (words.empty())
        return "error empty request";
    const auto command = std::find_if(std::begin(commands), std::end(commands),
                                      [&](const Command& c) { return words[0] == c.name; });
    if (command == std::end(commands))
        return "error unknown command '" + words[0] + '\'';
    const Arguments args(words.begin() + 1, words.end());
    if (args.size() != command->argumentCount)
        return std::string("error usage: ") + command->name +
               (command->argumentCount ? std::string(" ") + command->usage : std::string());
    std::string reply;
    try {
        const std::string text = command->run(args);
        reply = text.empty() ? "ok" : "ok " + text;
    } catch (const std::exception& e) {
        reply = std::string("error ") + e.what();
    }
    // A message with a line break would end the reply early.
    std::replace(reply.begin(), reply.end(), '\n', ' ');
    return reply;
}

void ControlServer::serve()
{
    pollfd fds[2] = {{listener.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents & POLLIN) {
            const UniqueFd client(
                ::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (client.valid())
                answer(client.get());
        }
    }
}

void ControlServer::answer(int client)
{
    std::string reply;
    try {
        reply = execute(
            ControlSocket::readLine(client, maxRequestLength, requestTimeoutMs, wakeRead.get()));
    } catch (const std::exception& e) {
        reply = std::string("error ") + e.what();
    }
    try {
        ControlSocket::writeAll(client, reply + '\n', replyTimeoutMs);
    } catch (const std::exception&) {
        // The client has gone; nobody is left to tell.
    }
}

void startControlServer()
{
    [[maybe_unused]] static const std::unique_ptr<ControlServer> server =
        []() -> std::unique_ptr<ControlServer> {
        const char* optOut = std::getenv("KIVO_SIM_NO_CONTROL_SOCKET");
        if (optOut && *optOut && std::strcmp(optOut, "0") != 0)
            return nullptr;
        try {
            return std::make_unique<ControlServer>();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "kivo-sim: no control socket: %s\n", e.what());
            return nullptr;
        }
    }();
}
