// standsim: the stand controller on the far end of a serial line.

#include "Options.h"
#include "StandSimulator.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

using namespace standsim;
using Clock = std::chrono::steady_clock;

namespace {

void makeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
}

// Opens the line; `farEnd` is what the other program should open.
int openLine(const RunOptions& run, std::string& farEnd, int& heldSlave)
{
    if (!run.device.empty()) {
        const int fd = open(run.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            makeRaw(fd);
        farEnd = run.device;
        return fd;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    farEnd = ptsname(master);
    // Holding the slave open keeps reads on the master from failing with EIO while the
    // program is not connected, and keeps the raw settings between its connections.
    heldSlave = open(farEnd.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (heldSlave >= 0)
        makeRaw(heldSlave);
    return master;
}

std::string wallClock()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", int(ms));
    return text;
}

timespec untilThen(Clock::time_point then, Clock::time_point now)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(then - now).count();
    if (ns <= 0)
        return {0, 0};
    return {time_t(ns / 1000000000), long(ns % 1000000000)};
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const auto parsed = ParseOptions(argc, argv, error);
    if (!parsed) {
        std::fprintf(stderr, "standsim: %s\n%s", error.c_str(), usageText);
        return 2;
    }
    const RunOptions& run = *parsed;
    if (run.help) {
        std::fputs(usageText, stdout);
        return 0;
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);

    std::string farEnd;
    int heldSlave = -1;
    const int line = openLine(run, farEnd, heldSlave);
    if (line < 0 || signals < 0) {
        std::perror("standsim: cannot open the line");
        return 1;
    }
    std::printf("%s\n", farEnd.c_str());
    std::fflush(stdout);

    std::ofstream logFile;
    if (!run.logFile.empty())
        logFile.open(run.logFile, std::ios::app);
    StandSimulator sim(run.sim, Clock::now());
    if (logFile.is_open())
        sim.log = [&logFile](const std::string& direction, const std::string& frame) {
            logFile << wallClock() << ' ' << direction << ' ' << frame << std::endl;
        };

    const bool paced = run.paceBaud > 0;
    // Start bit, eight data bits, stop bit.
    const auto byteTime = paced ? std::chrono::nanoseconds(10'000'000'000LL / run.paceBaud) : Clock::duration::zero();
    auto nextInput = Clock::now();
    auto nextOutput = Clock::now();
    std::string outbox;

    for (;;) {
        auto now = Clock::now();
        const bool mayRead = now >= nextInput;
        const bool mayWrite = !outbox.empty() && now >= nextOutput;
        short events = 0;
        if (mayRead)
            events |= POLLIN;
        if (mayWrite)
            events |= POLLOUT;
        // Idle, nothing is scheduled and the wait has no time limit.
        timespec timeout{};
        timespec* limit = nullptr;
        if (!mayRead || (!outbox.empty() && !mayWrite)) {
            Clock::time_point wake = Clock::time_point::max();
            if (!mayRead)
                wake = nextInput;
            if (!outbox.empty() && !mayWrite)
                wake = std::min(wake, nextOutput);
            timeout = untilThen(wake, now);
            limit = &timeout;
        }
        pollfd fds[2] = {{signals, POLLIN, 0}, {line, events, 0}};
        if (ppoll(fds, 2, limit, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            break;
        now = Clock::now();
        if ((fds[1].revents & POLLIN) && paced && now > nextInput + byteTime) {
            // The line was idle: the first byte of this burst has only begun to arrive, and is
            // taken once its wire time has passed.
            nextInput = now + byteTime;
        } else if (fds[1].revents & POLLIN) {
            char buffer[256];
            const ssize_t n = read(line, buffer, paced ? 1 : sizeof buffer);
            for (ssize_t i = 0; i < n; ++i)
                outbox += sim.receive(buffer[i], now);
            if (n > 0 && paced)
                nextInput = std::max(nextInput, now - byteTime) + byteTime;
            else if (n <= 0 && errno != EAGAIN && errno != EINTR)
                nextInput = now + std::chrono::milliseconds(100);  // line down: look again later
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            nextInput = now + std::chrono::milliseconds(100);
        }
        if ((fds[1].revents & POLLOUT) && !outbox.empty() && paced && now > nextOutput + byteTime) {
            // Likewise a reply's first byte reaches the far end one wire time after it starts.
            nextOutput = now + byteTime;
        } else if ((fds[1].revents & POLLOUT) && !outbox.empty()) {
            const ssize_t n = write(line, outbox.data(), paced ? 1 : outbox.size());
            if (n > 0) {
                outbox.erase(0, std::size_t(n));
                if (paced)
                    nextOutput = std::max(nextOutput, now - byteTime) + byteTime;
            }
        }
    }
    if (heldSlave >= 0)
        close(heldSlave);
    close(line);
    return 0;
}
