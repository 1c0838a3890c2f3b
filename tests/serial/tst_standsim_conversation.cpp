// Conversations between TComm32 and the real standsim program.

#include "serial/Comm32.h"
#include "serial/CommRecorder.h"
#include "serial/StandsimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace {

QByteArray frame(const QByteArray& body)
{
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    return "*" + body + QByteArray::number(sum & 0xFF, 16).toUpper().rightJustified(2, '0') + "\r\n";
}

void send(TComm32& comm, const QByteArray& bytes)
{
    QVERIFY(comm.WriteCommData(bytes.constData(), quint16(bytes.size())));
}

// Polls a stand once and waits for its whole reply: the height it reports, or -1.
int heightNow(TComm32& comm, CommRecorder& rec, char stand)
{
    rec.blocks.clear();
    send(comm, frame(QByteArray(1, stand) + "Q1234"));
    if (!QTest::qWaitFor([&] { return rec.joined().endsWith("\r\n"); }, 5000))
        return -1;
    const QByteArray reply = rec.joined();
    if (!reply.startsWith(":" + QByteArray(1, stand) + "A"))
        return -1;
    return reply.mid(3, 4).toInt(nullptr, 16) / 94;
}

// Polls a stand until it reports `height`, or gives up.
bool waitForHeight(TComm32& comm, CommRecorder& rec, char stand, int height, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        if (heightNow(comm, rec, stand) == height)
            return true;
    return false;
}

}  // namespace

class TestStandsimConversation : public QObject {
    Q_OBJECT

private:
    void open(TComm32& comm, const StandsimProcess& sim)
    {
        comm.CommPort = QStringLiteral("COM1");
        comm.setPortLinkFolder(sim.folder());
        comm.SetReadTimeout(20);
        QVERIFY(comm.StartComm());
    }

private slots:
    void aPollGetsTheStandsHeight()
    {
        StandsimProcess sim({"--stands", "8", "--heights", "50,0,99", "--pace-baud", "9600"});
        QVERIFY(sim.started());
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, sim);
        send(comm, "*1Q12344C\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray(":1A125C4D\r\n"), 5000);
        rec.blocks.clear();
        send(comm, frame("3Q1234"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray(":3A245A50\r\n"), 5000);
    }

    void aHeightCommandMovesTheStandThenHomeAndAbort()
    {
        StandsimProcess sim({"--stands", "2", "--speed", "40"});
        QVERIFY(sim.started());
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, sim);
        send(comm, frame("2A" + QByteArray::number(60 * 94, 16).toUpper().rightJustified(4, '0')));
        QVERIFY(waitForHeight(comm, rec, '2', 60, 10000));
        send(comm, frame("2L0000"));
        QDeadlineTimer deadline(5000);
        int height = 60;
        while (height == 60 && !deadline.hasExpired())
            height = heightNow(comm, rec, '2');
        QVERIFY2(height >= 0 && height < 60, "the stand did not start home");
        send(comm, frame("2X0000"));
        const int stopped = heightNow(comm, rec, '2');
        QVERIFY2(stopped > 0 && stopped < 60, qPrintable(rec.joined()));
        // It stays where the abort left it, poll after poll.
        QElapsedTimer still;
        still.start();
        while (still.elapsed() < 500)
            QCOMPARE(heightNow(comm, rec, '2'), stopped);
    }

    void silentStandsAndMalformedFramesGetNoAnswer()
    {
        QTemporaryDir logDir;
        const QString logPath = logDir.filePath(QStringLiteral("frames.log"));
        StandsimProcess sim({"--stands", "8", "--silent", "2", "--noise", "--log", logPath});
        QVERIFY(sim.started());
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, sim);
        send(comm, frame("2Q1234"));
        send(comm, "*1Q123400\r\n*\xFF\x01zz\r\n");
        // The simulator takes frames in order, so by this poll's reply it has passed the others.
        send(comm, frame("1Q1234"));
        QTRY_VERIFY_WITH_TIMEOUT(rec.joined().endsWith(":1A000032\r\n"), 5000);
        QCOMPARE(rec.joined().count(':'), 1);  // stray bytes may come before a reply, never a ':'
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains(" IN *2Q12344D"));
        QVERIFY(text.contains(" BAD *1Q123400"));
        QVERIFY(text.contains(" OUT :1A000032"));
    }

    void reconnectingFindsTheSimulatorStillThere()
    {
        StandsimProcess sim({"--heights", "7"});
        QVERIFY(sim.started());
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, sim);
        comm.StopComm();
        QVERIFY(comm.StartComm());
        send(comm, frame("1Q1234"));
        QTRY_VERIFY_WITH_TIMEOUT(rec.joined().startsWith(":1A0292"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestStandsimConversation)
#include "tst_standsim_conversation.moc"
