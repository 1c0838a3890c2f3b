#include "serial/PortPermission.h"

namespace serial {

// A COM port has no owner or group that the operator could be sent to; the open's failure
// message says all there is.
std::string PortPermissionLine(const OpenResult&)
{
    return {};
}

}  // namespace serial
