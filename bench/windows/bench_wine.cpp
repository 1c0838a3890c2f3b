// The program under Wine beside the same program on Linux, in the same minutes, against the
// stand simulator paced at 9600 baud with 8 stands: polls per second and their share of the
// line's limit, CPU and resident memory while it polls, and an OSC take to its first frame on
// the wire. The Windows build is taken from ELEVRA_WINDOWS_BINARY_DIR.
#include "BenchSupport.h"
#include "osc/OscPacket.h"
#include "osc/UdpSocket.h"
#include "windows/WinePrefix.h"

#include <QTemporaryDir>

#include <unistd.h>

namespace {

constexpr double LineLimit = 1.0 / (22 * 10 / 9600.0 + 0.020);
constexpr std::uint16_t ListenPort = 39230;

// User plus system time of a process, in clock ticks.
long long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// The process whose program path holds `program`: Wine's server (wineserver64 on some systems),
// which is no child of ours.
qint64 processNamed(const QByteArray& program)
{
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && readBytes("/proc/" + entry + "/cmdline").split('\0').value(0).contains(program))
            return pid;
    }
    return -1;
}

QByteArray configuration()
{
    return QStringLiteral("[Main]\nCom Port Number=1\nStands Displayed=8\nScale Factor=94\n"
                          "[Show Control]\nOSC Enabled=1\nOSC Listen Port=%1\n[Run Order]\nR0=0\nR1=1\n")
        .arg(ListenPort)
        .toUtf8();
}

struct Figures {
    double pollsPerSecond = 0;
    double cpu = 0;
    double serverCpu = -1;
    double residentMB = 0;
    FrameDelays take;
};

// Polling for 20 s once the first poll is out, then 100 takes.
bool measure(QProcess& program, const StandsimRun& sim, Figures& figures)
{
    if (!processEventsUntil([&] { return pollsLogged(sim) > 0; }, 90000))
        return false;
    processEventsFor(2000);
    const qint64 server = processNamed("wineserver");
    const qsizetype pollsBefore = pollsLogged(sim);
    const long long ticksBefore = cpuTicks(program.processId());
    const long long serverBefore = server > 0 ? cpuTicks(server) : -1;
    QElapsedTimer clock;
    clock.start();
    processEventsFor(20000);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    figures.pollsPerSecond = static_cast<double>(pollsLogged(sim) - pollsBefore) / seconds;
    figures.cpu = 100.0 * static_cast<double>(cpuTicks(program.processId()) - ticksBefore) / tick / seconds;
    if (serverBefore >= 0)
        figures.serverCpu = 100.0 * static_cast<double>(cpuTicks(server) - serverBefore) / tick / seconds;
    figures.residentMB = static_cast<double>(residentKiB(program.processId())) / 1024.0;

    UdpSocket sender;
    if (!sender.Bind("127.0.0.1", 0).empty())
        return false;
    figures.take = timeSendsToFirstFrame(sim, [&](int i) {
        sender.Send({"127.0.0.1", ListenPort},
                    encodeOscMessage("/elevra/speaker/take", {QString(i % 2 ? "Chair" : "Keynote Speaker")}));
    });
    return true;
}

bool measureLinux(const QString& scratch, Figures& figures)
{
    StandsimRun sim;
    if (!sim.start(EightStandsAt9600 + StartHeights, scratch + "/linux.log"))
        return false;
    QTemporaryDir root;
    writeBytes(makeDataFolder(root.path(), sim.line, {"elevra.msg", "DBase0.db"}) + "elevra.ini", configuration());
    QProcess program;
    const bool measured = startProgram(program, root.path()) && measure(program, sim, figures);
    stopProgram(program);
    return measured;
}

bool measureWine(const QString& scratch, Figures& figures)
{
    const WinePrefix prefix(scratch + "/wine");
    const QString com1 = scratch + "/COM1";
    StandsimRun sim;
    if (!sim.start(EightStandsAt9600 + StartHeights, scratch + "/wine.log") || !pointLink(com1, sim.line)
        || !prefix.prepare() || !prefix.mapCom1(com1))
        return false;
    QDir().mkpath(prefix.dataFolder());
    for (const char* name : {"elevra.msg", "DBase0.db"})
        QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, prefix.dataFolder() + name);
    writeBytes(prefix.dataFolder() + "elevra.ini", configuration());
    QProcess program;
    program.setProcessEnvironment(prefix.environment());
    program.start(WinePrefix::wine(), {WinePrefix::windowsProgram("elevra.exe")});
    const bool measured = program.waitForStarted(10000) && measure(program, sim, figures);
    stopProgram(program);
    prefix.stop();
    return measured;
}

void print(const char* where, const Figures& f)
{
    std::printf("%s\n", where);
    std::printf("  polls per second over 20 s:  %6.2f (line limit %.2f, %.1f %% of it; target >= 97 %%)\n",
                f.pollsPerSecond, LineLimit, 100.0 * f.pollsPerSecond / LineLimit);
    std::printf("  CPU of the program polling:  %5.2f %% of one core (target < 3 %%)\n", f.cpu);
    if (f.serverCpu >= 0)
        std::printf("  CPU of Wine's server:        %5.2f %% of one core\n", f.serverCpu);
    std::printf("  resident memory:             %5.1f MB\n", f.residentMB);
    report("  OSC take to the first \"A\" frame logged", f.take.ms,
           " (the simulator logs a frame when its last byte is in, 11.5 ms after its first; target p99 <= 50 ms)");
    if (f.take.unanswered > 0)
        std::printf("  %d takes were followed by no \"A\" frame within 300 ms\n", f.take.unanswered);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (WinePrefix::wine().isEmpty() || !QFile::exists(WinePrefix::windowsProgram("elevra.exe"))) {
        std::printf("no Wine, or no elevra.exe in %s\n", WINDOWS_BINARY_DIR);
        return 1;
    }
    QTemporaryDir scratch;
    Figures wine;
    Figures native;
    if (!measureWine(scratch.path(), wine) || !measureLinux(scratch.path(), native)) {
        std::printf("the simulator or the program did not start\n");
        return 1;
    }
    print("elevra.exe under Wine", wine);
    print("elevra on Linux", native);
    std::printf("Wine / Linux: polls %.3f, take p99 %.2f\n", wine.pollsPerSecond / native.pollsPerSecond,
                wine.take.ms.empty() || native.take.ms.empty()
                    ? 0.0
                    : percentile(wine.take.ms, 0.99) / percentile(native.take.ms, 0.99));
    return 0;
}
