#include "osc/UdpSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Numeric addresses only: a name would send the window thread to a resolver that may hang.
std::string ResolveNumeric(const std::string& host, std::uint16_t port, int family, int flags, sockaddr_storage& address,
                           socklen_t& length)
{
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | flags;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int error = ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
    if (error != 0)
        return error == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(error);
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = found->ai_addrlen;
    ::freeaddrinfo(found);
    return {};
}

} // namespace

void UdpSocket::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::string UdpSocket::Bind(const std::string& host, std::uint16_t port)
{
    sockaddr_storage address{};
    socklen_t length = 0;
    if (std::string reason = ResolveNumeric(host, port, AF_UNSPEC, AI_PASSIVE, address, length); !reason.empty())
        return reason;
    const int fd = ::socket(address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::strerror(errno);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        return std::strerror(error);
    }
    fd_ = fd;
    family_ = address.ss_family;
    return {};
}

std::string UdpSocket::CheckPeer(const UdpPeer& peer) const
{
    sockaddr_storage address{};
    socklen_t length = 0;
    return ResolveNumeric(peer.host, peer.port, family_, 0, address, length);
}

std::optional<UdpDatagram> UdpSocket::Receive()
{
    if (fd_ < 0)
        return std::nullopt;
    UdpDatagram datagram;
    datagram.bytes.resize(MaxDatagram);
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(fd_, datagram.bytes.data(), datagram.bytes.size(), MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0)
        return std::nullopt;
    datagram.truncated = std::size_t(n) > datagram.bytes.size();
    datagram.bytes.resize(std::min(std::size_t(n), datagram.bytes.size()));
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&from), fromLength, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV)
        == 0) {
        datagram.from.host = host;
        datagram.from.port = static_cast<std::uint16_t>(std::strtoul(service, nullptr, 10));
    }
    return datagram;
}

bool UdpSocket::Send(const UdpPeer& to, const std::vector<std::uint8_t>& bytes)
{
    sockaddr_storage address{};
    socklen_t length = 0;
    if (fd_ < 0 || !ResolveNumeric(to.host, to.port, family_, 0, address, length).empty())
        return false;
    return ::sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), length)
           == ssize_t(bytes.size());
}
