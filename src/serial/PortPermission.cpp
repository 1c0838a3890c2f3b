#include "serial/PortPermission.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace serial {

std::string PortPermissionLine(const OpenResult& failure)
{
    struct stat status {};
    if (failure.error != EACCES || ::stat(failure.device.c_str(), &status) != 0)
        return {};
    const std::string what = failure.device.string() + " may only be opened";
    if ((status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        const struct passwd* owner = ::getpwuid(status.st_uid);
        return what + " by its owner, " + (owner ? owner->pw_name : std::to_string(status.st_uid)) + ".";
    }
    const struct group* entry = ::getgrgid(status.st_gid);
    return what + " by the members of the group " + (entry ? entry->gr_name : std::to_string(status.st_gid)) + ".";
}

}  // namespace serial
