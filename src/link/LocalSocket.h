#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The operating system's side of the link: non-blocking Unix-domain stream sockets in a folder
// that only this user may enter. Every failure comes back once, with the system's reason.
namespace LocalSocket {

struct Result {
    int fd = -1;
    std::string error;  // empty on success
    int code = 0;       // the system's error number of a failure
    // Which file a listening socket was published as, so that only that file is removed.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

struct Folder {
    std::filesystem::path path;
    std::string error;  // empty when the folder may be used
};

// `runtimeFolder`/dde, made 0700 when missing. Refused when it is a link or not a folder,
// belongs to another user, or others may enter it.
Folder ServiceFolder(const std::filesystem::path& runtimeFolder);

// Listens at `path`. The socket is bound under a temporary name and appears at `path` only once
// it listens, so a client never finds it half made. A stale socket that nobody answers is
// replaced; one that a live server answers is left alone and refused.
Result Listen(const std::filesystem::path& path);

// The next waiting conversation of this user. One opened by another user (as its credentials at
// the connect tell) is closed unanswered and skipped; the folder already keeps others out, this
// keeps them out where a folder was opened up.
Result Accept(int listeningFd);

Result Connect(const std::filesystem::path& path);

// Removes `path` only while it is still the file that Listen published.
void RemoveListened(const std::filesystem::path& path, const Result& listened);

}  // namespace LocalSocket
