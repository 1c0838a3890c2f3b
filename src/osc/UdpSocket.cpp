#include "osc/SocketApi.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

// The sockets need no start here.
std::string udp::StartSockets()
{
    return {};
}

std::string udp::LookupReason(int error)
{
    return error == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(error);
}

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
    if (std::string reason = udp::ResolveNumeric(host, port, AF_UNSPEC, AI_PASSIVE, address, length); !reason.empty())
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

bool udp::ReceiveFrom(int descriptor, UdpDatagram& datagram, sockaddr_storage& from, socklen_t& fromLength)
{
    const ssize_t n = ::recvfrom(descriptor, datagram.bytes.data(), datagram.bytes.size(), MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0)
        return false;
    datagram.truncated = std::size_t(n) > datagram.bytes.size();
    datagram.bytes.resize(std::min(std::size_t(n), datagram.bytes.size()));
    return true;
}

bool udp::SendTo(int descriptor, const std::vector<std::uint8_t>& bytes, const sockaddr_storage& to, socklen_t length)
{
    return ::sendto(descriptor, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), length)
           == ssize_t(bytes.size());
}
