#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// A numeric IPv4 or IPv6 address, its bytes in network order (an IPv4 address in the first four).
struct NumericAddress {
    enum Family { IPv4, IPv6 };
    Family family = IPv4;
    std::array<std::uint8_t, 16> bytes{};
};

// The system's own reading of the full numeric forms: no names, no "10.1" shorthand, no zone.
std::optional<NumericAddress> ParseNumericAddress(const std::string& text);
