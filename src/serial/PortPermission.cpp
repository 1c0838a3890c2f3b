#include "serial/PortPermission.h"

#include "serial/PortName.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace serial {

std::string PortPermissionLine(const std::string& portName, const std::filesystem::path& linkFolder)
{
    const auto path = ResolvePortName(portName, linkFolder);
    if (!path)
        return {};
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(*path, error);
    struct stat status {};
    if (error || ::stat(device.c_str(), &status) != 0)
        return {};
    // The effective ids, and access control lists where the system grants the seat's user a
    // device, count as they do for the open itself.
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 || errno != EACCES)
        return {};
    const std::string what = device.string() + " may only be opened";
    if ((status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        const struct passwd* owner = ::getpwuid(status.st_uid);
        return what + " by its owner, " + (owner ? owner->pw_name : std::to_string(status.st_uid)) + ".";
    }
    const struct group* entry = ::getgrgid(status.st_gid);
    return what + " by the members of the group " + (entry ? entry->gr_name : std::to_string(status.st_gid)) + ".";
}

}  // namespace serial
