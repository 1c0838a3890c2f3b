// Show control: how soon an OSC take reaches the wire of the real program polling eight stands
// at 9600 baud, and what 1 000 messages a second for 10 s do to its polling, its window thread
// (the round trip of a query) and its memory.
#include "OscPacket.h"
#include "StandsimRun.h"
#include "UdpSocket.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t ListenPort = 39030;
constexpr std::uint16_t FeedbackPort = 39031;

void wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

void report(const char* what, std::vector<double> ms, const char* target = "")
{
    if (ms.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("%s (%zu samples): median %.2f ms, 99th percentile %.2f ms, max %.2f ms%s\n", what, ms.size(), at(0.5),
                at(0.99), ms.back(), target);
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

// Wall-clock times (ms since the epoch) of the frames that the simulator received with `text`.
std::vector<qint64> framesReceived(const StandsimRun& sim, const QByteArray& text)
{
    std::vector<qint64> times;
    for (const QByteArray& line : sim.frames().split('\n'))
        if (line.contains(" IN " + text))
            times.push_back(QDateTime::fromString(QString::fromLatin1(line.left(23)), "yyyy-MM-dd HH:mm:ss.zzz")
                                .toMSecsSinceEpoch());
    return times;
}

std::vector<std::uint8_t> message(const char* address, const std::vector<std::variant<qint32, QString>>& arguments = {})
{
    return EncodeOscMessage(address, arguments);
}

// The feedback port: counts the answers to queries ("/elevra/ignored" comes only in them) and
// when each arrived.
class FeedbackReader {
public:
    bool open() { return socket_.Bind("127.0.0.1", FeedbackPort).empty(); }
    void start()
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{socket_.Descriptor(), POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                while (const auto datagram = socket_.Receive()) {
                    const auto messages = ParseOscPacket(
                        QByteArray(reinterpret_cast<const char*>(datagram->bytes.data()), qsizetype(datagram->bytes.size())));
                    if (!messages)
                        continue;
                    for (const OscMessage& m : *messages) {
                        ++received_;
                        if (m.address == "/elevra/ignored") {
                            const std::lock_guard lock(mutex_);
                            answers_.push_back(Clock::now());
                        }
                    }
                }
            }
        });
    }
    std::vector<Clock::time_point> answers()
    {
        const std::lock_guard lock(mutex_);
        return answers_;
    }
    long long received() const { return received_; }
    ~FeedbackReader()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    UdpSocket socket_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<long long> received_{0};
    std::mutex mutex_;
    std::vector<Clock::time_point> answers_;
};

struct Program {
    StandsimRun sim;
    QTemporaryDir root;
    QProcess process;

    bool start(const QString& log)
    {
        if (!sim.start({"--stands", "8", "--pace-baud", "9600", "--speed", "15"}, log))
            return false;
        const QString data = root.path() + "/Quillon/Vantora/";
        QDir().mkpath(data + "ports");
        for (const char* name : {"elevra.msg", "DBase0.db"})
            QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, data + name);
        QFile ini(data + "elevra.ini");
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write(QStringLiteral("[Show Control]\nOSC Enabled=1\nOSC Listen Port=%1\nOSC Feedback Host=127.0.0.1\n"
                                 "OSC Feedback Port=%2\n[Run Order]\nR0=0\nR1=1\nR2=2\nR3=0\nR4=1\n")
                      .arg(ListenPort)
                      .arg(FeedbackPort)
                      .toUtf8());
        ini.close();
        QFile::link(sim.line, data + "ports/COM1");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_DATA_DIRS", root.path());
        env.insert("XDG_RUNTIME_DIR", root.path());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(ELEVRA_EXECUTABLE, {});
        return process.waitForStarted(5000);
    }
    ~Program()
    {
        process.terminate();
        process.waitForFinished(10000);
    }
};

void measureTakeLatency(Program& program, UdpSocket& sender)
{
    const UdpPeer to{"127.0.0.1", ListenPort};
    std::mt19937 random(7);
    std::vector<double> toFrame;
    int unanswered = 0;
    for (int i = 0; i < 100; ++i) {
        wait(std::uniform_int_distribution<int>(520, 900)(random));
        const qint64 sent = QDateTime::currentMSecsSinceEpoch();
        sender.Send(to, message("/elevra/speaker/take", {QString(i % 2 ? "Chair" : "Keynote Speaker")}));
        wait(300);
        const std::vector<qint64> frames = framesReceived(program.sim, "*1A");
        const auto first = std::find_if(frames.begin(), frames.end(), [&](qint64 t) { return t >= sent; });
        if (first == frames.end())
            ++unanswered;
        else
            toFrame.push_back(double(*first - sent));
    }
    report("OSC take to the first \"A\" frame logged at 9600 baud", toFrame,
           "\n  (the simulator logs a frame when its last byte is in, 11.5 ms after its first; 1 ms clock;"
           " target p99 <= 60 ms)");
    if (unanswered > 0)
        std::printf("  %d takes were followed by no \"A\" frame within 300 ms\n", unanswered);
}

