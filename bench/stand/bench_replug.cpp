// A pulled adapter and its replug, with the stand simulator as the far end: the stand
// controller over the real serial component, no window. Prints the time from re-pointing
// ports/COM1 at a fresh simulator to the first poll leaving and to the first reply, and the
// CPU the process uses while the port is gone and retried once a second.
#include "BenchSupport.h"
#include "stand/CommStandPort.h"
#include "stand/StandBoard.h"
#include "stand/StandController.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {

// Runs the event loop until `done` holds, looking every 5 ms, or until `ms` pass.
void waitUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
}

// Runs the event loop, and nothing else, for `ms`: unlike processEventsFor it lets the process
// sleep, as the CPU measured here is this process's own.
void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool startSimulator(StandsimRun& sim, const QString& log)
{
    return sim.start({"--stands", "2", "--pace-baud", "9600", "--speed", "0", "--heights", "30,40"}, log);
}

void linkCom1(const QString& dataFolder, const QString& device)
{
    QFile::remove(dataFolder + "ports/COM1");
    QFile::link(device, dataFolder + "ports/COM1");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const QString data = root.path() + "/";
    QDir().mkpath(data + "ports");

    StandBoard board;
    board.SetStandsDisplayed(2);
    CommStandPort port(data);
    StandController link(board, port);
    port.Comms1.OnReceiveData = [&](const char* buffer, int length) { link.Comms1ReceiveData(buffer, length); };

    QElapsedTimer sinceReplug;
    double firstPoll = -1;
    double firstReply = -1;
    QObject::connect(&link, &StandController::commsOpenChanged, [&](bool open) {
        // The first poll is written in the same call, right after the port opens.
        if (open && firstPoll < 0)
            firstPoll = static_cast<double>(sinceReplug.nsecsElapsed()) / 1e6;
    });
    QObject::connect(&link, &StandController::diagnosticPanelsChanged, [&] {
        if (firstPoll >= 0 && firstReply < 0 && link.Panel2().startsWith(u':'))
            firstReply = static_cast<double>(sinceReplug.nsecsElapsed()) / 1e6;
    });

    auto sim = std::make_unique<StandsimRun>();
    if (!startSimulator(*sim, data + "sim0.log")) {
        std::printf("the simulator did not start\n");
        return 1;
    }
    linkCom1(data, sim->line);
    link.StartComms(false);
    link.QueryTime().start();
    waitUntil([&] { return board.stand(1).online; }, 5000);
    if (!link.CommsOpen() || !board.stand(1).online) {
        std::printf("the stands did not come on line\n");
        return 1;
    }

    std::mt19937 random(11);
    std::vector<double> polls;
    std::vector<double> replies;
    double retryCpu = 0;
    double retryWall = 0;
    for (int round = 0; round < 12; ++round) {
        sim->process.kill();
        sim->process.waitForFinished(5000);
        sim.reset();
        waitUntil([&] { return !link.CommsOpen(); }, 5000);

        // The port stays gone for a while, retried once a second; the replug then falls at a
        // random moment between two retries.
        const double cpuBefore = cpuSeconds();
        QElapsedTimer gone;
        gone.start();
        wait(3000 + std::uniform_int_distribution<int>(0, 999)(random));
        retryCpu += cpuSeconds() - cpuBefore;
        retryWall += static_cast<double>(gone.nsecsElapsed()) / 1e9;

        sim = std::make_unique<StandsimRun>();
        if (!startSimulator(*sim, data + QString("sim%1.log").arg(round + 1))) {
            std::printf("the simulator did not start\n");
            return 1;
        }
        firstPoll = firstReply = -1;
        sinceReplug.start();
        linkCom1(data, sim->line);
        waitUntil([&] { return firstReply >= 0; }, 5000);
        if (firstPoll < 0 || firstReply < 0) {
            std::printf("polling did not resume within 5 s\n");
            return 1;
        }
        polls.push_back(firstPoll);
        replies.push_back(firstReply);
        waitUntil([&] { return board.stand(0).online && board.stand(1).online; }, 5000);
    }

    std::printf("replug to first poll (%zu replugs): median %.0f ms, worst %.0f ms (target <= 1500 ms)\n",
                polls.size(), percentile(polls, 0.5), percentile(polls, 1.0));
    std::printf("replug to first reply:               median %.0f ms, worst %.0f ms\n", percentile(replies, 0.5),
                percentile(replies, 1.0));
    std::printf("CPU while the port is gone and retried: %.3f %% of one core over %.0f s (target < 1 %%)\n",
                100.0 * retryCpu / retryWall, retryWall);
    return 0;
}
