#include "osc/AllowedSenders.h"

#include "osc/NumericAddress.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

using Address = NumericAddress;

constexpr int Bits(int family)
{
    return family == NumericAddress::IPv4 ? 32 : 128;
}

std::optional<Address> ParseAddress(const std::string& text)
{
    std::optional<Address> a = ParseNumericAddress(text);
    if (!a || a->family == NumericAddress::IPv4)
        return a;
    static constexpr std::uint8_t Mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(a->bytes.data(), Mapped, sizeof Mapped) == 0) {
        std::memmove(a->bytes.data(), a->bytes.data() + 12, 4);
        std::memset(a->bytes.data() + 4, 0, 12);
        a->family = NumericAddress::IPv4;
    }
    return a;
}

bool SamePrefix(const std::array<std::uint8_t, 16>& a, const std::array<std::uint8_t, 16>& b, int prefix)
{
    const int whole = prefix / 8;
    if (std::memcmp(a.data(), b.data(), size_t(whole)) != 0)
        return false;
    const int rest = prefix % 8;
    if (rest == 0)
        return true;
    const auto mask = std::uint8_t(0xff << (8 - rest));
    return (a[size_t(whole)] & mask) == (b[size_t(whole)] & mask);
}

} // namespace

std::optional<AllowedSenders> AllowedSenders::Parse(const QString& list, QString& reason)
{
    AllowedSenders senders;
    QStringList written;
    for (const QString& item : list.split(u',')) {
        const QString entry = item.trimmed();
        if (entry.isEmpty())
            continue;
        const qsizetype slash = entry.indexOf(u'/');
        const std::optional<Address> address = ParseAddress(entry.left(slash).toStdString());
        int prefix = address ? Bits(address->family) : 0;
        bool valid = address.has_value();
        if (valid && slash >= 0) {
            const QString length = entry.mid(slash + 1);
            // Digits only: toInt would take a sign or blanks.
            valid = !length.isEmpty() && length.size() <= 3
                    && std::all_of(length.begin(), length.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
            prefix = length.toInt();
            // A mapped ::ffff:a.b.c.d/n counts its prefix over the IPv6 address.
            if (valid && address->family == NumericAddress::IPv4 && entry.contains(u':'))
                prefix -= 96;
            valid = valid && prefix >= 0 && prefix <= Bits(address->family);
        }
        if (!valid) {
            reason = QStringLiteral("the allowed sender \"%1\" is not a numeric address with an optional prefix length")
                         .arg(entry);
            return std::nullopt;
        }
        senders.networks_.push_back(Network{address->family, address->bytes, prefix});
        written << entry;
    }
    if (senders.networks_.empty()) {
        reason = QStringLiteral("no sender is allowed");
        return std::nullopt;
    }
    senders.text_ = written.join(QStringLiteral(", "));
    return senders;
}

bool AllowedSenders::Allows(const std::string& host) const
{
    const std::optional<Address> address = ParseAddress(host.substr(0, host.find('%')));
    if (!address)
        return false;
    for (const Network& network : networks_)
        if (network.family == address->family && SamePrefix(network.bytes, address->bytes, network.prefix))
            return true;
    return false;
}

bool IsLoopbackAddress(const std::string& host)
{
    const std::optional<Address> address = ParseAddress(host);
    if (!address)
        return false;
    if (address->family == NumericAddress::IPv4)
        return address->bytes[0] == 127;
    static constexpr std::array<std::uint8_t, 16> Loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return address->bytes == Loopback;
}
