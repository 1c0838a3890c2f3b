#include "common/WholeFileWrite.h"

#include "common/TrustedPathPosix.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The file to write, found by the link rule: its folder, its name there and what the name held
// (nothing for a new file).
struct Target {
    PathLeaf leaf;
    std::optional<struct stat> status;

    int folder() const { return leaf.folder.get(); }
    const char* name() const { return leaf.name.c_str(); }
};

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Nothing for a path through an untrusted link, a missing folder, or a name that holds
// something other than a regular file.
std::optional<Target> findTarget(const fs::path& path)
{
    auto leaf = openPathLeaf(path, LinkTrust::SharedFolder);
    if (!leaf)
        return std::nullopt;
    struct stat status {};
    if (::fstatat(leaf->folder.get(), leaf->name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return S_ISREG(status.st_mode) ? std::optional(Target{std::move(*leaf), status}) : std::nullopt;
    if (errno != ENOENT)
        return std::nullopt;
    return Target{std::move(*leaf), std::nullopt};
}

bool mayWrite(const Target& target)
{
    if (!target.status)
        return true;
    // A file marked read-only stays untouched, even for a user whom the system would let write.
    return (target.status->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0
           && ::faccessat(target.folder(), target.name(), W_OK, 0) == 0;
}

// Puts a rename in the folder on disk, where the folder may be read.
void syncFolder(int folder)
{
    const FileDescriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing)
        ::fsync(listing.get());
}

// "." + the file's name + "." + a tag + ".saving"; the name is cut so that the whole stays a
// valid file name.
const std::string TemporaryEnd = ".saving";
constexpr size_t TagLength = 8;

std::string temporaryStart(const std::string& name)
{
    return "." + name.substr(0, NAME_MAX - 2 - TagLength - TemporaryEnd.size()) + ".";
}

bool isTemporaryOf(const std::string& entry, const std::string& start)
{
    return entry.size() == start.size() + TagLength + TemporaryEnd.size() && entry.starts_with(start)
           && entry.ends_with(TemporaryEnd);
}

std::string randomTag()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::uniform_int_distribution<size_t> pick(0, sizeof Letters - 2);
    std::string tag;
    for (size_t i = 0; i < TagLength; ++i)
        tag += Letters[pick(source)];
    return tag;
}

// Takes away the temporary files of this user that interrupted writes of the file left. One that
// a write still holds (locked) stays.
void removeOwnLeftovers(const Target& target)
{
    FileDescriptor listing(::openat(target.folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* folder = listing ? ::fdopendir(listing.get()) : nullptr;
    if (!folder)
        return;
    static_cast<void>(listing.release());
    const std::string start = temporaryStart(target.leaf.name);
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (!isTemporaryOf(name, start))
            continue;
        const FileDescriptor file(::openat(::dirfd(folder), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        struct stat now {};
        if (file && ::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
            && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0
            && ::fstatat(::dirfd(folder), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, now))
            ::unlinkat(::dirfd(folder), name.c_str(), 0);
    }
    ::closedir(folder);
}

bool writeAllAt(int fd, std::string_view content)
{
    off_t offset = 0;
    while (offset < static_cast<off_t>(content.size())) {
        const ssize_t written = ::pwrite(fd, content.data() + offset, content.size() - static_cast<size_t>(offset), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        offset += written;
    }
    return true;
}

// True when the file holds exactly `content`.
bool holds(int fd, std::string_view content)
{
    std::string bytes(content.size() + 1, '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got == content.size() && std::string_view(bytes.data(), got) == content;
}

bool folderNotWritable(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// NotHere: the file cannot be replaced by a new one of this user that keeps its group and mode,
// because the folder is closed to this user or the group is not one of this user's.
enum class Replaced { Done, NotHere, Failed };

// The group and mode that the new file must have: those of the file it replaces, or for a new
// file the folder's choice of group (a set-group-id folder passes its own on) and read and write
// for the group, so that the others of a shared data folder can save it in their turn.
struct Keep {
    std::optional<gid_t> group;
    mode_t mode = 0664;
};

Replaced replaceWhole(const Target& target, std::string_view content, const Keep& keep)
{
    // O_EXCL makes sure that nothing planted under the name (a link elsewhere) receives the
    // content; a name that is taken is passed over for another.
    const std::string start = temporaryStart(target.leaf.name);
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = start + randomTag() + TemporaryEnd;
        file = FileDescriptor(::openat(target.folder(), temporary.c_str(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file && errno != EEXIST)
            return folderNotWritable(errno) ? Replaced::NotHere : Replaced::Failed;
    }
    if (!file)
        return Replaced::Failed;
    // Held until the rename, so that removeOwnLeftovers in another write leaves it alone.
    ::flock(file.get(), LOCK_EX | LOCK_NB);
    const auto discard = [&] { ::unlinkat(target.folder(), temporary.c_str(), 0); };
    struct stat created {};
    const bool groupKept = !keep.group || (::fstat(file.get(), &created) == 0 && created.st_gid == *keep.group)
                           || ::fchown(file.get(), static_cast<uid_t>(-1), *keep.group) == 0;
    if (!groupKept) {
        discard();
        return Replaced::NotHere;
    }
    // The mode goes on after the group: a change of group clears the set-group-id bit.
    const bool written = writeAllAt(file.get(), content) && ::fchmod(file.get(), keep.mode) == 0 && ::fsync(file.get()) == 0;
    if (!written || ::renameat(target.folder(), temporary.c_str(), target.folder(), target.name()) != 0) {
        discard();
        return Replaced::Failed;
    }
    syncFolder(target.folder());
    return Replaced::Done;
}

// This cannot be atomic: the file's own inode is changed where it stands, and no system call
// swaps the content of an inode in one step. The order makes a kill harmless: the new content
// goes over the old one from the start, so the file never gets shorter than it was, and only
// then is it cut to its new length. A kill leaves the old content, the new one, or the new one
// followed by the tail of the old one. One system call writes the content, which the kernel
// stops for a kill only between pages: a content of more than one page (4 KiB) can also be left
// new up to a page boundary and old after it.
// The file opened must be the one that was checked (same device and inode). Afterwards the name
// must still hold it and it must hold the content: another writer may have replaced it or
// rewritten it at the same moment (two operators' closes at a shutdown), and then this write
// goes again over what the name holds now.
bool rewriteInPlace(Target& target, std::string_view content)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        FileDescriptor file(::openat(target.folder(), target.name(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        const bool readable = static_cast<bool>(file);
        if (!file && errno == EACCES)
            file = FileDescriptor(::openat(target.folder(), target.name(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat opened {};
        if (!file || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(opened, *target.status))
            return false;
        if (!writeAllAt(file.get(), content) || ::ftruncate(file.get(), static_cast<off_t>(content.size())) != 0
            || ::fsync(file.get()) != 0)
            return false;
        struct stat now {};
        if (::fstatat(target.folder(), target.name(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(now.st_mode))
            return false;
        if (sameFile(now, opened) && (!readable || holds(file.get(), content)))
            return true;
        target.status = now;
    }
    return false;
}

} // namespace

bool mayWriteFile(const fs::path& path)
{
    const auto target = findTarget(path);
    return target && mayWrite(*target);
}

bool writeWholeFile(const fs::path& path, std::string_view content)
{
    auto target = findTarget(path);
    if (!target || !mayWrite(*target))
        return false;
    removeOwnLeftovers(*target);
    const auto& status = target->status;
    // A replacement is a new inode of this user: the other names of a hard-linked file would
    // keep the old content, and another user's file would change hands.
    const bool inPlace = status && (status->st_nlink > 1 || status->st_uid != ::geteuid());
    if (!inPlace) {
        const Keep keep = status ? Keep{status->st_gid, status->st_mode & 07777} : Keep{};
        switch (replaceWhole(*target, content, keep)) {
        case Replaced::Done:
            return true;
        case Replaced::Failed:
            return false;
        case Replaced::NotHere:
            if (!status)
                return false;
            break;
        }
    }
    return rewriteInPlace(*target, content);
}
