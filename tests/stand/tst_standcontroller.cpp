#include "RecordingPort.h"
#include "stand/StandController.h"
#include "stand/TakeHandler.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A reply as a stand sends it; the checksum characters are not checked by the program.
QByteArray Reply(int standNumber, int value)
{
    return ":" + QByteArray::number(standNumber) + "A" + QByteArray::number(value, 16).toUpper().rightJustified(4, '0')
        + "00\r\n";
}

QByteArray Poll(int standNumber)
{
    static const QList<QByteArray> polls = {"*1Q12344C\r\n", "*2Q12344D\r\n", "*3Q12344E\r\n", "*4Q12344F\r\n"};
    return polls[standNumber - 1];
}

class RecordingTakes : public TakeHandler {
public:
    StandController* link = nullptr;  // when set, the run order take sends height 20 to every stand
public:
    QStringList calls;
    void ExecuteDatabaseTake(bool local) override { calls << (local ? "database local" : "database remote"); }
    void ExecuteRunOrderTake() override
    {
        calls << "run order";
        if (!link)
            return;
        StandHeights heights;
        heights.fill(20);
        link->takeHeights(heights, QStringLiteral("2 : Somebody"));
    }
};

struct Rig {
    StandBoard board;
    RecordingPort port;
    std::unique_ptr<StandController> link;

    explicit Rig(int stands, bool opens = true)
    {
        board.SetStandsDisplayed(stands);
        link = std::make_unique<StandController>(board, port);
        port.opens = opens;
        link->StartComms(true);
    }

    void Receive(const QByteArray& bytes) { link->Comms1ReceiveData(bytes.constData(), int(bytes.size())); }

    // Brings the given stands on line at the given heights (scale 94) and clears the writes.
    void Online(const QList<QPair<int, int>>& standHeights)
    {
        for (const auto& [number, height] : standHeights)
            Receive(Reply(number, height * 94));
        port.Take();
    }
};

} // namespace

class TestStandController : public QObject {
    Q_OBJECT

private slots:
    void startCommsOpensConfiguredPort();
    void startCommsFailure();
    void pollsRunBackToBack();
    void standComesOnlineAndTargetSnaps();
    void silentStandTurnsOfflineAtNextTick();
    void replyFromAnotherStand();
    void replyForNoStandStillCycles();
    void laterCommandReplacesEarlier();
    void takeSendsDraggedLevel();
    void homeClearsDisplayAtOnce();
    void nudge_data();
    void nudge();
    void closedPortRefusesButKeepsNudge();
    void lineErrorReopensPort();
    void hangupRetriesTheSamePortSilently();
    void pendingTakesOfOtherWindows_data();
    void pendingTakesOfOtherWindows();
    void takeOfAnotherWindowWritesInsideTheCycle();
    void noStandsDisplayed();
    void receivedBlocksAndPanels();
    void swallowedFailuresAreSaidAtMostOnceASecond();
};

void TestStandController::startCommsOpensConfiguredPort()
{
    StandBoard board;
    RecordingPort port;
    StandController link(board, port);
    QVERIFY(!link.QueryTime().isActive());
    QCOMPARE(link.QueryTime().interval(), 500);

    link.setComPortNumber(7);
    link.StartComms(true);
    QVERIFY(link.CommsOpen());
    QCOMPARE(port.portName, QStringLiteral("COM7"));
    QCOMPARE(port.baudRate, 9600);
    QCOMPARE(port.dataBits, 8);
    QCOMPARE(port.readTimeoutMs, 20);
    QVERIFY(port.written.isEmpty());
}

void TestStandController::startCommsFailure()
{
    Rig rig(8, false);
    QSignalSpy failed(rig.link.get(), &StandController::commsFailed);
    QVERIFY(!rig.link->CommsOpen());

    rig.link->setComPortNumber(12);
    rig.link->StartComms(true);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), 12);

    rig.link->StartComms(false);
    QCOMPARE(failed.size(), 1);

    // An exception inside the port layer is swallowed and leaves CommsOpen as it was.
    rig.port.opens = true;
    rig.link->StartComms(false);
    QVERIFY(rig.link->CommsOpen());
    rig.port.throwOnStart = true;
    rig.link->StartComms(true);
    QVERIFY(rig.link->CommsOpen());
    QCOMPARE(failed.size(), 1);
}

