#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace serial {

// The device a port name "COMn" stands for: what the link `linkFolder`/ports/COMn points to
// when the link exists (even if it points nowhere, so a stale link fails rather than opening
// some other port), with every link on the way followed; else COM1-32 -> /dev/ttyS0-31,
// COM33-64 -> /dev/ttyUSB0-31, COM65-96 -> /dev/ttyACM0-31. Nothing for any other name, and
// nothing when a link on the way is neither this user's nor the administrator's (another user
// of a shared data folder could otherwise point our port at a device of ours).
std::optional<std::filesystem::path> ResolvePortName(const std::string& portName,
                                                     const std::filesystem::path& linkFolder);

// The other way round: the n for which "COMn" names `device` by the rule above. A ports/COMn
// link to the device comes first (the lowest n when several point there; links of other users
// do not count); a range number counts only while no link of that name takes it over.
//
// On Windows "COMn" (n without leading zeros, any letter case) is the device \\.\COMn and the
// link folder is unused.
std::optional<int> PortNumberOfDevice(const std::filesystem::path& device,
                                      const std::filesystem::path& linkFolder);

}  // namespace serial
