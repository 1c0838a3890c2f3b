#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "StandsOnline.h"
#include "StandsimRun.h"
#include "serial/PtyFarEnd.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QProcess>
#include <QtTest>

#include <atomic>

namespace {

// A line whose driver counts framing errors, as a USB adapter's does; a pseudo-terminal
// keeps no counters, so a test bumps this one.
class LineWithErrorCounters : public serial::SerialDevice {
public:
    std::atomic<std::uint32_t> framingErrors{0};
    std::optional<serial::ErrorCounters> errorCounters() override
    {
        return serial::ErrorCounters{framingErrors.load(), 0, 0, 0};
    }
};

} // namespace

// The main window driving the real stand simulator over a pseudo-terminal.
class TestStandLink : public QObject {
    Q_OBJECT

    QTemporaryDir scratch;

private slots:
    void standsComeOnlineWithTheirHeights();
    void takeMovesTheStandsToTheirLevels();
    void takeThenAbortSendsOnlyAbort();
    void silentStandsTurnGrey();
    void nudgeMovesOneUnitFromTheReportedHeight();
    void splitReplyJoinsOnTheTwentyMillisecondPort();
    void lineErrorReopensThePort();
    void aReplugResumesPollingWithoutAMessage();
};

void TestStandLink::standsComeOnlineWithTheirHeights()
{
    DataFolder folder;
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "0", "--heights", "10,20,30,40,50,60,70,99"}, scratch.filePath("a.log")));
    folder.linkCom1(sim.line);
    TConferenceForm form(folder.paths());
    form.show();
    const QList<int> heights{10, 20, 30, 40, 50, 60, 70, 99};
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), heights), 10000);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(form.board().stand(i).target, heights[i]);
        QCOMPARE(form.board().stand(i).level, QString::number(heights[i]));
    }
    QVERIFY(sim.frames().contains("*1Q12344C"));
    QVERIFY(sim.frames().contains("*8Q123453"));
}

void TestStandLink::takeMovesTheStandsToTheirLevels()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=3\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "60"}, scratch.filePath("b.log")));
    folder.linkCom1(sim.line);
    TConferenceForm form(folder.paths());
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {0, 0, 0}), 10000);
    form.board().setLevelText(0, "50");  // as a glass drag leaves it
    form.board().setLevelText(1, "25");
    form.board().setLevelText(2, "99");
    form.controller().TakeBtnClick();
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {50, 25, 99}), 15000);
    const QByteArray frames = sim.frames();
    QVERIFY(frames.contains("*1A125C4D"));
    QVERIFY(frames.contains("*3A245A50"));
    QVERIFY(!frames.contains("*4Q"));  // only displayed stands are served
}

void TestStandLink::takeThenAbortSendsOnlyAbort()
{
    DataFolder folder;
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "2", "--speed", "0"}, scratch.filePath("c.log")));
    folder.linkCom1(sim.line);
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=2\n");
    TConferenceForm form(folder.paths());
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {0, 0}), 10000);
    form.board().setLevelText(0, "70");
    form.controller().TakeBtnClick();
    form.controller().AbortBtnClick();
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames().contains("*2X00004A"), 5000);
    QVERIFY(sim.frames().contains("*1X000049"));
    QVERIFY(!sim.frames().contains("*1A"));
    QCOMPARE(form.board().stand(0).actual, 0);
}

void TestStandLink::silentStandsTurnGrey()
{
    DataFolder folder;
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "4", "--speed", "0", "--heights", "5,6,7,8", "--silent", "3"}, scratch.filePath("d.log")));
    folder.linkCom1(sim.line);
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=4\n");
    TConferenceForm form(folder.paths());
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.board().stand(3).online && form.board().stand(1).online, 10000);
    // Stand 3 has been polled twice, so its first poll went unanswered past a tick.
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames().count("*3Q") >= 2, 10000);
    QVERIFY(!form.board().stand(2).online);
    QCOMPARE(form.board().stand(2).data, QString("0"));

    sim.process.kill();  // every stand falls silent
    QVERIFY(sim.process.waitForFinished(5000));
    folder.linkCom1(folder.path("gone"));  // so the retries cannot find another test's line
    QTRY_VERIFY_WITH_TIMEOUT(!form.board().stand(0).online && !form.board().stand(1).online
                                     && !form.board().stand(3).online, 10000);
    QCOMPARE(form.board().stand(3).actual, 0);
    QCOMPARE(form.board().stand(3).target, 8);  // the target stays what it was
}

