// The link cycle against the stand simulator paced at 9600 baud with 8 stands answering:
// polls per second over 20 s and their ratio to the line's limit, CPU and resident memory of
// the real program while it polls, and the time from a Take to its first frame.
#include "BenchSupport.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QTemporaryDir>

#include <unistd.h>

namespace {

constexpr double LineLimit = 1.0 / (22 * 10 / 9600.0 + 0.020);

// User plus system time of a process, in clock ticks.
long long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// The real executable polls for 20 s.
bool measurePolling(const QString& scratch)
{
    StandsimRun sim;
    if (!sim.start(EightStandsAt9600 + StartHeights, scratch + "/poll.log"))
        return false;
    QTemporaryDir root;
    makeDataFolder(root.path(), sim.line);
    QProcess program;
    if (!startProgram(program, root.path()))
        return false;
    processEventsFor(2000);

    const qsizetype pollsBefore = pollsLogged(sim);
    const long long ticksBefore = cpuTicks(program.processId());
    QElapsedTimer clock;
    clock.start();
    processEventsFor(20000);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const qsizetype polls = pollsLogged(sim) - pollsBefore;
    const long long ticks = cpuTicks(program.processId()) - ticksBefore;
    const long long rss = residentKiB(program.processId());
    stopProgram(program);

    const double rate = static_cast<double>(polls) / seconds;
    const double cpu = 100.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
    std::printf("polls per second over %.1f s:   %6.2f (line limit %.2f, %.1f %% of it; target >= 97 %%)\n", seconds,
                rate, LineLimit, 100.0 * rate / LineLimit);
    std::printf("CPU of the program while polling: %5.2f %% of one core (target < 3 %%)\n", cpu);
    std::printf("resident memory of the program:   %5.1f MB (target < 80 MB)\n", static_cast<double>(rss) / 1024.0);
    return true;
}

// In this process: Take pressed at random moments while polling, until the cycle writes
// stand 1's frame.
bool measureTakeLatency(const QString& scratch)
{
    StandsimRun sim;
    QTemporaryDir root;
    if (startStandsForWindow(sim, root.path(), scratch + "/take.log").isEmpty())
        return false;
    TConferenceForm form(Paths::forFolders(QStringLiteral(ELEVRA_BINARY_DIR), root.path()));
    form.show();
    processEventsFor(2000);

    const std::vector<double> latencies = timeTakesToFirstFrame(
        form.controller(), 7, [&](int i) { form.board().setLevelText(0, QString::number(10 + i % 50)); },
        [&] { form.controller().TakeBtnClick(); });
    if (latencies.empty())
        return false;
    report("Take to its first frame", latencies, " (target <= 45 ms at p99)");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ElevraApplication app(argc, argv);
    QTemporaryDir scratch;
    if (!measurePolling(scratch.path()) || !measureTakeLatency(scratch.path())) {
        std::printf("the simulator or the program did not start\n");
        return 1;
    }
    return 0;
}
