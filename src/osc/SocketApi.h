#pragma once

// The socket calls both systems offer, under each system's headers, and the pieces the two
// platforms' sockets have in common (UdpDatagrams.cpp) or each supply for them.

#include "osc/UdpSocket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using SocketLength = int;
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
using SocketLength = socklen_t;
#endif

#include <cstdint>
#include <string>
#include <vector>

namespace udp {

// Numeric addresses only: a name would send the window thread to a resolver that may hang.
// The reason when `host` and `port` are no address of `family`, else "".
std::string ResolveNumeric(const std::string& host, std::uint16_t port, int family, int flags, sockaddr_storage& address,
                           SocketLength& length);
// The numeric host and port of a datagram's sender; empty when the system cannot name them.
UdpPeer PeerOf(const sockaddr_storage& address, SocketLength length);

// The platform's (UdpSocket.cpp, UdpSocketWin32.cpp): readies the socket library, the reason
// when it cannot, else ""; the words for an address lookup's error; reads the next datagram
// into `datagram`, whose bytes are sized to the most that is read, false when none was read;
// sends one, false when the system did not take all of it.
std::string StartSockets();
std::string LookupReason(int error);
bool ReceiveFrom(int descriptor, UdpDatagram& datagram, sockaddr_storage& from, SocketLength& fromLength);
bool SendTo(int descriptor, const std::vector<std::uint8_t>& bytes, const sockaddr_storage& to, SocketLength length);

}  // namespace udp
