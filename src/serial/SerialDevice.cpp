#include "serial/SerialDevice.h"

#include "serial/ArbitraryBaud.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace serial {

namespace {

std::optional<speed_t> standardSpeed(std::uint32_t bitsPerSecond)
{
    switch (bitsPerSecond) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return std::nullopt;
    }
}

template <typename Change>
bool changeTermios(int fd, Change change)
{
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0)
        return false;
    if (!change(tio))
        return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

SerialDevice::~SerialDevice()
{
    close();
}

OpenResult SerialDevice::open(const std::filesystem::path& path)
{
    close();
    const auto failed = [&path](int error) {
        std::error_code ignored;
        const std::filesystem::path device = std::filesystem::canonical(path, ignored);
        return OpenResult{error, device.empty() ? path : device};
    };
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    const auto closeAndFail = [&](int error) {
        ::close(fd);
        return failed(error);
    };
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return closeAndFail(errno);
    if (!S_ISCHR(st.st_mode))
        return closeAndFail(ENOTTY);
    // flock catches another program of this kind even when we run as root, where
    // TIOCEXCL does not apply.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL))
        return closeAndFail(errno);
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return closeAndFail(errno);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CRTSCTS;
    // Line errors are marked in the stream (FF 00 x) rather than dropped or turned into 0.
    tio.c_iflag |= PARMRK;
    tio.c_iflag &= ~(IGNPAR | IGNBRK | BRKINT | IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        return closeAndFail(errno);
    fd_ = fd;
    return {0, path};
}

void SerialDevice::close()
{
    if (fd_ < 0)
        return;
    // The exclusive mark outlives this descriptor while someone else holds the tty.
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

IoResult SerialDevice::read(std::uint8_t* buffer, std::size_t size)
{
    const ssize_t n = ::read(fd_, buffer, size);
    return {static_cast<long>(n), n < 0 ? errno : 0};
}

IoResult SerialDevice::write(const std::uint8_t* buffer, std::size_t size)
{
    const ssize_t n = ::write(fd_, buffer, size);
    return {static_cast<long>(n), n < 0 ? errno : 0};
}

bool SerialDevice::setBaudRate(std::uint32_t bitsPerSecond)
{
    if (const auto speed = standardSpeed(bitsPerSecond))
        return changeTermios(fd_, [&](termios& tio) { return cfsetspeed(&tio, *speed) == 0; });
    return fd_ >= 0 && setArbitraryBaud(fd_, bitsPerSecond);
}

bool SerialDevice::setParity(int code)
{
    return changeTermios(fd_, [&](termios& tio) {
        tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        tio.c_iflag &= ~INPCK;
        switch (code) {
        case 0: return true;
        case 1: tio.c_cflag |= PARENB | PARODD; break;
        case 2: tio.c_cflag |= PARENB; break;
        case 3: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case 4: tio.c_cflag |= PARENB | CMSPAR; break;
        default: return false;
        }
        tio.c_iflag |= INPCK;
        return true;
    });
}

bool SerialDevice::setDataBits(int bits)
{
    tcflag_t size = 0;
    switch (bits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }
    return changeTermios(fd_, [&](termios& tio) {
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | size;
        return true;
    });
}

bool SerialDevice::setStopBits(int code)
{
    if (code < 0 || code > 2)
        return false;
    // UARTs give one and a half stop bits when two are asked for with 5 data bits.
    return changeTermios(fd_, [&](termios& tio) {
        if (code == 0)
            tio.c_cflag &= ~CSTOPB;
        else
            tio.c_cflag |= CSTOPB;
        return true;
    });
}

bool SerialDevice::setRtsControl(int mode)
{
    if (mode < 0 || mode > 3)
        return false;
    const bool handshake = mode == 2;
    const bool changed = changeTermios(fd_, [&](termios& tio) {
        if (handshake)
            tio.c_cflag |= CRTSCTS;
        else
            tio.c_cflag &= ~CRTSCTS;
        return true;
    });
    if (handshake)
        return changed;
    // Toggle mode has no termios equivalent; RTS is held on, which is what it gives while idle.
    return setRts(mode != 0) && changed;
}

bool SerialDevice::setDtrControl(int mode)
{
    if (mode < 0 || mode > 2)
        return false;
    // There is no DTR handshake in termios; DTR is held on for it.
    return setDtr(mode != 0);
}

bool SerialDevice::setReceiveXonXoff(bool on)
{
    return changeTermios(fd_, [&](termios& tio) {
        tio.c_cc[VSTART] = 17;
        tio.c_cc[VSTOP] = 19;
        if (on)
            tio.c_iflag |= IXOFF;
        else
            tio.c_iflag &= ~IXOFF;
        return true;
    });
}

bool SerialDevice::setReadInterval(std::uint32_t)
{
    return fd_ >= 0;
}

bool SerialDevice::setNullStrip(bool)
{
    return fd_ >= 0;
}

bool SerialDevice::setModemLine(int line, bool on)
{
    if (fd_ < 0)
        return false;
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool SerialDevice::setRts(bool on)
{
    return setModemLine(TIOCM_RTS, on);
}

bool SerialDevice::setDtr(bool on)
{
    return setModemLine(TIOCM_DTR, on);
}

void SerialDevice::purgeInput()
{
    if (fd_ >= 0)
        tcflush(fd_, TCIFLUSH);
}

void SerialDevice::purgeOutput()
{
    if (fd_ >= 0)
        tcflush(fd_, TCOFLUSH);
}

std::optional<ErrorCounters> SerialDevice::errorCounters()
{
    serial_icounter_struct counts{};
    if (fd_ < 0 || ioctl(fd_, TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    return ErrorCounters{static_cast<std::uint32_t>(counts.frame),
                         static_cast<std::uint32_t>(counts.overrun + counts.buf_overrun),
                         static_cast<std::uint32_t>(counts.parity),
                         static_cast<std::uint32_t>(counts.brk)};
}

std::optional<std::uint32_t> SerialDevice::modemStatus()
{
    int lines = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCMGET, &lines) != 0)
        return std::nullopt;
    std::uint32_t status = 0;
    if (lines & TIOCM_CTS)
        status |= modemCts;
    if (lines & TIOCM_DSR)
        status |= modemDsr;
    if (lines & TIOCM_RNG)
        status |= modemRing;
    if (lines & TIOCM_CAR)
        status |= modemCarrier;
    return status;
}

std::optional<std::size_t> SerialDevice::outputPending()
{
    int queued = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &queued) != 0)
        return std::nullopt;
    return static_cast<std::size_t>(queued);
}

}  // namespace serial