void TestStandLink::nudgeMovesOneUnitFromTheReportedHeight()
{
    DataFolder folder;
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "1", "--speed", "0", "--heights", "98"}, scratch.filePath("e.log")));
    folder.linkCom1(sim.line);
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n");
    TConferenceForm form(folder.paths());
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {98}), 10000);
    form.controller().nudgeUpBtnClick(0);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {99}), 5000);
    form.controller().nudgeUpBtnClick(0);  // at 99 nothing more is sent
    QTRY_COMPARE_WITH_TIMEOUT(form.controller().PendingCommand(), quint8(pcNone), 5000);
    // A frame of that cycle would reach the simulator before the poll that follows it.
    const qsizetype polls = sim.frames().count("*1Q");
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames().count("*1Q") > polls, 5000);
    QCOMPARE(form.board().stand(0).actual, 99);
    QCOMPARE(sim.frames().count("*1A"), 1);
    form.controller().nudgeDownBtnClick(0);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {98}), 5000);
}

void TestStandLink::splitReplyJoinsOnTheTwentyMillisecondPort()
{
    // The port waits 20 ms for a further byte, so the main window sees a stand's reply without
    // delay, and a reply cut in two pieces is put together by the parser across blocks. How long
    // a piece takes to arrive depends on the machine's load, so the wait itself is checked as
    // the setting the opened port runs with.
    DataFolder folder;
    PtyFarEnd far;
    folder.linkCom1(QString::fromStdString(far.slavePath()));
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n");
    TConferenceForm form(folder.paths());
    QVERIFY(form.controller().CommsOpen());
    QCOMPARE(form.port().Comms1.ReadTimeout(), quint32(20));
    far.send(":1A1");
    QTRY_COMPARE_WITH_TIMEOUT(form.controller().Panel2(), QStringLiteral(":1A1"), 5000);
    far.send("25C4D\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(form.board().stand(0).online, 5000);
    QCOMPARE(form.board().stand(0).actual, 50);
    QCOMPARE(form.controller().Panel2(), QStringLiteral("25C4D\r\n"));
}

void TestStandLink::lineErrorReopensThePort()
{
    DataFolder folder;
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "1", "--speed", "0", "--heights", "12"}, scratch.filePath("f.log")));
    folder.linkCom1(sim.line);
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n");
    TConferenceForm form(folder.paths());
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {12}), 10000);

    // Reopened on a line whose error counters the test can raise.
    int opened = 0;
    std::shared_ptr<LineWithErrorCounters> line;
    form.port().Comms1.setDeviceFactory([&] {
        ++opened;
        return line = std::make_shared<LineWithErrorCounters>();
    });
    form.port().StopComm();
    form.controller().StartComms(true);
    QCOMPARE(opened, 1);
    ++line->framingErrors;
    QTRY_COMPARE_WITH_TIMEOUT(opened, 2, 5000);
    QVERIFY(form.controller().CommsOpen());
    // A reply lost in the reopen may grey the stand for a tick; polling brings it back.
    const qsizetype polls = sim.frames().count("*1Q");
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames().count("*1Q") > polls + 1 && form.board().stand(0).online, 5000);
}

void TestStandLink::aReplugResumesPollingWithoutAMessage()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=2\n");
    StandsimRun first;
    QVERIFY(first.start({"--stands", "2", "--speed", "0", "--heights", "30,40"}, scratch.filePath("g.log")));
    folder.linkCom1(first.line);
    ModalAnswerer boxes;
    TConferenceForm form(folder.paths());
    form.show();
    QSignalSpy failed(&form.controller(), &StandController::commsFailed);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {30, 40}), 10000);

    first.process.kill();  // the far end goes, as when the adapter is pulled
    QVERIFY(first.process.waitForFinished(5000));
    // Its device node goes with it; the pseudo-terminal's number may soon name another test's.
    folder.linkCom1(folder.path("gone"));
    QTRY_VERIFY_WITH_TIMEOUT(!form.board().stand(0).online && !form.board().stand(1).online, 10000);
    QVERIFY(!form.controller().CommsOpen());

    StandsimRun second;
    QVERIFY(second.start({"--stands", "2", "--speed", "0", "--heights", "55,66"}, scratch.filePath("h.log")));
    folder.linkCom1(second.line);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {55, 66}), 5000);
    QVERIFY(second.frames().contains("*1Q12344C"));
    QVERIFY(form.controller().CommsOpen());
    QCOMPARE(failed.size(), 0);
    QCOMPARE(boxes.seen, QStringList());
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestStandLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_standlink.moc"