void TestStandController::pollsRunBackToBack()
{
    Rig rig(3);
    rig.link->QueryTimeTimer();
    QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(1)});
    QVERIFY(rig.link->AwaitingReply());
    QVERIFY(rig.link->QueryTime().isActive());

    // Each reply sends the next poll at once; after the last stand the first follows.
    rig.Receive(Reply(1, 0));
    QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(2)});
    rig.Receive(Reply(2, 0));
    rig.Receive(Reply(3, 0));
    QCOMPARE(rig.port.Take(), (QList<QByteArray>{Poll(3), Poll(1)}));
}

void TestStandController::standComesOnlineAndTargetSnaps()
{
    Rig rig(2);
    QSignalSpy changed(&rig.board, &StandBoard::standChanged);
    rig.link->QueryTimeTimer();
    rig.Receive(Reply(1, 50 * 94));

    const TStand& s = rig.board.stand(0);
    QVERIFY(s.online);
    QCOMPARE(s.actual, 50);
    QCOMPARE(s.target, 50);
    QCOMPARE(s.level, QStringLiteral("50"));
    QCOMPARE(s.data, QStringLiteral("50"));
    QCOMPARE(s.glassTop, 100);
    QCOMPARE(s.positionTop, 100);
    QCOMPARE(s.columnHeight, 100);
    QVERIFY(changed.contains(QVariantList{0}));

    // Later replies move the column but leave the target alone.
    rig.Receive(Reply(1, 60 * 94));
    QCOMPARE(s.actual, 60);
    QCOMPARE(s.target, 50);
    QCOMPARE(s.level, QStringLiteral("50"));
    QCOMPARE(s.data, QStringLiteral("60"));
}

void TestStandController::silentStandTurnsOfflineAtNextTick()
{
    Rig rig(1);
    rig.Online({{1, 40}});
    QVERIFY(rig.board.stand(0).online);
    QVERIFY(rig.link->AwaitingReply());

    rig.link->QueryTimeTimer();
    const TStand& s = rig.board.stand(0);
    QVERIFY(!s.online);
    QCOMPARE(s.actual, 0);
    QCOMPARE(s.data, QStringLiteral("0"));
    QCOMPARE(s.columnHeight, 0);
    QCOMPARE(s.positionTop, 200);
    QCOMPARE(s.target, 40);
    QVERIFY(!rig.board.appearance(0).enabled);
    QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(1)});

    // Its next answer brings it back, the target snapping to the reported height.
    rig.Receive(Reply(1, 30 * 94));
    QVERIFY(s.online);
    QCOMPARE(s.target, 30);
}

void TestStandController::replyFromAnotherStand()
{
    Rig rig(3);
    rig.Online({{1, 10}, {2, 20}});
    QCOMPARE(rig.link->PollStand(), quint8(1));  // stand 2 is polled

    rig.Receive(Reply(3, 30 * 94));
    QVERIFY(rig.board.stand(2).online);
    QCOMPARE(rig.board.stand(2).actual, 30);
    QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(3)});

    // The outstanding poll is now stand 3's, so a tick greys stand 3, not stand 2.
    rig.link->QueryTimeTimer();
    QVERIFY(rig.board.stand(1).online);
    QCOMPARE(rig.board.stand(1).actual, 20);
    QVERIFY(!rig.board.stand(2).online);
}

void TestStandController::replyForNoStandStillCycles()
{
    Rig rig(2);
    rig.Online({{1, 10}});
    const TStands before = rig.board.allStands();
    rig.Receive(":9A1234zz");
    rig.Receive(":0A1234zz");
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(rig.board.stand(i).online, before[i].online);
        QCOMPARE(rig.board.stand(i).actual, before[i].actual);
    }
    QCOMPARE(rig.port.Take(), (QList<QByteArray>{Poll(2), Poll(1)}));
}

void TestStandController::laterCommandReplacesEarlier()
{
    Rig rig(2);
    rig.Online({{1, 30}, {2, 40}});
    rig.link->TakeBtnClick();
    rig.link->AbortBtnClick();
    rig.link->QueryTimeTimer();
    QCOMPARE(rig.port.Take(), (QList<QByteArray>{"*1X000049\r\n", "*2X00004A\r\n"}));
    QCOMPARE(rig.link->PendingCommand(), quint8(pcNone));
    QVERIFY(!rig.link->AwaitingReply());

    // The cycle after a command polls again.
    rig.link->QueryTimeTimer();
    QCOMPARE(rig.port.Take().size(), 1);
}

