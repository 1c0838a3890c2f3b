// The Windows build under Wine against the real simulator on a pseudo-terminal mapped as COM1:
// the serial component alone (the probe), then the whole program, each through a pulled line
// and its replug.
#include "ProgramFeedback.h"
#include "WinePrefix.h"
#include "stand/StandFrames.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList EightStands{"--stands", "8", "--pace-baud", "9600", "--speed", "0"};
constexpr std::uint16_t ListenPort = 39130;
constexpr std::uint16_t FeedbackPort = 39131;

// The probe's lines as it prints them, and the bytes it received so far.
struct ProbeRun {
    QProcess process;
    QStringList lines;
    QByteArray received;

    void collect()
    {
        while (process.canReadLine()) {
            const QString line = QString::fromLatin1(process.readLine()).trimmed();
            lines << line;
            if (line.startsWith("data "))
                received += QByteArray::fromHex(line.mid(5).toLatin1());
        }
    }
    bool waitFor(const QString& line, int ms)
    {
        return QTest::qWaitFor([&] { collect(); return lines.contains(line); }, ms);
    }
    bool waitForReceived(const QByteArray& text, int ms)
    {
        return QTest::qWaitFor([&] { collect(); return received.contains(text); }, ms);
    }
    void write(const QString& frame) { process.write(StandFrames::toWire(frame).toHex() + "\n"); }
    ~ProbeRun()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
};

}  // namespace

class TestWineSerial : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;
    WinePrefix prefix{QStringLiteral(WINE_TEST_PREFIX)};
    QString com1;

    bool startSimulator(StandsimRun& sim, const QString& log)
    {
        return sim.start(EightStands, scratch.filePath(log)) && pointLink(com1, sim.line);
    }

private slots:
    void initTestCase()
    {
        if (WinePrefix::wine().isEmpty())
            QSKIP("Wine is not installed");
        if (!QFile::exists(WinePrefix::windowsProgram("comm32_probe.exe")))
            QSKIP("no Windows build in " WINDOWS_BINARY_DIR);
        com1 = scratch.filePath("COM1");
        QVERIFY(pointLink(com1, "/dev/null"));
        QVERIFY(prefix.prepare());
        QVERIFY(prefix.mapCom1(com1));
    }

    void cleanupTestCase() { prefix.stop(); }

    void theComponentTalksToTheSimulatorAndComesBackAfterAReplug()
    {
        auto first = std::make_unique<StandsimRun>();
        QVERIFY(startSimulator(*first, "first.log"));
        ProbeRun probe;
        probe.process.setProcessEnvironment(prefix.environment());
        probe.process.start(WinePrefix::wine(), {WinePrefix::windowsProgram("comm32_probe.exe"), "COM1"});
        QVERIFY2(probe.waitFor("open", 30000), qPrintable(probe.lines.join('\n')));

        probe.write(StandFrames::pollFrame(3));
        QVERIFY(probe.waitForReceived(":3A", 3000));
        // A purge aborts the pending read; the reader reads on.
        probe.process.write("purge\n");
        probe.write(StandFrames::heightFrame(3, 40, 94));
        probe.write(StandFrames::pollFrame(3));
        QVERIFY(probe.waitForReceived(":3A" + StandFrames::toWire(StandFrames::heightFrame(3, 40, 94)).mid(3, 4), 3000));
        QVERIFY(first->frames().contains("IN " + StandFrames::toWire(StandFrames::heightFrame(3, 40, 94)).trimmed()));

        QVERIFY(!probe.lines.contains("hangup"));

        // The far end goes: the reader sees the line end and says so.
        first.reset();
        QVERIFY(probe.waitFor("hangup", 5000));

        // Each open after the replug gets a poll: one made before the link moved may have found
        // the old line and hung up again.
        qsizetype opens = probe.lines.count("open");
        const qsizetype receivedBefore = probe.received.size();
        StandsimRun second;
        QElapsedTimer sinceReplug;
        QVERIFY(startSimulator(second, "second.log"));
        sinceReplug.start();
        QVERIFY(QTest::qWaitFor(
            [&] {
                probe.collect();
                if (probe.lines.count("open") > opens) {
                    opens = probe.lines.count("open");
                    probe.write(StandFrames::pollFrame(5));
                }
                return probe.received.mid(receivedBefore).contains(":5A");
            },
            3000));
        QVERIFY2(sinceReplug.elapsed() <= 1500, qPrintable(QString::number(sinceReplug.elapsed())));
    }

    void theProgramTakesAndPollsAgainAfterAReplug()
    {
        if (!QFile::exists(WinePrefix::windowsProgram("elevra.exe")))
            QSKIP("elevra.exe is not built");
        Feedback feedback;
        QVERIFY(feedback.socket.Bind("127.0.0.1", FeedbackPort).empty());
        QDir(prefix.dataFolder()).removeRecursively();
        QVERIFY(QDir().mkpath(prefix.dataFolder()));
        for (const char* name : {"elevra.msg", "DBase0.db"})
            QVERIFY(QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/") + name, prefix.dataFolder() + name));
        writeBytes(prefix.dataFolder() + "elevra.ini", showControlSettings(ListenPort, FeedbackPort));

        auto first = std::make_unique<StandsimRun>();
        QVERIFY(startSimulator(*first, "program-first.log"));
        QProcess program;
        const struct Ending {
            QProcess& program;
            ~Ending()
            {
                program.terminate();
                if (!program.waitForFinished(10000))
                    program.kill();
                program.waitForFinished(5000);
            }
        } ending{program};
        program.setProcessEnvironment(prefix.environment());
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(WinePrefix::wine(), {WinePrefix::windowsProgram("elevra.exe")});
        QVERIFY(feedback.allAre(1, 60000));

        UdpSocket sender;
        QVERIFY(sender.Bind("127.0.0.1", 0).empty());
        QVERIFY(sender.Send({"127.0.0.1", ListenPort}, encodeOscMessage("/elevra/speaker/take", {QString("Keynote Speaker")})));
        QVERIFY(QTest::qWaitFor([&] { return takeFramesIn(*first) == 8; }, 5000));

        first.reset();
        QVERIFY(feedback.allAre(0, 5000));
        StandsimRun second;
        QElapsedTimer sinceReplug;
        QVERIFY(startSimulator(second, "program-second.log"));
        sinceReplug.start();
        QVERIFY(QTest::qWaitFor([&] { return second.frames().contains("Q1234"); }, 5000));
        qInfo("replug to the first poll on the new line: %lld ms", sinceReplug.elapsed());
        QVERIFY2(sinceReplug.elapsed() <= 1500, qPrintable(QString::number(sinceReplug.elapsed())));
        QVERIFY(feedback.allAre(1, 5000));
    }
};

QTEST_GUILESS_MAIN(TestWineSerial)
#include "tst_wine_serial.moc"
