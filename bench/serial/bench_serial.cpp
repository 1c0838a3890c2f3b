// Figures for the serial component: the cost of WriteCommData on a busy line, the delay
// from a burst's last byte to OnReceiveData, and the CPU an open idle port takes.

#include "StandsimRun.h"
#include "serial/Comm32.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void aimAt(TComm32& comm, const std::filesystem::path& folder, const std::string& device)
{
    std::filesystem::create_directories(folder / "ports");
    std::filesystem::remove(folder / "ports" / "COM1");
    std::filesystem::create_symlink(device, folder / "ports" / "COM1");
    comm.CommPort = QStringLiteral("COM1");
    comm.setPortLinkFolder(folder);
    comm.SetReadTimeout(20);
}

void benchWrites(const std::filesystem::path& folder)
{
    StandsimRun sim;
    if (!sim.start({"--pace-baud", "9600"})) {
        std::printf("write: standsim did not start\n");
        return;
    }
    const std::string device = sim.line.toStdString();
    TComm32 comm;
    aimAt(comm, folder, device);
    if (!comm.StartComm()) {
        std::printf("write: cannot open %s\n", device.c_str());
        return;
    }
    const char poll[] = "*1Q12344C\r\n";
    std::vector<double> us;
    // 2000 frames take 23 s of wire time at 9600 baud, so nearly all calls meet a busy line.
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = Clock::now();
        comm.WriteCommData(poll, 11);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::printf("WriteCommData, 9600-baud paced standsim, 2000 calls: median %.2f us, p99 %.2f us, max %.2f us\n",
                percentile(us, 0.5), percentile(us, 0.99), percentile(us, 1.0));
    comm.StopComm();
}

void benchDelivery(const std::filesystem::path& folder)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return;
    TComm32 comm;
    aimAt(comm, folder, ptsname(master));
    Clock::time_point delivered;
    bool got = false;
    QEventLoop wait;
    comm.OnReceiveData = [&](const char*, int) {
        delivered = Clock::now();
        got = true;
        wait.quit();
    };
    if (!comm.StartComm())
        return;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &wait, &QEventLoop::quit);
    const char reply[] = ":1A125C4D\r\n";
    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        got = false;
        const auto sent = Clock::now();
        if (write(master, reply, 11) != 11)
            break;
        giveUp.start(2000);
        if (!got)
            wait.exec();
        giveUp.stop();
        if (got)
            ms.push_back(std::chrono::duration<double, std::milli>(delivered - sent).count());
        runEventLoopFor(5);
    }
    comm.StopComm();
    close(master);
    if (ms.empty())
        return;
    std::printf("Delivery, last byte to OnReceiveData, ReadTimeout 20 ms, %zu bursts: median %.2f ms, p99 %.2f ms "
                "(ReadTimeout + %.2f ms), max %.2f ms\n",
                ms.size(), percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 0.99) - 20.0,
                percentile(ms, 1.0));
}

void benchIdle(const std::filesystem::path& folder)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return;
    TComm32 comm;
    aimAt(comm, folder, ptsname(master));
    if (!comm.StartComm())
        return;
    const double cpu0 = processCpuSeconds();
    const auto t0 = Clock::now();
    runEventLoopFor(10000);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = processCpuSeconds() - cpu0;
    std::printf("Idle open port (pseudo-terminal), %.1f s: %.4f s CPU = %.3f %% of one core\n", wall, cpu,
                100.0 * cpu / wall);
    comm.StopComm();
    close(master);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    benchWrites(folder);
    benchDelivery(folder);
    benchIdle(folder);
    return 0;
}
