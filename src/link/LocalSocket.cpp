#include "link/LocalSocket.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace LocalSocket {

namespace {

std::string reason(const std::filesystem::path& path, int error)
{
    return path.string() + ": " + std::strerror(error);
}

Result failure(std::string text, int code = 0)
{
    Result r;
    r.error = std::move(text);
    r.code = code;
    return r;
}

bool toAddress(const std::filesystem::path& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

int streamSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

// Whether a server answers at `path`. Anything but "nobody there" counts as live, so that a
// busy server is never taken for a stale one.
bool answered(const std::filesystem::path& path)
{
    const Result probe = Connect(path);
    if (probe.fd >= 0) {
        ::close(probe.fd);
        return true;
    }
    return probe.code != ECONNREFUSED && probe.code != ENOENT;
}

}  // namespace

Folder ServiceFolder(const std::filesystem::path& runtimeFolder)
{
    Folder folder{runtimeFolder / "dde", {}};
    if (::mkdir(folder.path.c_str(), 0700) != 0 && errno != EEXIST) {
        folder.error = reason(folder.path, errno);
        return folder;
    }
    struct stat st {};
    if (::lstat(folder.path.c_str(), &st) != 0)
        folder.error = reason(folder.path, errno);
    else if (!S_ISDIR(st.st_mode))
        folder.error = folder.path.string() + ": not a folder";
    else if (st.st_uid != ::geteuid())
        folder.error = folder.path.string() + ": belongs to another user";
    else if ((st.st_mode & 077) != 0)
        folder.error = folder.path.string() + ": other users may enter it";
    return folder;
}

Result Listen(const std::filesystem::path& path)
{
    static std::atomic<unsigned> serial{0};
    const std::filesystem::path temporary =
        path.parent_path() / (".listen-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    sockaddr_un address{};
    sockaddr_un temporaryAddress{};
    if (!toAddress(path, address) || !toAddress(temporary, temporaryAddress))
        return failure(path.string() + ": name too long for a socket");

    Result r;
    r.fd = streamSocket();
    if (r.fd < 0)
        return failure(reason(path, errno));
    const auto fail = [&](std::string text) {
        ::close(r.fd);
        ::unlink(temporary.c_str());
        return failure(std::move(text));
    };
    ::unlink(temporary.c_str());
    if (::bind(r.fd, reinterpret_cast<const sockaddr*>(&temporaryAddress), sizeof temporaryAddress) != 0
        || ::listen(r.fd, 16) != 0)
        return fail(reason(temporary, errno));

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return fail(path.string() + ": exists and is not a socket");
        if (answered(path))
            return fail(path.string() + ": another running program serves it");
        ::unlink(path.c_str());
    }
    if (::link(temporary.c_str(), path.c_str()) != 0)
        return fail(errno == EEXIST ? path.string() + ": another program took it meanwhile" : reason(path, errno));
    ::unlink(temporary.c_str());
    if (::stat(path.c_str(), &st) == 0) {
        r.device = st.st_dev;
        r.inode = st.st_ino;
    }
    return r;
}

Result Accept(int listeningFd)
{
    for (;;) {
        Result r;
        r.fd = ::accept4(listeningFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (r.fd < 0) {
            r.code = errno;
            r.error = std::strerror(errno);
            return r;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(r.fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer && peer.uid == ::geteuid())
            return r;
        ::close(r.fd);
    }
}

Result Connect(const std::filesystem::path& path)
{
    sockaddr_un address{};
    if (!toAddress(path, address))
        return failure(path.string() + ": name too long for a socket");
    Result r;
    r.fd = streamSocket();
    if (r.fd < 0)
        return failure(reason(path, errno));
    // A Unix-domain connect either completes at once or fails at once (EAGAIN when the
    // server's queue is full): it never leaves us waiting.
    if (::connect(r.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(r.fd);
        return failure(reason(path, error), error);
    }
    return r;
}

void RemoveListened(const std::filesystem::path& path, const Result& listened)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && st.st_dev == listened.device && st.st_ino == listened.inode)
        ::unlink(path.c_str());
}

}  // namespace LocalSocket
