#include "serial/PortName.h"

#include "common/TrustedPath.h"

#include <algorithm>
#include <cctype>

namespace serial {

namespace {

namespace fs = std::filesystem;

struct DeviceRange {
    int firstPort;
    const char* devicePrefix;
};
constexpr DeviceRange Ranges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int RangeSize = 32;

bool allDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int> portNumber(const std::string& name)
{
    if (name.size() < 4 || name.size() > 6)
        return std::nullopt;
    const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M')
        return std::nullopt;
    const std::string digits = name.substr(3);
    if (digits[0] == '0' || !allDigits(digits))
        return std::nullopt;
    return std::stoi(digits);
}

fs::path linkPath(const fs::path& linkFolder, int n)
{
    return linkFolder / "ports" / ("COM" + std::to_string(n));
}

// Symbolic links on the way (/dev/serial/by-id/...) are followed where they exist.
bool sameDevice(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    const fs::path ca = fs::weakly_canonical(a, ec);
    if (ec)
        return false;
    const fs::path cb = fs::weakly_canonical(b, ec);
    return !ec && ca == cb;
}

std::optional<int> linkedPortNumber(const fs::path& device, const fs::path& linkFolder)
{
    std::optional<int> lowest;
    std::error_code ec;
    const fs::path ports = linkFolder / "ports";
    for (fs::directory_iterator it(ports, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto n = portNumber(name);
        // Only the spelling that ResolvePortName looks up.
        if (!n || name != "COM" + std::to_string(*n) || !it->is_symlink(ec))
            continue;
        const auto target = resolveTrustedPath(it->path(), LinkTrust::OwnOrAdministrator);
        if (target && sameDevice(*target, device) && (!lowest || *n < *lowest))
            lowest = n;
    }
    return lowest;
}

}  // namespace

std::optional<std::filesystem::path> ResolvePortName(const std::string& portName,
                                                     const std::filesystem::path& linkFolder)
{
    const auto n = portNumber(portName);
    if (!n)
        return std::nullopt;
    if (!linkFolder.empty()) {
        const auto link = linkPath(linkFolder, *n);
        std::error_code ec;
        if (fs::is_symlink(link, ec) || fs::exists(link, ec))
            return resolveTrustedPath(link, LinkTrust::OwnOrAdministrator);
    }
    for (const DeviceRange& range : Ranges)
        if (*n >= range.firstPort && *n < range.firstPort + RangeSize)
            return range.devicePrefix + std::to_string(*n - range.firstPort);
    return std::nullopt;
}

std::optional<int> PortNumberOfDevice(const std::filesystem::path& device,
                                      const std::filesystem::path& linkFolder)
{
    if (!linkFolder.empty())
        if (const auto linked = linkedPortNumber(device, linkFolder))
            return linked;
    const std::string name = device.string();
    for (const DeviceRange& range : Ranges) {
        const std::string prefix = range.devicePrefix;
        const std::string index = name.substr(std::min(prefix.size(), name.size()));
        if (name.rfind(prefix, 0) != 0 || !allDigits(index) || index.size() > 2)
            continue;
        const int k = std::stoi(index);
        if (k >= RangeSize || std::to_string(k) != index)
            continue;
        const int n = range.firstPort + k;
        if (ResolvePortName("COM" + std::to_string(n), linkFolder) == fs::path(name))
            return n;
    }
    return std::nullopt;
}

}  // namespace serial
