#include "link/WriteAccess.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int MaxLinks = 40;

bool privateGroup(gid_t group, uid_t user)
{
    std::vector<char> buffer(16384);
    passwd account{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &account, buffer.data(), buffer.size(), &found) != 0 || !found || account.pw_gid != group)
        return false;
    const std::string name = account.pw_name;
    std::vector<char> groupBuffer(65536);
    struct group entry {};
    struct group* groupFound = nullptr;
    if (::getgrgid_r(group, &entry, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 || !groupFound
        || name != entry.gr_name)
        return false;
    for (char** member = entry.gr_mem; *member; ++member)
        if (name != *member)
            return false;
    return true;
}

bool trusted(uid_t owner, uid_t user)
{
    return owner == 0 || owner == user;
}

// Which others the mode lets write, or empty.
std::string writers(const struct stat& status, uid_t user)
{
    if ((status.st_mode & S_IWOTH) != 0)
        return "anybody may write it";
    if ((status.st_mode & S_IWGRP) != 0 && !privateGroup(status.st_gid, user))
        return "its group may write it";
    return {};
}

// Why others may write the entry itself, or empty.
std::string othersMayWrite(const struct stat& status, uid_t user)
{
    return trusted(status.st_uid, user) ? writers(status, user) : "belongs to another user";
}

// Why others may put something else in the place of `entry` in `folder`, or empty. In a sticky
// folder only the entry's owner, the folder's owner and root may rename or remove an entry.
std::string othersMayReplace(const struct stat& folder, const struct stat& entry, uid_t user)
{
    if (!trusted(folder.st_uid, user))
        return "belongs to another user";
    if ((folder.st_mode & S_ISVTX) != 0 && trusted(entry.st_uid, user))
        return {};
    return writers(folder, user);
}

std::string reason(const fs::path& path, const std::string& text)
{
    return path.string() + ": " + text;
}

}  // namespace

std::string OthersMayChange(const fs::path& file, uid_t user)
{
    std::error_code error;
    const fs::path absolute = file.is_absolute() ? file : fs::current_path(error) / file;
    if (error)
        return reason(file, error.message());

    fs::path at = "/";
    struct stat folder {};
    if (::lstat("/", &folder) != 0)
        return reason("/", std::strerror(errno));
    if (const std::string why = othersMayWrite(folder, user); !why.empty())
        return reason("/", why);

    std::deque<fs::path> rest(std::next(absolute.begin()), absolute.end());
    int links = 0;
    while (!rest.empty()) {
        const fs::path name = rest.front();
        rest.pop_front();
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            at = at.parent_path();
            if (::lstat(at.c_str(), &folder) != 0)
                return reason(at, std::strerror(errno));
            continue;
        }
        const fs::path next = at / name;
        struct stat entry {};
        if (::lstat(next.c_str(), &entry) != 0)
            return reason(next, std::strerror(errno));
        if (const std::string why = othersMayReplace(folder, entry, user); !why.empty())
            return reason(at, why);
        if (S_ISLNK(entry.st_mode)) {
            if (++links > MaxLinks)
                return reason(file, "too many links");
            const fs::path target = fs::read_symlink(next, error);
            if (error)
                return reason(next, error.message());
            const fs::path within = target.relative_path();
            rest.insert(rest.begin(), within.begin(), within.end());
            if (target.is_absolute()) {
                at = "/";
                if (::lstat("/", &folder) != 0)
                    return reason("/", std::strerror(errno));
            }
            continue;
        }
        if (rest.empty()) {
            if (!S_ISREG(entry.st_mode))
                return reason(next, "not a file");
            if (const std::string why = othersMayWrite(entry, user); !why.empty())
                return reason(next, why);
            return {};
        }
        if (!S_ISDIR(entry.st_mode))
            return reason(next, "not a folder");
        at = next;
        folder = entry;
    }
    return reason(file, "not a file");
}