void TestStandController::takeSendsDraggedLevel()
{
    Rig rig(2);
    rig.Online({{1, 10}, {2, 40}});
    rig.board.setCurrentSpeaker(QStringLiteral("3 : Somebody"));

    // Stand 1's glass sits at top 180 (height 10); dragging it up 10 pixels of mouse
    // moves it 20 pixels, to height 20.
    rig.board.BeginGlassDrag(0, Qt::LeftButton, Qt::NoModifier, false, 16);
    rig.board.glassMouseMove(0, 6);
    rig.board.EndGlassDrag();
    QCOMPARE(rig.board.stand(0).level, QStringLiteral("20"));
    QCOMPARE(rig.board.stand(0).target, 10);

    rig.link->TakeBtnClick();
    rig.link->QueryTimeTimer();
    // 20 x 94 = 1880 = 0758; 40 x 94 = 3760 = 0EB0.
    QCOMPARE(rig.port.Take(), (QList<QByteArray>{"*1A075846\r\n", "*2A0EB05A\r\n"}));
    QCOMPARE(rig.link->Panel1(), QStringLiteral("*1A075846\r\n"));
    QVERIFY(rig.board.CurrentSpeaker().isEmpty());
}

void TestStandController::homeClearsDisplayAtOnce()
{
    Rig rig(2);
    rig.Online({{1, 30}, {2, 40}});
    rig.board.setCurrentSpeaker(QStringLiteral("Somebody"));
    rig.link->HomeBtnClick();

    for (int i = 0; i < 2; ++i) {
        QCOMPARE(rig.board.stand(i).level, QStringLiteral("0"));
        QCOMPARE(rig.board.stand(i).glassTop, 200);
    }
    QCOMPARE(rig.board.stand(0).target, 30);
    QCOMPARE(rig.board.stand(1).target, 40);
    QVERIFY(rig.board.CurrentSpeaker().isEmpty());
    QVERIFY(rig.port.written.isEmpty());

    rig.link->QueryTimeTimer();
    QCOMPARE(rig.port.Take(), (QList<QByteArray>{"*1L00003D\r\n", "*2L00003E\r\n"}));
}

void TestStandController::nudge_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("actual");
    QTest::addColumn<int>("target");
    QTest::addColumn<QByteArray>("frame");  // empty: nothing sent, target kept

    // Two stands, nudging stand 2: 51 x 94 = 12BA, 49 x 94 = 11FE.
    QTest::newRow("up from the reported height") << true << 50 << 70 << QByteArray("*2A12BA59\r\n");
    QTest::newRow("down from the reported height") << false << 50 << 20 << QByteArray("*2A11FE60\r\n");
    QTest::newRow("up at 98 reaches 99") << true << 98 << 98 << QByteArray("*2A245A4F\r\n");
    QTest::newRow("up at 99 does nothing") << true << 99 << 99 << QByteArray();
    QTest::newRow("down at 1 reaches 0") << false << 1 << 1 << QByteArray("*2A000033\r\n");
    QTest::newRow("down at 0 does nothing") << false << 0 << 5 << QByteArray();
}

void TestStandController::nudge()
{
    QFETCH(bool, up);
    QFETCH(int, actual);
    QFETCH(int, target);
    QFETCH(QByteArray, frame);

    Rig rig(2);
    rig.Online({{2, target}});

    if (up)
        rig.link->nudgeUpBtnClick(1);
    else
        rig.link->nudgeDownBtnClick(1);
    QCOMPARE(rig.link->NudgeStand(), 1);
    // The reply updates the height and its cycle carries out the nudge.
    rig.Receive(Reply(2, actual * 94));

    const int expectedTarget = frame.isEmpty() ? target : actual + (up ? 1 : -1);
    QCOMPARE(rig.port.Take(), frame.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{frame});
    QCOMPARE(rig.board.stand(1).target, expectedTarget);
    QCOMPARE(rig.board.stand(1).level, QString::number(expectedTarget));
    QCOMPARE(rig.link->PendingCommand(), quint8(pcNone));
}

