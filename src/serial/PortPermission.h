#pragma once

#include "serial/SerialDevice.h"

#include <string>

namespace serial {

// When an open failed because this user may not open the device for reading and writing: a
// line for the operator naming the device, links followed, and who may open it (its owner, or
// the members of its group). Empty for every other failure, including a device that is missing
// or busy.
std::string PortPermissionLine(const OpenResult& failure);

}  // namespace serial
