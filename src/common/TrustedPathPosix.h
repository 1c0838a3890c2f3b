#pragma once

// The descriptor-level side of TrustedPath.h, for the POSIX code that opens and writes files by
// the same rule (WholeFileWrite.cpp).

#include "common/TrustedPath.h"

#include <optional>
#include <string>
#include <unistd.h>
#include <utility>

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// The folder that holds a path's last name, open (O_PATH), and that name, which was no link
// when it was looked at (it may not exist). Whoever uses the name opens it relative to the
// folder with O_NOFOLLOW, so that a link put there since fails instead of being followed.
struct PathLeaf {
    FileDescriptor folder;
    std::string name;
};

// Nothing, with errno set, when a link on the way is not trusted (EACCES), links loop (ELOOP),
// a folder on the way is missing (ENOENT) or is no folder (ENOTDIR).
std::optional<PathLeaf> openPathLeaf(const std::filesystem::path& path, LinkTrust trust);
