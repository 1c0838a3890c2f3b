#include "config/UsbPortFinder.h"

#include "serial/PortName.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* AdapterVendor = "0403";
constexpr const char* AdapterProduct = "e7a9";
constexpr const char* AdapterSerial = "00000001A";

std::string attribute(const fs::path& device, const char* name)
{
    std::ifstream in(device / name);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isAdapter(const fs::path& device)
{
    return lowerCase(attribute(device, "idVendor")) == AdapterVendor
           && lowerCase(attribute(device, "idProduct")) == AdapterProduct
           && attribute(device, "serial") == AdapterSerial;
}

std::vector<std::string> entryNames(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A serial driver puts the tty beside the interface's other attributes (ttyUSB0) or in a
// "tty" class folder below it (tty/ttyACM0).
std::optional<std::string> ttyOf(const fs::path& device)
{
    const std::string interfacePrefix = device.filename().string() + ":";
    for (const std::string& interface : entryNames(device)) {
        if (interface.rfind(interfacePrefix, 0) != 0)
            continue;
        const fs::path folder = device / interface;
        for (const std::string& name : entryNames(folder))
            if (name.size() > 3 && name.rfind("tty", 0) == 0)
                return name;
        for (const std::string& name : entryNames(folder / "tty"))
            if (name.rfind("tty", 0) == 0)
                return name;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> FindUsbAdapterPortName(const std::filesystem::path& usbDevices,
                                                  const std::filesystem::path& portLinkFolder)
{
    for (const std::string& name : entryNames(usbDevices)) {
        const fs::path device = usbDevices / name;
        if (!isAdapter(device))
            continue;
        const auto tty = ttyOf(device);
        if (!tty)
            return std::string();
        const auto n = serial::PortNumberOfDevice(fs::path("/dev") / *tty, portLinkFolder);
        return n ? "COM" + std::to_string(*n) : std::string();
    }
    return std::nullopt;
}
