#pragma once

#include <filesystem>
#include <string>

namespace serial {

// When the device that a port name stands for (ResolvePortName) exists but this user may not
// open it for reading and writing: a line for the operator naming the device, links followed,
// and the group whose members may open it. Empty in every other case, including a device that
// is missing or busy.
std::string PortPermissionLine(const std::string& portName, const std::filesystem::path& linkFolder);

}  // namespace serial
