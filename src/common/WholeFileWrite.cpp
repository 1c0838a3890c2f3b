#include "common/WholeFileWrite.h"

#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The file a path names once symbolic links are followed; a dangling link gives the missing
// file it points to. False for a loop of links.
bool followLinks(fs::path path, fs::path& target)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = path;
            return true;
        }
        std::error_code error;
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            return false;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return false;
}

fs::path folderOf(const fs::path& file)
{
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

bool isFolder(const fs::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool mayWriteResolved(const fs::path& file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        return errno == ENOENT && isFolder(folderOf(file));
    // A file marked read-only stays untouched, even for a user whom the system would let write.
    return S_ISREG(status.st_mode) && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0
           && ::access(file.c_str(), W_OK) == 0;
}

// Holds the folder open and locked for one write, so that two programs that write the same
// file (two users of a shared data folder) take turns with its temporary file.
class FolderLock {
public:
    explicit FolderLock(const fs::path& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Puts a rename in the folder on disk.
    void sync() const
    {
        if (fd_ >= 0)
            ::fsync(fd_);
    }

private:
    int fd_;
};

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

Replaced replaceWhole(const fs::path& file, const fs::path& temporary, const FolderLock& folder,
                      std::string_view content, const Keep& keep)
{
    // A leftover of an interrupted write goes first; O_EXCL then makes sure that nothing planted
    // under the temporary name (a link elsewhere) receives the content.
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT)
        return folderNotWritable(errno) ? Replaced::NotHere : Replaced::Failed;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return folderNotWritable(errno) ? Replaced::NotHere : Replaced::Failed;
    struct stat created {};
    const bool groupKept = !keep.group || (::fstat(fd, &created) == 0 && created.st_gid == *keep.group)
                           || ::fchown(fd, static_cast<uid_t>(-1), *keep.group) == 0;
    if (!groupKept) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return Replaced::NotHere;
    }
    // The mode goes on after the group: a change of group clears the set-group-id bit.
    const bool written = writeAllAt(fd, content) && ::fchmod(fd, keep.mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return Replaced::Failed;
    }
    folder.sync();
    return Replaced::Done;
}

// This cannot be atomic: the file's own inode is changed where it stands, and no system call
// swaps the content of an inode in one step. The order makes a kill harmless: the new content
// goes over the old one from the start, so the file never gets shorter than it was, and only
// then is it cut to its new length. A kill leaves the old content, the new one, or the new one
// followed by the tail of the old one. One system call writes the content, which the kernel
// stops for a kill only between pages: a content of more than one page (4 KiB) can also be left
// new up to a page boundary and old after it.
bool rewriteInPlace(const fs::path& file, std::string_view content)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = writeAllAt(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0
                         && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

} // namespace

bool mayWriteFile(const fs::path& path)
{
    fs::path file;
    return followLinks(path, file) && mayWriteResolved(file);
}

bool writeWholeFile(const fs::path& path, std::string_view content)
{
    fs::path file;
    if (!followLinks(path, file) || !mayWriteResolved(file))
        return false;
    const fs::path folder = folderOf(file);
    const fs::path temporary = folder / ("." + file.filename().string() + ".saving");
    const FolderLock lock(folder);

    struct stat status {};
    const bool exists = ::stat(file.c_str(), &status) == 0;
    // A replacement is a new inode of this user: the other names of a hard-linked file would
    // keep the old content, and another user's file would change hands.
    const bool inPlace = exists && (status.st_nlink > 1 || status.st_uid != ::geteuid());
    if (!inPlace) {
        const Keep keep = exists ? Keep{status.st_gid, status.st_mode & 07777} : Keep{};
        switch (replaceWhole(file, temporary, lock, content, keep)) {
        case Replaced::Done:
            return true;
        case Replaced::Failed:
            return false;
        case Replaced::NotHere:
            if (!exists)
                return false;
            break;
        }
    }
    if (!rewriteInPlace(file, content))
        return false;
    ::unlink(temporary.c_str());  // a leftover, where the folder lets us
    return true;
}
