#include "config/UsbPortFinder.h"

#include <windows.h>

#include <QString>

namespace {

constexpr const wchar_t* AdapterKey =
    LR"(SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_E7A9+00000001A\0000\Device Parameters)";

// A port name is a few characters; a longer or non-text value names no port.
std::string portNameValue(HKEY key)
{
    wchar_t value[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS
        || type != REG_SZ)
        return {};
    value[size / sizeof(wchar_t)] = L'\0';
    return QString::fromWCharArray(value).toStdString();
}

}  // namespace

// The adapter's driver records its port under the adapter's own key; the folders that name
// devices on Linux play no part here.
std::optional<std::string> FindUsbAdapterPortName(const std::filesystem::path&, const std::filesystem::path&)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AdapterKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::string name = portNameValue(key);
    RegCloseKey(key);
    return name;
}
