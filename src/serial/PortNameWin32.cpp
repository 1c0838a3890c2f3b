#include "serial/PortName.h"

#include <algorithm>
#include <cctype>

namespace serial {

namespace {

constexpr const char* DevicePrefix = R"(\\.\)";

// "COMn" in any letter case, n a decimal number without leading zeros.
std::optional<int> portNumber(const std::string& name)
{
    if (name.size() < 4 || name.size() > 6)
        return std::nullopt;
    const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M')
        return std::nullopt;
    const std::string digits = name.substr(3);
    if (digits[0] == '0' || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(digits);
}

}  // namespace

// The device namespace names every COM port, COM10 and above among them; nothing else is
// taken, so that a configured name cannot reach some other device or file.
std::optional<std::filesystem::path> ResolvePortName(const std::string& portName, const std::filesystem::path&)
{
    if (!portNumber(portName))
        return std::nullopt;
    return std::filesystem::path(DevicePrefix + portName);
}

std::optional<int> PortNumberOfDevice(const std::filesystem::path& device, const std::filesystem::path&)
{
    const std::string name = device.string();
    const std::string prefix = DevicePrefix;
    if (name.rfind(prefix, 0) != 0)
        return std::nullopt;
    return portNumber(name.substr(prefix.size()));
}

}  // namespace serial
