#include "PortName.h"

#include <algorithm>
#include <cctype>

namespace serial {

namespace {

std::optional<int> portNumber(const std::string& name)
{
    if (name.size() < 4 || name.size() > 6)
        return std::nullopt;
    const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M')
        return std::nullopt;
    const std::string digits = name.substr(3);
    if (digits[0] == '0'
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(digits);
}

}  // namespace

std::optional<std::filesystem::path> ResolvePortName(const std::string& portName,
                                                     const std::filesystem::path& linkFolder)
{
    const auto n = portNumber(portName);
    if (!n)
        return std::nullopt;
    if (!linkFolder.empty()) {
        const auto link = linkFolder / "ports" / ("COM" + std::to_string(*n));
        std::error_code ec;
        if (std::filesystem::is_symlink(link, ec) || std::filesystem::exists(link, ec))
            return link;
    }
    const int number = *n;
    if (number >= 1 && number <= 32)
        return "/dev/ttyS" + std::to_string(number - 1);
    if (number >= 33 && number <= 64)
        return "/dev/ttyUSB" + std::to_string(number - 33);
    if (number >= 65 && number <= 96)
        return "/dev/ttyACM" + std::to_string(number - 65);
    return std::nullopt;
}

}  // namespace serial
