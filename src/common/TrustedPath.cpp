#include "common/TrustedPathPosix.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int MaxLinks = 40;  // as many as the kernel follows in one path

bool trusted(const struct stat& folder, const struct stat& link, LinkTrust trust)
{
    if (link.st_uid == ::geteuid())
        return true;
    if (trust == LinkTrust::OwnOrAdministrator)
        return link.st_uid == 0;
    const bool othersMayWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersMayWrite || link.st_uid == folder.st_uid;
}

// Adds the names of `path` to those still to walk, which are kept next-last.
void pushNames(std::vector<std::string>& pending, const fs::path& path)
{
    std::vector<std::string> names;
    for (const fs::path& part : path.relative_path())
        if (!part.empty() && part != ".")
            names.push_back(part.string());
    pending.insert(pending.end(), names.rbegin(), names.rend());
}

FileDescriptor openRoot()
{
    return FileDescriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

struct Walk {
    FileDescriptor folder;
    std::vector<std::string> folderNames;  // the folder's path from the root, without links
    std::string name;                      // the last name; or the folder found missing
    std::vector<std::string> pending;      // after a missing folder: the names behind it
};

// Walks `path` one name at a time, each opened relative to the folder before it without
// following it, so that what is checked is what is used. 0 when the walk reached the last name
// (which may not exist); otherwise the errno that ended it.
int walk(const fs::path& path, LinkTrust trust, Walk& w)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error)
        return error.value();
    w.folder = openRoot();
    if (!w.folder)
        return errno;
    pushNames(w.pending, absolute);
    int links = 0;
    while (!w.pending.empty()) {
        std::string name = std::move(w.pending.back());
        w.pending.pop_back();
        if (name == "..") {
            FileDescriptor parent(::openat(w.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (!parent)
                return errno;
            w.folder = std::move(parent);
            if (!w.folderNames.empty())
                w.folderNames.pop_back();
            continue;
        }
        FileDescriptor entry(::openat(w.folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!entry) {
            const int reason = errno;
            const bool last = w.pending.empty();
            w.name = std::move(name);
            return reason == ENOENT && last ? 0 : reason;
        }
        struct stat status {};
        if (::fstat(entry.get(), &status) != 0)
            return errno;
        if (S_ISLNK(status.st_mode)) {
            struct stat folder {};
            if (::fstat(w.folder.get(), &folder) != 0)
                return errno;
            if (!trusted(folder, status, trust))
                return EACCES;
            if (++links > MaxLinks)
                return ELOOP;
            char target[PATH_MAX];
            const ssize_t size = ::readlinkat(entry.get(), "", target, sizeof target);
            if (size < 0)
                return errno;
            if (size == 0 || size == static_cast<ssize_t>(sizeof target))
                return size == 0 ? ENOENT : ENAMETOOLONG;
            const fs::path next(std::string(target, static_cast<size_t>(size)));
            if (next.is_absolute()) {
                w.folder = openRoot();
                if (!w.folder)
                    return errno;
                w.folderNames.clear();
            }
            pushNames(w.pending, next);
            continue;
        }
        if (w.pending.empty()) {
            w.name = std::move(name);
            return 0;
        }
        if (!S_ISDIR(status.st_mode))
            return ENOTDIR;
        w.folder = std::move(entry);
        w.folderNames.push_back(std::move(name));
    }
    return EISDIR;  // the path ends in the root folder itself
}

} // namespace

std::optional<PathLeaf> openPathLeaf(const fs::path& path, LinkTrust trust)
{
    Walk w;
    if (const int reason = walk(path, trust, w); reason != 0) {
        errno = reason;
        return std::nullopt;
    }
    return PathLeaf{std::move(w.folder), std::move(w.name)};
}

std::optional<fs::path> resolveTrustedPath(const fs::path& path, LinkTrust trust)
{
    Walk w;
    if (const int reason = walk(path, trust, w); reason != 0 && reason != ENOENT)
        return std::nullopt;
    fs::path resolved("/");
    for (const std::string& name : w.folderNames)
        resolved /= name;
    resolved /= w.name;
    for (auto name = w.pending.rbegin(); name != w.pending.rend(); ++name)
        resolved /= *name;
    return resolved;
}

FileRead readTrustedFile(const fs::path& path, std::string& content, std::size_t limit)
{
    const auto leaf = openPathLeaf(path, LinkTrust::SharedFolder);
    if (!leaf)
        return errno == ENOENT ? FileRead::Missing : FileRead::Refused;
    // Looked at before it is opened: opening a device can already do something (a serial line
    // raises its modem lines).
    struct stat found {};
    if (::fstatat(leaf->folder.get(), leaf->name.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? FileRead::Missing : FileRead::Refused;
    if (!S_ISREG(found.st_mode))
        return FileRead::Refused;
    const FileDescriptor file(
            ::openat(leaf->folder.get(), leaf->name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (!file || ::fstat(file.get(), &opened) != 0 || opened.st_dev != found.st_dev || opened.st_ino != found.st_ino
        || static_cast<std::uintmax_t>(opened.st_size) > limit)
        return FileRead::Refused;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FileRead::Refused;
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > limit)  // grew while read
            return FileRead::Refused;
    }
    content = std::move(bytes);
    return FileRead::Done;
}
