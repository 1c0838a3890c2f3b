#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace serial {

// The device a port name "COMn" stands for: the link `linkFolder`/ports/COMn when it
// exists (even if it points nowhere, so a stale link fails rather than opening some
// other port), else COM1-32 -> /dev/ttyS0-31, COM33-64 -> /dev/ttyUSB0-31,
// COM65-96 -> /dev/ttyACM0-31. Nothing for any other name.
std::optional<std::filesystem::path> ResolvePortName(const std::string& portName,
                                                     const std::filesystem::path& linkFolder);

// The other way round: the n for which "COMn" names `device` by the rule above. A ports/COMn
// link to the device comes first (the lowest n when several point there); a range number
// counts only while no link of that name takes it over.
std::optional<int> PortNumberOfDevice(const std::filesystem::path& device,
                                      const std::filesystem::path& linkFolder);

}  // namespace serial
