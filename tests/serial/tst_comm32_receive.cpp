// Receiving through TComm32 from a pseudo-terminal far end.

#include "serial/Comm32.h"
#include "serial/CommRecorder.h"
#include "serial/PtyFarEnd.h"

#include <QTest>

#include <stdexcept>
#include <thread>

class TestCommReceive : public QObject {
    Q_OBJECT

private:
    // The device the component opened last, to see what it has taken from the line.
    std::shared_ptr<serial::SerialDevice> device;

    void open(TComm32& comm, PtyFarEnd& far, quint32 readTimeout = 20)
    {
        comm.setDeviceFactory([this] { return device = std::make_shared<serial::SerialDevice>(); });
        comm.CommPort = PtyFarEnd::portName();
        comm.setPortLinkFolder(far.folder());
        comm.SetReadTimeout(readTimeout);
        QVERIFY(comm.StartComm());
    }

private slots:
    void piecesSeparatedBySilenceArriveAsSeparateBlocks()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, far, 20);
        far.send(":1A1");
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks.size(), 1, 5000);
        far.send("25C4D\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks.size(), 2, 5000);
        QCOMPARE(rec.blocks[0], QByteArray(":1A1"));
        QCOMPARE(rec.blocks[1], QByteArray("25C4D\r\n"));
        QCOMPARE(rec.blocksWithoutTrailingZero, 0);
    }

    void bytesTricklingInWithinTheTimeoutStayOneBlock()
    {
        // Each byte restarts the silence, so a reply paced slower than the whole timeout
        // but with short gaps still arrives in one piece. The gaps leave a wide margin, so that a
        // loaded machine's scheduling delays cannot pass for a silence.
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, far, 1000);
        const QByteArray reply(":1A125C4D\r\n");
        for (char byte : reply) {
            far.send(QByteArray(1, byte));
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
        }
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), reply, 5000);
        QCOMPARE(rec.blocks.size(), 1);
    }

    void aLongBurstIsSplitAtTheBufferSize()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        // A generous silence keeps a loaded machine's scheduling gaps from splitting the burst.
        open(comm, far, 500);
        QByteArray burst;
        for (int i = 0; i < 1500; ++i)
            burst += char('A' + i % 26);
        far.send(burst);
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined().size(), 1500, 5000);
        QCOMPARE(rec.blocks.size(), 2);
        QCOMPARE(rec.blocks[0].size(), 1024);
        QCOMPARE(rec.blocks[1].size(), 476);
        QCOMPARE(rec.joined(), burst);
        QCOMPARE(rec.blocksWithoutTrailingZero, 0);
    }

    void everyByteValueArrivesUnchanged()
    {
        // The line marks errors in the stream and doubles a real FF; neither may show.
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, far, 200);
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        all += QByteArray("\xFF\x00\x00\xFF\xFF", 5);
        far.send(all);
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined().size(), all.size(), 5000);
        QCOMPARE(rec.joined(), all);
        QVERIFY(rec.errors.isEmpty());
    }

    void nullStripDropsZeroBytes()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        comm.SetNullStrip(true);
        open(comm, far, 100);
        far.send(QByteArray("a\0b\0\0c", 6));
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray("abc"), 5000);
    }

    void aThrowingHandlerDoesNotStopLaterEvents()
    {
        PtyFarEnd far;
        TComm32 comm;
        QList<QByteArray> seen;
        comm.OnReceiveData = [&seen](const char* buffer, int length) {
            seen.append(QByteArray(buffer, length));
            if (seen.size() == 1)
                throw std::runtime_error("handler failed");
        };
        open(comm, far, 20);
        far.send("first");
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, 5000);
        far.send("second");
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 5000);
        QCOMPARE(seen[1], QByteArray("second"));
    }

    void dataWithoutAHandlerIsDroppedAndLaterDataStillArrives()
    {
        PtyFarEnd far;
        TComm32 comm;
        int hangups = 0;
        comm.OnRequestHangup = [&hangups](TComm32*) { ++hangups; };
        // The first block's handler takes itself away: the rest arrives with none assigned.
        QList<QByteArray> seen;
        comm.OnReceiveData = [&](const char* buffer, int length) {
            seen.append(QByteArray(buffer, length));
            comm.OnReceiveData = nullptr;
        };
        open(comm, far, 1000);
        far.send(QByteArray(1024, 'x') + "nobody listens");
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, 5000);
        QVERIFY(PtyFarEnd::waitUntilTaken(device->fd()));
        // The hang-up is posted after the last block, so once it is handled the block was too.
        far.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(hangups, 1, 5000);
        QCOMPARE(seen, QList<QByteArray>{QByteArray(1024, 'x')});
        comm.StopComm();

        PtyFarEnd next;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, next, 20);
        next.send("heard");
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks.size(), 1, 5000);
        QCOMPARE(rec.blocks[0], QByteArray("heard"));
    }

    void closingTheFarEndPostsOneHangup()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        open(comm, far, 1000);
        // A full buffer goes at once; the rest waits for a silence that the hang-up cuts short.
        const QByteArray full(1024, 'x');
        far.send(full + "last words");
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks.size(), 1, 5000);
        // The line throws away what nobody has read yet when it goes.
        QVERIFY(PtyFarEnd::waitUntilTaken(device->fd()));
        far.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(rec.hangups, 1, 5000);
        QCOMPARE(rec.blocks, (QList<QByteArray>{full, "last words"}));
        QTest::qWait(200);
        QCOMPARE(rec.hangups, 1);
        QVERIFY(comm.isOpen());
        comm.StopComm();
        QVERIFY(!comm.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestCommReceive)
#include "tst_comm32_receive.moc"