void TestStandController::closedPortRefusesButKeepsNudge()
{
    Rig rig(2, false);
    rig.board.storeTarget(0, 30);
    rig.board.SetTargetHeight(0);
    rig.board.setCurrentSpeaker(QStringLiteral("Somebody"));

    rig.link->TakeBtnClick();
    rig.link->AbortBtnClick();
    rig.link->HomeBtnClick();
    QCOMPARE(rig.link->PendingCommand(), quint8(pcNone));
    QCOMPARE(rig.board.stand(0).level, QStringLiteral("30"));
    QCOMPARE(rig.board.CurrentSpeaker(), QStringLiteral("Somebody"));

    rig.link->nudgeUpBtnClick(0);
    rig.link->QueryTimeTimer();
    rig.link->QueryTimeTimer();
    rig.link->QueryTimeTimer();
    QVERIFY(rig.port.written.isEmpty());
    QCOMPARE(rig.link->PendingCommand(), quint8(pcNudgeUp));
    QVERIFY(rig.link->AwaitingReply());

    rig.port.opens = true;
    rig.link->StartComms(true);
    rig.link->QueryTimeTimer();
    QCOMPARE(rig.port.Take(), QList<QByteArray>{"*1A005E4C\r\n"});  // 1 x 94
}

void TestStandController::lineErrorReopensPort()
{
    Rig rig(1);
    QSignalSpy failed(rig.link.get(), &StandController::commsFailed);
    rig.link->setComPortNumber(4);
    rig.link->Comms1ReceiveError();
    QCOMPARE(rig.port.stops, 1);
    QCOMPARE(rig.port.starts, 2);
    QCOMPARE(rig.port.portName, QStringLiteral("COM4"));
    QVERIFY(rig.link->CommsOpen());
    QCOMPARE(failed.size(), 0);

    rig.port.opens = false;
    rig.link->Comms1ReceiveError();
    QVERIFY(!rig.link->CommsOpen());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toInt(), 4);

    rig.port.throwOnStart = true;
    rig.link->Comms1ReceiveError();
    QCOMPARE(rig.port.stops, 3);
}

void TestStandController::hangupRetriesTheSamePortSilently()
{
    Rig rig(2);
    rig.link->setComPortNumber(3);
    QSignalSpy failed(rig.link.get(), &StandController::commsFailed);
    rig.port.opens = false;
    rig.port.OnHangup();
    QCOMPARE(rig.port.stops, 1);
    QVERIFY(!rig.link->CommsOpen());
    QVERIFY(rig.link->retryTime().isActive());
    QCOMPARE(rig.link->retryTime().interval(), 1000);

    rig.link->retryTimeTimer();
    rig.port.throwOnStart = true;
    rig.link->retryTimeTimer();
    QCOMPARE(rig.port.starts, 3);
    QVERIFY(rig.link->retryTime().isActive());
    QCOMPARE(failed.size(), 0);

    // Back: the same port, and the first poll goes out at once.
    rig.port.throwOnStart = false;
    rig.port.opens = true;
    rig.link->retryTimeTimer();
    QCOMPARE(rig.port.portName, QStringLiteral("COM3"));
    QVERIFY(rig.link->CommsOpen());
    QVERIFY(!rig.link->retryTime().isActive());
    QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(1)});

    // Closed for a change of port: no retry reopens it, and a nudge waits for the new port.
    rig.port.OnHangup();
    rig.link->stopComms();
    QVERIFY(!rig.link->retryTime().isActive());
    QVERIFY(!rig.link->CommsOpen());
    rig.link->nudgeUpBtnClick(0);
    rig.link->QueryTimeTimer();
    QCOMPARE(rig.link->PendingCommand(), quint8(pcNudgeUp));
    QCOMPARE(rig.port.Take(), QList<QByteArray>());

    // A port chosen anew ends the retries for the old one, whether it opens or not.
    rig.port.OnHangup();
    rig.port.opens = false;
    rig.link->setComPortNumber(5);
    rig.link->StartComms(true);
    QVERIFY(!rig.link->retryTime().isActive());
    QCOMPARE(failed.size(), 1);
}

void TestStandController::pendingTakesOfOtherWindows_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("polled");

    QTest::newRow("database local") << int(pcDatabaseTakeLocal) << QStringList{"database local"} << false;
    QTest::newRow("database remote") << int(pcDatabaseTakeRemote) << QStringList{"database remote"} << false;
    QTest::newRow("run order") << int(pcRunOrderTake) << QStringList{"run order"} << false;
    QTest::newRow("above 8 is a poll") << 9 << QStringList{} << true;
}

void TestStandController::pendingTakesOfOtherWindows()
{
    QFETCH(int, command);
    QFETCH(QStringList, calls);
    QFETCH(bool, polled);

    Rig rig(1);
    RecordingTakes takes;
    rig.link->setTakeHandler(&takes);
    rig.link->setPendingCommand(quint8(command));
    rig.link->QueryTimeTimer();
    QCOMPARE(takes.calls, calls);
    QCOMPARE(rig.port.Take().size(), polled ? 1 : 0);
}

