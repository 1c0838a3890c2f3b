// The prompter link: how soon a poke reaches the link's callback, how soon it moves the stands
// of the real program polling at 9600 baud, and whether 1 000 pokes in a row make the program
// grow or stop polling.
#include "BenchSupport.h"
#include "link/LocalSocket.h"
#include "link/PrompterServer.h"
#include "link/ServiceSocket.h"

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A conversation with the program's service over a blocking socket, as another process would
// hold it.
class BlockingPeer {
public:
    bool open(const QString& service)
    {
        fd_ = LocalSocket::Connect(ServiceSocket::For(service).path).fd;
        if (fd_ < 0)
            return false;
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        return exchange("CONNECT\tConference Stand Control\n");
    }
    bool poke(const QByteArray& name)
    {
        return exchange(EncodeMessage(LinkVerb::Poke, {"DdeVantoraServerItem", TextFormat}, name + '\0'));
    }
    ~BlockingPeer()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    // Sends one message and reads its one-line answer.
    bool exchange(const QByteArray& message)
    {
        if (::write(fd_, message.constData(), size_t(message.size())) != message.size())
            return false;
        QByteArray answer;
        char c = 0;
        while (::read(fd_, &c, 1) == 1 && c != '\n')
            answer += c;
        return answer == "ACK";
    }
    int fd_ = -1;
};

// In this process: the program's server item, poked from another thread; the time from the
// poke's write to the selection callback on this thread.
void measureCallbackLatency()
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    PresetTable presets;
    presets[7].preset_id = QStringLiteral("Keynote Speaker");
    PrompterServer server;
    server.SetPresets(&presets);
    constexpr int Pokes = 1000;
    std::vector<Clock::time_point> written(Pokes), called(Pokes);
    int calls = 0;
    server.SetDatabaseSelection = [&](int) {
        if (calls < Pokes)
            called[size_t(calls)] = Clock::now();
        ++calls;
    };
    if (!server.Register(QStringLiteral("/x/Elevra")).isEmpty())
        return;

    std::atomic<bool> done{false};
    std::thread peer([&] {
        BlockingPeer conversation;
        std::mt19937 random(11);
        if (conversation.open(QStringLiteral("Elevra"))) {
            for (int i = 0; i < Pokes; ++i) {
                // Pauses let the window thread fall idle, as between real pokes.
                std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
                written[size_t(i)] = Clock::now();
                if (!conversation.poke("keynote speaker"))
                    break;
            }
        }
        done = true;
    });
    processEventsUntil([&] { return done.load(); }, 600000);
    peer.join();

    std::vector<double> ms;
    for (int i = 0; i < std::min(calls, Pokes); ++i)
        ms.push_back(std::chrono::duration<double, std::milli>(called[size_t(i)] - written[size_t(i)]).count());
    report("poke written to the selection callback, window thread idle", ms);

    // The whole prompter tool: a process started, connected, and its poke processed.
    std::vector<double> tool;
    for (int i = 0; i < 100; ++i) {
        const int before = calls;
        QElapsedTimer clock;
        clock.start();
        QProcess take;
        take.start(QStringLiteral(PROMPTER_EXECUTABLE), {"take", "Keynote Speaker"});
        processEventsUntil([&] { return calls != before; }, 5000);
        if (calls > before)
            tool.push_back(double(clock.nsecsElapsed()) / 1e6);
        take.waitForFinished(5000);
    }
    report("'prompter take' started to the selection callback", tool);
}

// The real program polling eight stands at 9600 baud, poked while it polls.
bool measureProgram(const QString& scratch)
{
    StandsimRun sim;
    if (!sim.start(EightStandsAt9600, scratch + "/program.log"))
        return false;
    QTemporaryDir root;
    makeDataFolder(root.path(), sim.line);
    // The prompter tool started here finds the program's service in the same runtime folder.
    qputenv("XDG_RUNTIME_DIR", root.path().toUtf8());
    QProcess program;
    if (!startProgram(program, root.path()))
        return false;
    processEventsFor(2000);

    // Pokes at random moments while the stands are polled, each followed by its first "A" frame.
    BlockingPeer conversation;
    if (!conversation.open(QStringLiteral("Elevra")))
        return false;
    const FrameDelays toFrame = timeSendsToFirstFrame(
        sim, [&](int i) { conversation.poke(i % 2 ? "Chair" : "Keynote Speaker"); });
    if (toFrame.ms.empty())
        std::printf("poke to the first \"A\" frame: no poke was followed by a height frame (a poke reaches no take "
                    "in this build)\n");
    else
        report("poke to the first \"A\" frame logged at 9600 baud", toFrame.ms,
               "\n  (the simulator logs a frame when its last byte is in, 11.5 ms after its first; 1 ms clock;"
               " target p99 <= 60 ms to the first byte)");
    if (toFrame.unanswered > 0 && !toFrame.ms.empty())
        std::printf("  %d pokes were followed by no \"A\" frame within 300 ms\n", toFrame.unanswered);

    // 1 000 conversations of the prompter tool, one poke each.
    const long long before = residentKiB(program.processId());
    long long half = 0;
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    const qsizetype pollsBefore = pollsLogged(sim);
    for (int i = 0; i < 1000; ++i) {
        QProcess take;
        take.start(QStringLiteral(PROMPTER_EXECUTABLE), {"take", i % 2 ? "Chair" : "Keynote Speaker"});
        if (!take.waitForFinished(5000) || take.exitCode() != 0)
            ++failed;
        if (i == 499)
            half = residentKiB(program.processId());
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    const qsizetype pollsDuring = pollsLogged(sim) - pollsBefore;
    const long long after = residentKiB(program.processId());
    processEventsFor(2000);
    const qsizetype pollsAfter = pollsLogged(sim) - pollsBefore - pollsDuring;
    std::printf("1000 pokes by 'prompter take' in %.1f s, %d not acknowledged; resident memory %.1f MB before, "
                "%.1f MB after 500, %.1f MB after 1000\n",
                seconds, failed, double(before) / 1024, double(half) / 1024, double(after) / 1024);
    std::printf("polls meanwhile: %.1f per second; in the 2 s after: %lld\n", double(pollsDuring) / seconds,
                static_cast<long long>(pollsAfter));
    stopProgram(program);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    measureCallbackLatency();
    if (!measureProgram(scratch.path())) {
        std::printf("the simulator or the program did not start\n");
        return 1;
    }
    return 0;
}
