// Writing through TComm32 and its writer thread to a pseudo-terminal far end.

#include "serial/Comm32.h"
#include "serial/CommRecorder.h"
#include "serial/PtyFarEnd.h"
#include "serial/WriteThread.h"

#include <QElapsedTimer>
#include <QTest>

#include <sys/ioctl.h>
#include <thread>

namespace {

void aimAt(TComm32& comm, const PtyFarEnd& far)
{
    comm.CommPort = PtyFarEnd::portName();
    comm.setPortLinkFolder(far.folder());
}

QByteArray blockOf(char letter, int size)
{
    return QByteArray(size, letter);
}

// Waits until the far end has stopped taking bytes, i.e. its buffer is full; false when it
// never filled.
[[nodiscard]] bool waitUntilLineIsFull(const PtyFarEnd& far)
{
    int last = -1;
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        int queued = 0;
        ioctl(far.master(), FIONREAD, &queued);
        if (queued > 0 && queued == last)
            return true;
        last = queued;
    }
    return false;
}

}  // namespace

class TestCommWrite : public QObject {
    Q_OBJECT

private slots:
    void threeWritesReachTheLineInCallOrder()
    {
        PtyFarEnd far;
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        const QByteArray a = blockOf('a', 3000), b = blockOf('b', 3000), c = blockOf('c', 3000);
        QVERIFY(comm.WriteCommData(a.constData(), quint16(a.size())));
        QVERIFY(comm.WriteCommData(b.constData(), quint16(b.size())));
        QVERIFY(comm.WriteCommData(c.constData(), quint16(c.size())));
        QCOMPARE(far.receive(9000), a + b + c);
    }

    void aZeroLengthWriteIsTrueAndSendsNothing()
    {
        PtyFarEnd far;
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        QVERIFY(comm.WriteCommData(nullptr, 0));
        QVERIFY(comm.WriteCommData("", 0));
        QVERIFY(comm.WriteCommData("x", 1));
        QCOMPARE(far.receive(2, 1000), QByteArray("x"));
    }

    void aBlockLargerThanTheLineBufferIsWrittenWhole()
    {
        PtyFarEnd far;
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        QByteArray big;
        for (int i = 0; i < 65535; ++i)
            big += char('0' + i % 10);
        QVERIFY(comm.WriteCommData(big.constData(), quint16(big.size())));
        QVERIFY(comm.WriteCommData("end", 3));
        QCOMPARE(far.receive(big.size() + 3, 10000), big + "end");
    }

    void stopWithBlocksQueuedOnAFullLineWritesNoMore()
    {
        PtyFarEnd far;
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        for (char letter : {'a', 'b', 'c', 'd', 'e'}) {
            const QByteArray block = blockOf(letter, 60000);
            QVERIFY(comm.WriteCommData(block.constData(), quint16(block.size())));
        }
        QVERIFY(waitUntilLineIsFull(far));
        QElapsedTimer timer;
        timer.start();
        comm.StopComm();
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        const QByteArray got = far.receive(300000, 1000);
        QVERIFY(got.size() < 300000);
        QVERIFY(!got.contains('e'));
    }

    void theWriterLeavesAPendingWriteAtStopWithoutAHangup()
    {
        PtyFarEnd far;
        auto device = std::make_shared<serial::SerialDevice>();
        QVERIFY(device->open(far.slavePath()));
        int hangups = 0;
        serial::CommWindow window([&hangups](serial::Notification& n) { hangups += n.code == msgHangup; });
        auto channel = std::make_shared<serial::NotificationChannel>(&window);
        auto stop = std::make_shared<serial::StopSignal>();
        auto queue = std::make_shared<serial::WriteQueue>();
        auto writer = std::make_shared<TWriteThread>(device, stop, channel, queue);
        QVERIFY(writer->Start());
        for (char letter : {'a', 'b', 'c', 'd', 'e'}) {
            const QByteArray block = blockOf(letter, 60000);
            queue->post({msgWriteData, 60000, 0, serial::MakeBlock(block.constData(), 60000)});
        }
        QVERIFY(waitUntilLineIsFull(far));
        stop->signal();
        QVERIFY(writer->WaitFor(std::chrono::seconds(5)));
        QTest::qWait(100);
        QCOMPARE(hangups, 0);
        QVERIFY(!far.receive(300000, 500).contains('e'));
    }

    void afterAHangupWritesAreRefusedAndNothingIsQueued()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        far.closeMaster();
        // The reader sees the line go at once; the idle writer only when its next write fails.
        QTRY_COMPARE_WITH_TIMEOUT(rec.hangups, 1, 5000);
        QVERIFY(comm.WriteCommData("x", 1));
        QTRY_COMPARE_WITH_TIMEOUT(rec.hangups, 2, 5000);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!comm.WriteCommData("*1Q12344C\r\n", 11));
        QVERIFY(comm.isOpen());
        // Each worker reports once and is gone: no third hang-up follows.
        QTest::qWait(200);
        QCOMPARE(rec.hangups, 2);
    }

    void writeCommDataReturnsAtOnceWhileTheLineIsBusy()
    {
        PtyFarEnd far;
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        const QByteArray block = blockOf('z', 60000);
        for (int i = 0; i < 3; ++i)
            QVERIFY(comm.WriteCommData(block.constData(), quint16(block.size())));
        QVERIFY(waitUntilLineIsFull(far));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(comm.WriteCommData("*1Q12344C\r\n", 11));
        QVERIFY(timer.elapsed() < 1000);
        comm.StopComm();
    }
};

QTEST_GUILESS_MAIN(TestCommWrite)
#include "tst_comm32_write.moc"
