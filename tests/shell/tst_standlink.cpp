#include "ConfMain.h"
#include "DataFolder.h"
#include "ElevraApplication.h"
#include "StandsimRun.h"

#include <QProcess>
#include <QtTest>

// The main window driving the real stand simulator over a pseudo-terminal.
class TestStandLink : public QObject {
    Q_OBJECT

    static bool allOnlineAt(const StandBoard& board, const QList<int>& heights)
    {
        for (int i = 0; i < heights.size(); ++i)
            if (!board.Stand(i).online || board.Stand(i).actual != heights[i])
                return false;
        return true;
    }

    QTemporaryDir scratch;

private slots:
    void standsComeOnlineWithTheirHeights();
    void takeMovesTheStandsToTheirLevels();
    void takeThenAbortSendsOnlyAbort();
    void silentStandsTurnGrey();
    void nudgeMovesOneUnitFromTheReportedHeight();
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
        QCOMPARE(form.board().Stand(i).target, heights[i]);
        QCOMPARE(form.board().Stand(i).level, QString::number(heights[i]));
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
    form.board().SetLevelText(0, "50");  // as a glass drag leaves it
    form.board().SetLevelText(1, "25");
    form.board().SetLevelText(2, "99");
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
    form.board().SetLevelText(0, "70");
    form.controller().TakeBtnClick();
    form.controller().AbortBtnClick();
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames().contains("*2X00004A"), 5000);
    QVERIFY(sim.frames().contains("*1X000049"));
    QVERIFY(!sim.frames().contains("*1A"));
    QCOMPARE(form.board().Stand(0).actual, 0);
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
    QTRY_VERIFY_WITH_TIMEOUT(form.board().Stand(3).online && form.board().Stand(1).online, 10000);
    QTest::qWait(1200);  // stand 3 has been polled and left it unanswered more than once
    QVERIFY(!form.board().Stand(2).online);
    QCOMPARE(form.board().Stand(2).data, QString("0"));

    sim.process.kill();  // every stand falls silent
    QVERIFY(sim.process.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!form.board().Stand(0).online && !form.board().Stand(1).online
                                     && !form.board().Stand(3).online, 10000);
    QCOMPARE(form.board().Stand(3).actual, 0);
    QCOMPARE(form.board().Stand(3).target, 8);  // the target stays what it was
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
    form.controller().NudgeUpBtnClick(0);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {99}), 5000);
    form.controller().NudgeUpBtnClick(0);  // at 99 nothing more is sent
    QTest::qWait(600);
    QCOMPARE(form.board().Stand(0).actual, 99);
    QCOMPARE(sim.frames().count("*1A"), 1);
    form.controller().NudgeDownBtnClick(0);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {98}), 5000);
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestStandLink test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_standlink.moc"
