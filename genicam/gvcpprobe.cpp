#include "gvcpprobe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

namespace genicam {

namespace {

// GigE Vision control protocol: port, command codes and the places of the
// texts in the discovery answer (those of the bootstrap registers).
constexpr uint16_t gvcpPort = 3956;
constexpr uint16_t discoveryCommand = 0x0002;
constexpr uint16_t readRegisterCommand = 0x0080;
constexpr uint32_t controlPrivilegeRegister = 0x0A00;
constexpr size_t modelAt = 0x68;
constexpr size_t serialAt = 0xD8;
constexpr size_t textLength = 32;
constexpr size_t serialLength = 16;
constexpr size_t headerSize = 8;
constexpr int answerTimeoutMs = 200;
constexpr int attempts = 2;

uint16_t nextRequestId()
{
    static std::atomic<uint16_t> id{0};
    uint16_t value = ++id;
    return value ? value : ++id;
}

std::string text(const std::vector<uint8_t>& data, size_t at, size_t length)
{
    if (data.size() < at + length)
        return {};
    const auto begin = data.begin() + long(at);
    return std::string(begin, std::find(begin, begin + long(length), 0));
}

class UdpSocket
{
public:
    UdpSocket()
        : fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {}
    ~UdpSocket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    int fd;
};

} // namespace

GvcpProbe::GvcpProbe(std::string cameraAddress)
    : address(std::move(cameraAddress))
{}

bool GvcpProbe::connectTo(int fd) const
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(gvcpPort);
    return fd >= 0 && ::inet_pton(AF_INET, address.c_str(), &to.sin_addr) == 1 &&
           ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

std::string GvcpProbe::interfaceAddress() const
{
    // Connecting a datagram socket sends nothing; it only picks the route.
    const UdpSocket socket;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    if (!connectTo(socket.fd) ||
        ::getsockname(socket.fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        !::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
        return {};
    return text;
}

std::optional<std::vector<uint8_t>> GvcpProbe::exchange(uint16_t command,
                                                        const std::vector<uint8_t>& payload) const
{
    const UdpSocket socket;
    if (!connectTo(socket.fd))
        return std::nullopt;

    const uint16_t id = nextRequestId();
    std::vector<uint8_t> request = {0x42,
                                    0x01, // an acknowledge is wanted
                                    uint8_t(command >> 8),
                                    uint8_t(command),
                                    uint8_t(payload.size() >> 8),
                                    uint8_t(payload.size()),
                                    uint8_t(id >> 8),
                                    uint8_t(id)};
    request.insert(request.end(), payload.begin(), payload.end());
    std::vector<uint8_t> answer(576);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (::send(socket.fd, request.data(), request.size(), 0) < 0)
            return std::nullopt;
        pollfd ready{socket.fd, POLLIN, 0};
        while (::poll(&ready, 1, answerTimeoutMs) == 1) {
            const ssize_t n = ::recv(socket.fd, answer.data(), answer.size(), 0);
            // Status 0, the answer to this command and this request.
            if (n >= ssize_t(headerSize) && answer[0] == 0 && answer[1] == 0 &&
                answer[3] == uint8_t(command + 1) && answer[6] == uint8_t(id >> 8) &&
                answer[7] == uint8_t(id)) {
                return std::vector<uint8_t>(answer.begin() + headerSize, answer.begin() + n);
            }
        }
    }
    return std::nullopt;
}

std::optional<GvcpProbe::Identity> GvcpProbe::identify() const
{
    const auto answer = exchange(discoveryCommand, {});
    if (!answer)
        return std::nullopt;
    return Identity{text(*answer, modelAt, textLength), text(*answer, serialAt, serialLength)};
}

std::optional<bool> GvcpProbe::controlHeld() const
{
    const uint32_t r = controlPrivilegeRegister;
    const auto answer = exchange(readRegisterCommand,
                                 {uint8_t(r >> 24), uint8_t(r >> 16), uint8_t(r >> 8), uint8_t(r)});
    if (!answer || answer->size() < 4)
        return std::nullopt;
    // Exclusive or control access: bits 0 and 1 of the privilege register.
    return ((*answer)[3] & 0x03) != 0;
}

} // namespace genicam