void TestStandController::takeOfAnotherWindowWritesInsideTheCycle()
{
    Rig rig(2);
    rig.Online({{1, 10}, {2, 40}});
    RecordingTakes takes;
    takes.link = rig.link.get();
    rig.link->setTakeHandler(&takes);
    rig.link->setPendingCommand(pcRunOrderTake);
    rig.Receive(Reply(2, 40 * 94));

    QCOMPARE(rig.port.Take(), (QList<QByteArray>{"*1A075846\r\n", "*2A075847\r\n"}));
    QCOMPARE(rig.board.stand(1).target, 20);
    QCOMPARE(rig.board.stand(1).level, QStringLiteral("20"));
    QCOMPARE(rig.board.CurrentSpeaker(), QStringLiteral("2 : Somebody"));
    QCOMPARE(rig.link->PendingCommand(), quint8(pcNone));
}

void TestStandController::noStandsDisplayed()
{
    Rig rig(0);
    rig.link->TakeBtnClick();
    rig.link->QueryTimeTimer();
    rig.link->HomeBtnClick();
    rig.link->QueryTimeTimer();
    QVERIFY(rig.port.Take().isEmpty());

    for (int i = 0; i < 3; ++i) {
        rig.link->QueryTimeTimer();
        QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(1)});
        QCOMPARE(rig.link->PollStand(), quint8(0));
    }
}

void TestStandController::receivedBlocksAndPanels()
{
    Rig rig(1);
    rig.link->QueryTimeTimer();
    rig.port.Take();

    rig.Receive("=diagnostic");
    QCOMPARE(rig.link->Panel3(), QStringLiteral("=diagnostic"));

    // Bytes after a 0 byte are not part of the block.
    const char cut[] = ":1A\0" "125C4D";
    rig.link->Comms1ReceiveData(cut, int(sizeof cut - 1));
    QCOMPARE(rig.link->Panel2(), QStringLiteral(":1A"));
    QCOMPARE(rig.link->parser().ReplyState(), 3);
    QVERIFY(!rig.board.stand(0).online);

    // The parser state survives a port restart: the rest of the split frame still counts.
    rig.link->Comms1ReceiveError();
    rig.Receive("125C4D");
    QCOMPARE(rig.link->Panel2(), QStringLiteral("125C4D"));
    QVERIFY(rig.board.stand(0).online);
    QCOMPARE(rig.board.stand(0).actual, 50);
    QCOMPARE(rig.port.Take(), QList<QByteArray>{Poll(1)});

    rig.Receive(QByteArray());
    rig.link->Comms1ReceiveData(nullptr, 0);
    QVERIFY(rig.port.written.isEmpty());
}

namespace {

QStringList* warnings = nullptr;

void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg && warnings)
        warnings->append(text);
}

struct ThrowingTakes : TakeHandler {
    void ExecuteDatabaseTake(bool) override {}
    void ExecuteRunOrderTake() override { throw std::runtime_error("entry 7 names no speaker"); }
};

} // namespace

void TestStandController::swallowedFailuresAreSaidAtMostOnceASecond()
{
    QStringList said;
    warnings = &said;
    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    Rig rig(2);
    rig.link->setComPortNumber(3);
    qint64 now = 50'000;
    rig.link->failures().setClock([&now] { return now; });

    // A port layer that throws at every attempt, and the retries after a hang-up.
    rig.port.throwOnStart = true;
    rig.link->StartComms(true);
    rig.port.OnHangup();
    for (int i = 0; i < 3; ++i) {
        now += 300;
        rig.link->retryTimeTimer();
    }
    now += 100;  // a second after the first line
    rig.link->Comms1ReceiveError();

    // A take that fails inside the cycle that a reply runs.
    rig.port.throwOnStart = false;
    rig.link->StartComms(false);
    ThrowingTakes takes;
    rig.link->setTakeHandler(&takes);
    rig.link->setPendingCommand(pcRunOrderTake);
    now += 5000;
    rig.Receive(Reply(1, 40 * 94));

    qInstallMessageHandler(previous);
    warnings = nullptr;
    QVERIFY(rig.link->CommsOpen());
    QCOMPARE(said, (QStringList{
            "Stand link: opening COM3 failed: port layer failed",
            "Stand link: reopening COM3 after a line error failed: port layer failed (3 more failures since the last line)",
            "Stand link: handling the data received on COM3 failed: entry 7 names no speaker"}));
}

QTEST_MAIN(TestStandController)
#include "tst_standcontroller.moc"
