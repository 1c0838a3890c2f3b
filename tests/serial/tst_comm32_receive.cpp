// Receiving through TComm32 from a pseudo-terminal far end.

#include "Comm32.h"
#include "serial/CommRecorder.h"
#include "serial/PtyFarEnd.h"

#include <QTest>

#include <stdexcept>
#include <thread>

class TestCommReceive : public QObject {
    Q_OBJECT

private:
    void open(TComm32& comm, PtyFarEnd& far, quint32 readTimeout = 20)
    {
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
        open(comm, far, 20);
        far.send("nobody listens");
        // Let the block reach the owner's thread with no handler assigned.
        QTest::qWait(300);
        CommRecorder rec;
        rec.attach(comm);
        far.send("heard");
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
        far.send("last words");
        // Give the reader the bytes before the line goes.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        far.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(rec.hangups, 1, 5000);
        QCOMPARE(rec.joined(), QByteArray("last words"));
        QTest::qWait(200);
        QCOMPARE(rec.hangups, 1);
        QVERIFY(comm.isOpen());
        comm.StopComm();
        QVERIFY(!comm.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestCommReceive)
#include "tst_comm32_receive.moc"
