// Show control: how soon an OSC take reaches the wire of the real program polling eight stands
// at 9600 baud, and what 1 000 messages a second for 10 s do to its polling, its window thread
// (the round trip of a query) and its memory.
#include "BenchSupport.h"
#include "osc/OscPacket.h"
#include "osc/UdpSocket.h"

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <mutex>
#include <poll.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t ListenPort = 39030;
constexpr std::uint16_t FeedbackPort = 39031;

std::vector<std::uint8_t> message(const char* address, const std::vector<std::variant<qint32, QString>>& arguments = {})
{
    return encodeOscMessage(address, arguments);
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
                    const auto messages = parseOscPacket(
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
        if (!sim.start(EightStandsAt9600, log))
            return false;
        const QString data = makeDataFolder(root.path(), sim.line, {"elevra.msg", "DBase0.db"});
        QFile ini(data + "elevra.ini");
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write(QStringLiteral("[Show Control]\nOSC Enabled=1\nOSC Listen Port=%1\nOSC Feedback Host=127.0.0.1\n"
                                 "OSC Feedback Port=%2\n[Run Order]\nR0=0\nR1=1\nR2=2\nR3=0\nR4=1\n")
                      .arg(ListenPort)
                      .arg(FeedbackPort)
                      .toUtf8());
        ini.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        return startProgram(process, root.path());
    }
    ~Program() { stopProgram(process); }
};

void measureTakeLatency(Program& program, UdpSocket& sender)
{
    const UdpPeer to{"127.0.0.1", ListenPort};
    const FrameDelays toFrame = timeSendsToFirstFrame(program.sim, [&](int i) {
        sender.Send(to, message("/elevra/speaker/take", {QString(i % 2 ? "Chair" : "Keynote Speaker")}));
    });
    report("OSC take to the first \"A\" frame logged at 9600 baud", toFrame.ms,
           "\n  (the simulator logs a frame when its last byte is in, 11.5 ms after its first; 1 ms clock;"
           " target p99 <= 60 ms)");
    if (toFrame.unanswered > 0)
        std::printf("  %d takes were followed by no \"A\" frame within 300 ms\n", toFrame.unanswered);
}

// 1 000 messages a second for 10 s from `flood`, with a query every 100 ms whose answer times
// the window thread.
void measureFlood(Program& program, UdpSocket& sender, FeedbackReader& feedback, const char* what,
                  const std::vector<std::vector<std::uint8_t>>& flood)
{
    const UdpPeer to{"127.0.0.1", ListenPort};
    const std::vector<std::uint8_t> query = message("/elevra/query");
    const qsizetype pollsBefore = pollsLogged(program.sim);
    processEventsFor(2000);
    const qsizetype pollsIdle = pollsLogged(program.sim) - pollsBefore;
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
    const qsizetype pollsStart = pollsLogged(program.sim);
    QElapsedTimer clock;
    clock.start();
    while (send.joinable() && clock.elapsed() < 10500)
        processEventsFor(50);
    send.join();
    const double seconds = double(clock.elapsed()) / 1000.0;
    const qsizetype pollsDuring = pollsLogged(program.sim) - pollsStart;
    processEventsFor(2000);
    const long long memoryAfter = residentKiB(program.process.processId());
    const qsizetype pollsAfter = pollsLogged(program.sim) - pollsStart - pollsDuring;

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
    processEventsFor(2000);
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
