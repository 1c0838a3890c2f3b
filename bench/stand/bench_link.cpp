// The link cycle against the stand simulator paced at 9600 baud with 8 stands answering:
// polls per second over 20 s and their ratio to the line's limit, CPU and resident memory of
// the real program while it polls, and the time from a Take to its first frame.
#include "ConfMain.h"
#include "ElevraApplication.h"
#include "StandsimRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

constexpr double LineLimit = 1.0 / (22 * 10 / 9600.0 + 0.020);

bool startSimulator(StandsimRun& sim, const QString& logFile)
{
    return sim.start({"--stands", "8", "--pace-baud", "9600", "--speed", "15", "--heights", "10,20,30,40,50,60,70,80"},
                     logFile);
}

qsizetype pollsLogged(const StandsimRun& sim)
{
    return sim.frames().count("Q1234");
}

QString makeDataFolder(const QString& root, const QString& line)
{
    const QString data = root + "/Quillon/Vantora/";
    QDir().mkpath(data + "ports");
    for (const char* name : {"elevra.ini", "elevra.msg", "DBase0.db"})
        QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, data + name);
    QFile::link(line, data + "ports/COM1");
    return data;
}

// User plus system time of a process, in clock ticks.
long long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

long long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// The real executable polls for 20 s.
bool measurePolling(const QString& scratch)
{
    StandsimRun sim;
    if (!startSimulator(sim, scratch + "/poll.log"))
        return false;
    QTemporaryDir root;
    makeDataFolder(root.path(), sim.line);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_DATA_DIRS", root.path());
    env.insert("XDG_RUNTIME_DIR", root.path());
    program.setProcessEnvironment(env);
    program.start(ELEVRA_EXECUTABLE, {});
    if (!program.waitForStarted(5000))
        return false;
    wait(2000);

    const qsizetype pollsBefore = pollsLogged(sim);
    const long long ticksBefore = cpuTicks(program.processId());
    QElapsedTimer clock;
    clock.start();
    wait(20000);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const qsizetype polls = pollsLogged(sim) - pollsBefore;
    const long long ticks = cpuTicks(program.processId()) - ticksBefore;
    const long long rss = residentKiB(program.processId());
    program.terminate();
    program.waitForFinished(10000);

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
    if (!startSimulator(sim, scratch + "/take.log"))
        return false;
    QTemporaryDir root;
    makeDataFolder(root.path(), sim.line);
    qputenv("XDG_DATA_DIRS", root.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", root.path().toUtf8());
    TConferenceForm form(Paths::forFolders(QStringLiteral(ELEVRA_BINARY_DIR), root.path()));
    form.show();
    wait(2000);

    std::mt19937 random(7);
    std::vector<double> latencies;
    QElapsedTimer sincePress;
    bool waiting = false;
    QObject::connect(&form.controller(), &StandController::diagnosticPanelsChanged, &form, [&] {
        if (waiting && form.controller().Panel1().startsWith(QLatin1String("*1A"))) {
            latencies.push_back(static_cast<double>(sincePress.nsecsElapsed()) / 1e6);
            waiting = false;
        }
    });
    // A command cycle sends no poll, so polling resumes at the next tick, 500 ms later; each
    // Take comes at a random moment after that, while polls run back to back.
    for (int i = 0; i < 100; ++i) {
        wait(std::uniform_int_distribution<int>(520, 900)(random));
        form.board().SetLevelText(0, QString::number(10 + i % 50));
        waiting = true;
        sincePress.start();
        form.controller().TakeBtnClick();
        while (waiting && sincePress.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty())
        return false;
    const auto at = [&](double q) { return latencies[std::min(latencies.size() - 1, size_t(q * latencies.size()))]; };
    std::printf("Take to its first frame (%zu takes): median %.1f ms, 99th percentile %.1f ms (target <= 45 ms)\n",
                latencies.size(), at(0.5), at(0.99));
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
