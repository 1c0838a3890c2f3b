#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The serial port of the hand control's USB adapter: vendor 0403, product e7a9, serial
// number 00000001A. `usbDevices` is the sysfs folder of USB devices (/sys/bus/usb/devices);
// `portLinkFolder` holds the ports/COMn links that name devices (the data folder).
//
// Nothing when no such adapter is plugged in. Otherwise its port name "COMn", found from its
// tty by the port-name rule; the empty text when its driver has made no tty yet or no COM
// number reaches that tty.
//
// On Windows the adapter's driver records the port itself: nothing when the adapter's key under
// HKEY_LOCAL_MACHINE cannot be opened, else its value "PortName" as it stands (the empty text
// when it is missing or not text); both folders are unused.
std::optional<std::string> FindUsbAdapterPortName(const std::filesystem::path& usbDevices,
                                                  const std::filesystem::path& portLinkFolder);
