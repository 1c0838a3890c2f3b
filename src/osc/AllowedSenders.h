#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The senders whose messages the show control carries out: numeric addresses, each with an
// optional prefix length ("127.0.0.1, ::1, 10.0.0.0/24"). An IPv4 address that reaches an IPv6
// socket as ::ffff:a.b.c.d is the IPv4 address.
class AllowedSenders {
public:
    // The list as the setting holds it, entries separated by commas; empty entries are left
    // out. Nothing, with the reason in `reason`, when an entry is malformed or none is given:
    // a list read otherwise than it was written would let in, or shut out, senders nobody chose.
    static std::optional<AllowedSenders> Parse(const QString& list, QString& reason);

    // `host` as the socket gives it: numeric, perhaps with an IPv6 zone ("fe80::1%eth0").
    bool Allows(const std::string& host) const;
    // The entries as written, for the operator.
    const QString& Text() const { return text_; }

private:
    struct Network {
        int family = 0;
        std::array<std::uint8_t, 16> bytes{};
        int prefix = 0;
    };
    std::vector<Network> networks_;
    QString text_;
};

// A loopback address (127.0.0.0/8, ::1): only this computer reaches a socket bound to it.
bool IsLoopbackAddress(const std::string& host);
