#include "osc/SocketApi.h"

#include <windows.h>

// Socket handles are kernel handles, whose value fits the descriptor's int both ways (the system
// keeps them within 32 bits); INVALID_SOCKET becomes -1.

namespace {

// Not in every SDK's headers.
constexpr DWORD UdpConnReset = _WSAIOW(IOC_VENDOR, 12);

SOCKET Handle(int descriptor)
{
    return static_cast<SOCKET>(static_cast<std::intptr_t>(descriptor));
}

std::string SystemReason(int code)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason;
    if (length > 0) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
        reason.resize(std::size_t(bytes));
        ::WideCharToMultiByte(CP_UTF8, 0, text, int(length), reason.data(), bytes, nullptr, nullptr);
    }
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "system error " + std::to_string(code) : reason;
}

} // namespace

// Winsock is started once for the life of the process.
std::string udp::StartSockets()
{
    static const int result = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return result == 0 ? std::string() : SystemReason(result);
}

std::string udp::LookupReason(int error)
{
    return SystemReason(error);
}

void UdpSocket::Close()
{
    if (fd_ >= 0)
        ::closesocket(Handle(fd_));
    fd_ = -1;
}

std::string UdpSocket::Bind(const std::string& host, std::uint16_t port)
{
    sockaddr_storage address{};
    int length = 0;
    if (std::string reason = udp::ResolveNumeric(host, port, AF_UNSPEC, AI_PASSIVE, address, length); !reason.empty())
        return reason;
    const SOCKET s = ::WSASocketW(address.ss_family, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return SystemReason(::WSAGetLastError());
    const auto fail = [s] {
        const int error = ::WSAGetLastError();
        ::closesocket(s);
        return SystemReason(error);
    };
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return fail();
    // Nobody else may bind the port beside this socket and take its datagrams.
    BOOL exclusive = TRUE;
    if (::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0)
        return fail();
    // As on Linux, an IPv6 socket on every interface hears IPv4 senders too, as ::ffff:a.b.c.d.
    if (address.ss_family == AF_INET6) {
        DWORD v6only = 0;
        ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6only), sizeof v6only);
    }
    // A feedback datagram to a closed port comes back as an ICMP error, which Windows would
    // otherwise hand to the next receive as a reset in place of the next real datagram.
    BOOL reportResets = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, UdpConnReset, &reportResets, sizeof reportResets, nullptr, 0, &returned, nullptr, nullptr);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), length) != 0)
        return fail();
    fd_ = static_cast<int>(static_cast<std::intptr_t>(s));
    family_ = address.ss_family;
    return {};
}

bool udp::ReceiveFrom(int descriptor, UdpDatagram& datagram, sockaddr_storage& from, int& fromLength)
{
    const int n = ::recvfrom(Handle(descriptor), reinterpret_cast<char*>(datagram.bytes.data()), int(datagram.bytes.size()),
                             0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    // A longer datagram fills the buffer, and the rest of it is lost.
    if (n < 0 && ::WSAGetLastError() == WSAEMSGSIZE)
        datagram.truncated = true;
    else if (n < 0)
        return false;
    else
        datagram.bytes.resize(std::size_t(n));
    return true;
}

bool udp::SendTo(int descriptor, const std::vector<std::uint8_t>& bytes, const sockaddr_storage& to, int length)
{
    return ::sendto(Handle(descriptor), reinterpret_cast<const char*>(bytes.data()), int(bytes.size()), 0,
                    reinterpret_cast<const sockaddr*>(&to), length)
           == int(bytes.size());
}
