#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The other end of a datagram: a numeric host address and a port.
struct UdpPeer {
    std::string host;
    std::uint16_t port = 0;

    bool operator==(const UdpPeer&) const = default;
};

struct UdpDatagram {
    std::vector<std::uint8_t> bytes;
    UdpPeer from;
    bool truncated = false;  // longer than the largest datagram read
};

// A non-blocking UDP socket bound to one local address, for a caller that watches its
// descriptor. Every failure is given back as the system's reason, never thrown.
class UdpSocket {
public:
    static constexpr std::size_t MaxDatagram = 65536;

    UdpSocket() = default;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    ~UdpSocket() { Close(); }

    // An empty host binds every interface. Returns the reason when it cannot bind, else "".
    std::string Bind(const std::string& host, std::uint16_t port);
    // The reason when `peer` is no address of the bound socket's family, else "".
    std::string CheckPeer(const UdpPeer& peer) const;
    void Close();
    int Descriptor() const { return fd_; }

    // The next waiting datagram; nothing when none is waiting or the read failed.
    std::optional<UdpDatagram> Receive();
    // Best effort, as datagrams are: false when the system did not take it.
    bool Send(const UdpPeer& to, const std::vector<std::uint8_t>& bytes);

private:
    int fd_ = -1;
    int family_ = 0;
};
