#pragma once

// The far end of a line for tests: the master of a fresh pseudo-terminal, with its slave
// reachable as COMn through a ports/ link in a temporary data folder.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

class PtyFarEnd {
public:
    PtyFarEnd()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = ptsname(master_);
        std::filesystem::create_directories(folder() / "ports");
        std::filesystem::create_symlink(slavePath_, folder() / "ports" / "COM7");
    }
    ~PtyFarEnd() { closeMaster(); }
    PtyFarEnd(const PtyFarEnd&) = delete;
    PtyFarEnd& operator=(const PtyFarEnd&) = delete;

    std::filesystem::path folder() const { return dir_.path().toStdString(); }
    const std::string& slavePath() const { return slavePath_; }
    static QString portName() { return QStringLiteral("COM7"); }
    int master() const { return master_; }

    void send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                throw std::runtime_error("write to pseudo-terminal failed");
            if (n > 0)
                done += n;
        }
    }

    // Reads what arrives until `count` bytes are in or `ms` pass.
    QByteArray receive(qsizetype count, int ms = 5000)
    {
        QByteArray got;
        QDeadlineTimer deadline(ms);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd fd{master_, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(deadline.remainingTime())) <= 0)
                break;
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

    // Waits, without running the event loop, until whoever holds the line's near end
    // (descriptor `fd`) has read every byte that has reached its input queue. Bytes reach
    // that queue a little after send() returns: call this only once some of the same
    // send() was seen to arrive.
    static bool waitUntilTaken(int fd, int ms = 5000)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            int unread = 0;
            if (ioctl(fd, FIONREAD, &unread) != 0)
                return false;
            if (unread == 0)
                return true;
            if (deadline.hasExpired())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    QTemporaryDir dir_;
    int master_ = -1;
    std::string slavePath_;
};
