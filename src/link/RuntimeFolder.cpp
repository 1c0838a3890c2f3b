#include "link/RuntimeFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Empty when `path` is, or has just been made, a folder of `user` that others may not enter;
// looked at without following a link.
std::string privateFolder(const fs::path& path, uid_t user)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return path.string() + ": " + std::strerror(errno);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return path.string() + (errno == ELOOP || errno == ENOTDIR ? ": not a folder" : ": " + std::string(std::strerror(errno)));
    struct stat status {};
    const bool known = ::fstat(fd, &status) == 0;
    ::close(fd);
    if (!known)
        return path.string() + ": " + std::strerror(errno);
    if (status.st_uid != user)
        return path.string() + ": belongs to another user";
    if ((status.st_mode & 077) != 0)
        return path.string() + ": other users may enter it";
    return {};
}

}  // namespace

RuntimeFolder UserRuntimeFolder()
{
    const char* runtimeVariable = std::getenv("XDG_RUNTIME_DIR");
    const char* home = std::getenv("HOME");
    const uid_t user = ::geteuid();
    if (runtimeVariable && *runtimeVariable)
        return {runtimeVariable, {}};
    const fs::path shared = fs::path("/tmp") / ("elevra-" + std::to_string(user));
    const std::string sharedError = privateFolder(shared, user);
    if (sharedError.empty())
        return {shared, {}};
    if (!home || !*home)
        return {{}, sharedError};
    const fs::path own = fs::path(home) / ".elevra-runtime";
    const std::string ownError = privateFolder(own, user);
    if (ownError.empty())
        return {own, {}};
    return {{}, sharedError + "; " + ownError};
}
