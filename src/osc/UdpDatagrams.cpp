#include "osc/SocketApi.h"

// Datagrams and their addresses, the same on every platform; the socket calls are the platform's.

#include <cstdlib>
#include <cstring>

namespace udp {

std::string ResolveNumeric(const std::string& host, std::uint16_t port, int family, int flags, sockaddr_storage& address,
                           SocketLength& length)
{
    if (std::string reason = StartSockets(); !reason.empty())
        return reason;
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | flags;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int error = ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
    if (error != 0)
        return LookupReason(error);
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = SocketLength(found->ai_addrlen);
    ::freeaddrinfo(found);
    return {};
}

UdpPeer PeerOf(const sockaddr_storage& address, SocketLength length)
{
    UdpPeer peer;
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV)
        == 0) {
        peer.host = host;
        peer.port = static_cast<std::uint16_t>(std::strtoul(service, nullptr, 10));
    }
    return peer;
}

}  // namespace udp

std::string UdpSocket::CheckPeer(const UdpPeer& peer) const
{
    sockaddr_storage address{};
    SocketLength length = 0;
    return udp::ResolveNumeric(peer.host, peer.port, family_, 0, address, length);
}

std::optional<UdpDatagram> UdpSocket::Receive()
{
    if (fd_ < 0)
        return std::nullopt;
    UdpDatagram datagram;
    datagram.bytes.resize(MaxDatagram);
    sockaddr_storage from{};
    SocketLength fromLength = sizeof from;
    if (!udp::ReceiveFrom(fd_, datagram, from, fromLength))
        return std::nullopt;
    datagram.from = udp::PeerOf(from, fromLength);
    return datagram;
}

bool UdpSocket::Send(const UdpPeer& to, const std::vector<std::uint8_t>& bytes)
{
    sockaddr_storage address{};
    SocketLength length = 0;
    if (fd_ < 0 || !udp::ResolveNumeric(to.host, to.port, family_, 0, address, length).empty())
        return false;
    return udp::SendTo(fd_, bytes, address, length);
}
