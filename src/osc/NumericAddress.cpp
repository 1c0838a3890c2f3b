#include "osc/NumericAddress.h"

#include "osc/SocketApi.h"

std::optional<NumericAddress> ParseNumericAddress(const std::string& text)
{
    NumericAddress a;
    if (::inet_pton(AF_INET, text.c_str(), a.bytes.data()) == 1)
        return a;
    if (::inet_pton(AF_INET6, text.c_str(), a.bytes.data()) != 1)
        return std::nullopt;
    a.family = NumericAddress::IPv6;
    return a;
}
