#include "shell/SingleInstance.h"

#include "link/RuntimeFolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SingleInstance::~SingleInstance()
{
    if (held_ >= 0)
        ::close(static_cast<int>(held_));
}

QString SingleInstance::lockName()
{
    const RuntimeFolder folder = UserRuntimeFolder();
    if (!folder.error.empty())
        return {};
    return QFile::decodeName((folder.path / "Elevra Control").c_str());
}

bool SingleInstance::acquire()
{
    // Without a lock file of this user's own there is no way to tell; starting beats refusing
    // to start, and a file that someone else put there must not keep this user from starting.
    const QString path = lockName();
    if (path.isEmpty())
        return true;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    held_ = fd;
    return true;
}