// 1 000 messages a second for 10 s from `flood`, with a query every 100 ms whose answer times
// the window thread.
void measureFlood(Program& program, UdpSocket& sender, FeedbackReader& feedback, const char* what,
                  const std::vector<std::vector<std::uint8_t>>& flood)
{
    const UdpPeer to{"127.0.0.1", ListenPort};
    const std::vector<std::uint8_t> query = message("/elevra/query");
    const qsizetype pollsBefore = program.sim.frames().count("Q1234");
    wait(2000);
    const qsizetype pollsIdle = program.sim.frames().count("Q1234") - pollsBefore;
    const size_t answersBefore = feedback.answers().size();
    const long long memoryBefore = residentKiB(program.process.processId());
    std::atomic<long long> memoryHalf{0};

    std::vector<Clock::time_point> probes;
    std::thread send([&] {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 10000; ++i) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(1000 * i));
            sender.Send(to, flood[size_t(i) % flood.size()]);
            if (i % 100 == 50) {
                probes.push_back(Clock::now());
                sender.Send(to, query);
            }
            if (i == 5000)
                memoryHalf = residentKiB(program.process.processId());
        }
    });
    const qsizetype pollsStart = program.sim.frames().count("Q1234");
    QElapsedTimer clock;
    clock.start();
    while (send.joinable() && clock.elapsed() < 10500)
        wait(50);
    send.join();
    const double seconds = double(clock.elapsed()) / 1000.0;
    const qsizetype pollsDuring = program.sim.frames().count("Q1234") - pollsStart;
    wait(2000);
    const long long memoryAfter = residentKiB(program.process.processId());
    const qsizetype pollsAfter = program.sim.frames().count("Q1234") - pollsStart - pollsDuring;

    const std::vector<Clock::time_point> answers = feedback.answers();
    std::vector<double> roundTrips;
    for (size_t k = 0; k < probes.size() && answersBefore + k < answers.size(); ++k)
        roundTrips.push_back(std::chrono::duration<double, std::milli>(answers[answersBefore + k] - probes[k]).count());
    std::printf("\n%s, 10 000 in %.1f s:\n", what, seconds);
    std::printf("  polls per second: %.1f before, %.1f during, %.1f in the 2 s after\n", double(pollsIdle) / 2.0,
                double(pollsDuring) / seconds, double(pollsAfter) / 2.0);
    report("  query round trip through the window thread", roundTrips);
    std::printf("  %zu of %zu queries answered; resident memory %.1f MB before, %.1f MB after 5 s, %.1f MB after 10 s"
                " and 2 s more\n",
                roundTrips.size(), probes.size(), double(memoryBefore) / 1024, double(memoryHalf) / 1024,
                double(memoryAfter) / 1024);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    FeedbackReader feedback;
    UdpSocket sender;
    Program program;
    if (!feedback.open() || !sender.Bind("127.0.0.1", 0).empty() || !program.start(scratch.filePath("sim.log"))) {
        std::printf("the feedback port, the simulator or the program did not start\n");
        return 1;
    }
    feedback.start();
    wait(2000);
    measureTakeLatency(program, sender);

    std::mt19937 random(3);
    std::vector<std::vector<std::uint8_t>> noise;
    for (int i = 0; i < 100; ++i) {
        std::vector<std::uint8_t> bytes(size_t(std::uniform_int_distribution<int>(0, 300)(random)));
        for (std::uint8_t& b : bytes)
            b = std::uint8_t(random());
        noise.push_back(bytes);
        noise.push_back(message("/elevra/stands/raise"));
        noise.push_back(message("/elevra/speaker/take", {QString("Nobody Here")}));
        noise.push_back(message("/elevra/speaker/take", {77}));
    }
    measureFlood(program, sender, feedback, "1 000 messages a second that ask for nothing (bad input, unknown names)", noise);

    const std::vector<std::vector<std::uint8_t>> takes{
        message("/elevra/speaker/take", {1}), message("/elevra/runorder/next"), message("/elevra/speaker/take", {QString("Chair")}),
        message("/elevra/runorder/previous"), message("/elevra/stands/take")};
    measureFlood(program, sender, feedback, "1 000 takes a second (speaker, run order steps, Take)", takes);
    std::printf("  (every cycle carries out the take that waits, and the cycle after a take comes at the 500 ms tick)\n");
    std::printf("\nfeedback messages received in all: %lld\n", feedback.received());
    return 0;
}
