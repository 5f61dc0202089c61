#include "controlserver.h"

#include "controlrequest.h"
#include "controlsocket.h"
#include "kivo_control.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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

using Clock = std::chrono::steady_clock;

// A client that sends nothing or takes no reply for a while is dropped. The
// clients are served side by side, so that idle ones hold up no other.
constexpr auto requestTimeout = std::chrono::seconds(2);
constexpr auto replyTimeout = std::chrono::seconds(2);
constexpr size_t maxClients = 16;

// A client being served: its request arrives and its reply leaves piece by
// piece, as the socket takes them.
struct Client
{
    UniqueFd fd;
    Clock::time_point deadline;
    std::string input;
    std::string output;
    size_t sent = 0;
    bool replying = false;
};

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

std::string listCameras()
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

std::string readEeprom(const std::string& serial)
{
    std::vector<uint16_t> words(1);
    int count = 0;
    // The list may grow between the reads; read again until it fits.
    for (;;) {
        count = KivoSimReadEeprom(serial.c_str(), words.data(), static_cast<int>(words.size()));
        if (count < 0)
            throw controlFailure();
        if (2 * static_cast<size_t>(count) + 1 <= words.size())
            break;
        words.resize(2 * static_cast<size_t>(count) + 1);
    }
    std::string reply = std::to_string(count) + (count == 1 ? " hot pixel" : " hot pixels") +
                        " in the EEPROM of " + serial;
    for (int i = 0; i < count; ++i)
        reply += '\t' + std::to_string(words[1 + 2 * i]) + ',' + std::to_string(words[2 + 2 * i]);
    return reply;
}

std::string injectFault(const ControlRequest& request)
{
    const std::string& operation = request.argument(0);
    const auto count = static_cast<int>(request.number(1, 0, INT_MAX, "count"));
    const auto status = static_cast<int32_t>(request.number(2, INT32_MIN, INT32_MAX, "status"));
    checkControl(KivoSimInjectFault(operation.c_str(), count, status));
    if (count == 0)
        return "fault on " + operation + " removed";
    if (count == 1)
        return "the next call of " + operation + " returns " + std::to_string(status);
    return "the next " + std::to_string(count) + " calls of " + operation + " return " +
           std::to_string(status);
}

// The commands that switch one state of a camera on or off.
std::string switchState(int (*set)(const char*, int), const std::string& serial, int on,
                        const char* done)
{
    checkControl(set(serial.c_str(), on));
    return "camera " + serial + ' ' + done;
}

std::string run(const ControlRequest& request)
{
    using Command = ControlRequest::Command;
    switch (request.command()) {
    case Command::List:
        return listCameras();
    case Command::Cover:
        return switchState(KivoSimSetCovered, request.argument(0), 1, "covered");
    case Command::Uncover:
        return switchState(KivoSimSetCovered, request.argument(0), 0, "uncovered");
    case Command::Unplug:
        return switchState(KivoSimSetPlugged, request.argument(0), 0, "unplugged");
    case Command::Plug:
        return switchState(KivoSimSetPlugged, request.argument(0), 1, "plugged in");
    case Command::InUse:
        return switchState(KivoSimSetInUse, request.argument(0), 1, "held by another program");
    case Command::Free:
        return switchState(KivoSimSetInUse, request.argument(0), 0, "free");
    case Command::FailCapture:
        checkControl(KivoSimFailNextCapture(request.argument(0).c_str()));
        return "the next capture of " + request.argument(0) + " fails";
    case Command::Fault:
        return injectFault(request);
    case Command::ClearFaults:
        KivoSimClearFaults();
        return "all faults removed";
    case Command::Eeprom:
        return readEeprom(request.argument(0));
    }
    throw std::logic_error("command without an implementation");
}

// Sends what the socket takes of the reply; false once the client is done with.
bool sendSome(Client& client)
{
    const ssize_t n = ::send(client.fd.get(), client.output.data() + client.sent,
                             client.output.size() - client.sent, MSG_NOSIGNAL);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    client.sent += static_cast<size_t>(n);
    return client.sent < client.output.size();
}

// Carries out one request line; returns the reply line without its newline.
std::string execute(const std::string& line)
{
    std::string reply;
    try {
        const std::string text = run(ControlRequest(line));
        reply = text.empty() ? "ok" : "ok " + text;
    } catch (const std::exception& e) {
        reply = std::string("error ") + e.what();
    }
    // A message with a line break would end the reply early.
    std::replace(reply.begin(), reply.end(), '\n', ' ');
    return reply;
}

// Reads what has arrived and replies once the line is complete; false once
// the client is done with.
bool receive(Client& client)
{
    char buffer[1024];
    const ssize_t got = ::recv(client.fd.get(), buffer, sizeof(buffer), 0);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    // A client that hangs up before its line ends has nobody left to tell.
    if (got == 0)
        return false;
    client.input.append(buffer, static_cast<size_t>(got));
    const size_t end = client.input.find('\n');
    if (end == std::string::npos && client.input.size() <= ControlRequest::maxLength)
        return true;
    // A line without its end beyond the limit is refused as too long all the same.
    client.input.resize(std::min(end, client.input.size()));
    client.output = execute(client.input) + '\n';
    client.replying = true;
    client.deadline = Clock::now() + replyTimeout;
    return sendSome(client);
}

void ensureDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw systemError("cannot create " + path);
    const mode_t mode = ControlSocket::checkDirectory(path);
    if ((mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
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

void ControlServer::serve()
{
    std::vector<Client> clients;
    std::vector<pollfd> fds;
    for (;;) {
        const Clock::time_point now = Clock::now();
        clients.erase(std::remove_if(clients.begin(), clients.end(),
                                     [now](const Client& c) { return c.deadline <= now; }),
                      clients.end());
        // While full, new clients wait in the listen queue.
        fds = {{wakeRead.get(), POLLIN, 0},
               {listener.get(), short(clients.size() < maxClients ? POLLIN : 0), 0}};
        int timeoutMs = -1;
        for (const Client& client : clients) {
            fds.push_back({client.fd.get(), short(client.replying ? POLLOUT : POLLIN), 0});
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(client.deadline - now);
            const int ms = static_cast<int>(left.count()) + 1;
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents != 0)
            return;
        std::vector<Client> served;
        for (size_t i = 0; i < clients.size(); ++i) {
            const bool ready = fds[i + 2].revents != 0;
            Client& client = clients[i];
            if (!ready || (client.replying ? sendSome(client) : receive(client)))
                served.push_back(std::move(client));
        }
        clients = std::move(served);
        while ((fds[1].revents & POLLIN) && clients.size() < maxClients) {
            UniqueFd fd(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!fd.valid())
                break;
            clients.push_back({std::move(fd), Clock::now() + requestTimeout, {}, {}, 0, false});
        }
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
