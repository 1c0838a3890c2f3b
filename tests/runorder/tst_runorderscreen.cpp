#include "ControllerRig.h"
#include "ScriptedQuestions.h"
#include "TestFiles.h"
#include "database/VantoraDragDrop.h"
#include "runorder/RunOrderWindowState.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The run order window's state over the controller rig.
struct Rig : ControllerRig {
    RunOrder runOrder;
    ScriptedQuestions dialogs;
    std::unique_ptr<RunOrderWindowState> screen;

    Rig(const QStringList& entries, int standsDisplayed = 8) : ControllerRig(standsDisplayed)
    {
        runOrder.RunOrderList = entries;
        presets[0].preset_id = "Chair";
        config.RunOrderFileName = "/data/RunOrder/first.run";
        screen = std::make_unique<RunOrderWindowState>(
            RunOrderWindowStateLinks{runOrder, presets, config, "/nowhere", controller, Message, announcer}, dialogs);
    }
    void ExecuteRunOrderTake() override { screen->ExecuteRunOrderTake(); }

    // What the database grid's drag of entry `index` carries.
    void drop(int index, int row) const
    {
        const std::unique_ptr<QMimeData> mime(MakeDatabaseDragData(index, QString("Entry %1").arg(index)));
        screen->DropTextTargetDrop(*mime, row);
    }
    // Press on a cell, pass over further rows of the same column with the button down, release.
    void mouseDrag(int column, const QList<int>& rows) const
    {
        screen->RunGridSelectCell(column, rows.first());
        screen->RunGridMouseDown(rows.first());
        for (int row : rows.mid(1)) {
            screen->RunGridMouseMove();
            if (screen->rangeSelect())
                screen->moveAnchor(column, row);
            else
                screen->RunGridSelectCell(column, row);
        }
        screen->RunGridMouseUp();
    }
};

using Script = std::function<void(Rig&)>;

const QStringList Five{"10", "11", "12", "13", "14"};

} // namespace

Q_DECLARE_METATYPE(Script)

class TestRunOrderScreen : public QObject {
    Q_OBJECT

private slots:
    void editing_data();
    void editing();
    void takeSendsDisplayedStandsAndAnnouncesWithoutAdvancing();
    void entriesThatNameNoSpeakerAreShownAsEntryZeroAndNeverTaken();
    void filesAndTheirFailures();
};

void TestRunOrderScreen::editing_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("questions");

    const QStringList three{"10", "11", "12"};
    QTest::newRow("drop onto row 2") << three << Script([](Rig& r) {
        r.screen->RunGridSelectCell(1, 3);
        r.drop(7, 2);
    }) << QStringList{"10", "7", "11", "12"} << 3 << true << QStringList{};
    QTest::newRow("drop below the last row") << three << Script([](Rig& r) {
        r.screen->RunGridSelectCell(1, 3);
        r.drop(49, -1);
    }) << QStringList{"10", "11", "12", "49"} << 1 << true << QStringList{};
    QTest::newRow("first drop into an empty list") << QStringList{} << Script([](Rig& r) { r.drop(0, 0); })
                                                   << QStringList{"0"} << 1 << true << QStringList{};
    QTest::newRow("message naming no speaker") << three << Script([](Rig& r) { r.drop(50, 1); }) << three << 1
                                               << false << QStringList{};
    QTest::newRow("identifier cell of row 4 dragged to row 2") << Five << Script([](Rig& r) {
        r.mouseDrag(1, {4, 3, 2});
    }) << QStringList{"10", "13", "11", "12", "14"} << 2 << false << QStringList{};
    QTest::newRow("a press on the heading moves nothing") << Five << Script([](Rig& r) {
        r.screen->RunGridSelectCell(1, 4);
        r.screen->RunGridMouseDown(0);
        r.screen->RunGridMouseMove();
        r.screen->RunGridSelectCell(1, 2);  // by the keyboard
    }) << Five << 2 << false << QStringList{};
    QTest::newRow("num column range 2 to 4, Dup") << Five << Script([](Rig& r) {
        r.mouseDrag(0, {2, 3, 4});
        r.screen->RunOrderCopyBtnClick();
    }) << QStringList{"10", "11", "12", "13", "11", "12", "13", "14"} << 2 << false << QStringList{};
    QTest::newRow("num column range 4 up to 2, Del") << Five << Script([](Rig& r) {
        r.mouseDrag(0, {4, 3, 2});
        r.screen->RunOrderDeleteBtnClick();
    }) << QStringList{"10", "14"} << 4 << false << QStringList{"M5"};
    QTest::newRow("Dup on the last row") << three << Script([](Rig& r) {
        r.screen->RunGridSelectCell(1, 3);
        r.screen->RunOrderCopyBtnClick();
    }) << QStringList{"10", "11", "12", "12"} << 3 << false << QStringList{};
    QTest::newRow("Del cancelled") << three << Script([](Rig& r) {
        r.dialogs.answer = false;
        r.screen->RunOrderDeleteBtnClick();
    }) << three << 1 << false << QStringList{"M5"};
    QTest::newRow("Clear keeps the position") << three << Script([](Rig& r) {
        r.screen->RunGridSelectCell(0, 2);
        r.screen->RunOrderClearBtnClick();
        r.screen->RunOrderClearBtnClick();  // empty: not asked again
        r.screen->RunOrderCopyBtnClick();
    }) << QStringList{} << 2 << false << QStringList{"M6?"};
    QTest::newRow("Del and Dup do nothing beyond the list") << three << Script([](Rig& r) {
        r.screen->RunGridSelectCell(1, 3);
        r.screen->RunOrderDeleteBtnClick();
        r.screen->RunOrderDeleteBtnClick();
        r.screen->RunOrderCopyBtnClick();
    }) << QStringList{"10", "11"} << 3 << false << QStringList{"M5"};
}

void TestRunOrderScreen::editing()
{
    QFETCH(QStringList, entries);
    QFETCH(Script, script);
    Rig rig(entries);
    QCOMPARE(rig.screen->RunOrderPosition(), entries.isEmpty() ? -1 : 1);
    script(rig);
    QTEST(rig.runOrder.RunOrderList, "expected");
    QTEST(rig.screen->RunOrderPosition(), "position");
    QTEST(rig.runOrder.RunOrderChanged, "changed");
    QTEST(rig.dialogs.questions, "questions");
    QVERIFY(!rig.screen->RowPressed() && !rig.screen->RowDragging());
}

void TestRunOrderScreen::takeSendsDisplayedStandsAndAnnouncesWithoutAdvancing()
{
    Rig rig({"0", "4"}, 3);
    rig.screen->RunGridSelectCell(1, 2);
    for (int take = 0; take < 2; ++take) {
        rig.screen->RunOrderTakeBtnClick();
        QCOMPARE(rig.controller.PendingCommand(), quint8(pcRunOrderTake));
        rig.port.Take();
        rig.controller.RunLinkCycle();
        QCOMPARE(rig.port.Take(), (QList<QByteArray>{"*1A040A47\r\n", "*2A046845\r\n", "*3A04C651\r\n"}));
    }
    QCOMPARE(rig.board.stand(2).target, 13);
    QCOMPARE(rig.board.stand(2).data, QString("13"));
    QCOMPARE(rig.board.stand(2).level, QString("13"));
    QCOMPARE(rig.board.stand(3).target, 0);
    QCOMPARE(rig.board.CurrentSpeaker(), QString("2 : Guest"));
    QCOMPARE(rig.announcer.sent, QStringList({"Speaker Guest", "Speaker Guest"}));
    QCOMPARE(rig.screen->RunOrderPosition(), 2);

    // The entry goes before the cycle comes: nothing is taken.
    rig.screen->RunOrderTakeBtnClick();
    rig.runOrder.RunOrderList.removeLast();
    rig.controller.RunLinkCycle();
    QVERIFY(rig.port.Take().isEmpty());
    QCOMPARE(rig.announcer.sent.size(), 2);
    // Beyond the list, Take asks for nothing.
    rig.screen->RunOrderTakeBtnClick();
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcNone));
}

void TestRunOrderScreen::entriesThatNameNoSpeakerAreShownAsEntryZeroAndNeverTaken()
{
    Rig rig({"4", "50", "-1", "abc", "", "99999999999"});
    for (int row = 2; row <= 6; ++row) {
        QCOMPARE(rig.screen->cellText(row, 1), QString("Chair"));
        rig.screen->RunGridSelectCell(1, row);
        rig.screen->RunOrderTakeBtnClick();
        QCOMPARE(rig.controller.PendingCommand(), quint8(pcRunOrderTake));
        rig.controller.RunLinkCycle();
    }
    QVERIFY(rig.port.Take().isEmpty());
    QVERIFY(rig.announcer.sent.isEmpty());
    QCOMPARE(rig.board.CurrentSpeaker(), QString());
    QCOMPARE(rig.screen->cellText(1, 1), QString("Guest"));
    QCOMPARE(rig.screen->cellText(7, 1), QString());
}

void TestRunOrderScreen::filesAndTheirFailures()
{
    QTemporaryDir dir;
    Rig rig({"4", "0"});
    rig.runOrder.RunOrderChanged = true;
    QSignalSpy captions(rig.screen.get(), &RunOrderWindowState::captionChanged);

    // A save that cannot write says so and changes nothing.
    rig.dialogs.fileName = dir.filePath("no folder/evening.run");
    rig.screen->RunOrderSaveBtnClick();
    QCOMPARE(rig.dialogs.failures, QStringList{"Unable to write to " + rig.dialogs.fileName});
    QVERIFY(rig.runOrder.RunOrderChanged);
    QCOMPARE(captions.count(), 0);
    QCOMPARE(rig.config.RunOrderFileName, QString("/data/RunOrder/first.run"));
    rig.dialogs.fileName = dir.filePath("evening.show.run");
    rig.screen->RunOrderSaveBtnClick();
    QCOMPARE(captions.takeFirst().value(0).toString(), QString("Run Order: evening.show"));
    QVERIFY(!rig.runOrder.RunOrderChanged);

    // Something that exists but is no readable file leaves list and name alone.
    rig.dialogs.fileName = dir.path();
    rig.screen->RunOrderRetrieveBtnClick();
    QCOMPARE(rig.dialogs.failures.value(1), "Unable to read " + dir.path());
    QCOMPARE(rig.runOrder.RunOrderList, QStringList({"4", "0"}));
    QCOMPARE(rig.config.RunOrderFileName, dir.filePath("evening.show.run"));

    // A new name starts an empty run order; a retrieve touches neither position nor flag.
    rig.runOrder.RunOrderChanged = true;
    rig.screen->RunGridSelectCell(0, 2);
    rig.dialogs.fileName = dir.filePath("late");
    rig.screen->RunOrderRetrieveBtnClick();
    QVERIFY(rig.runOrder.RunOrderList.isEmpty());
    QCOMPARE(captions.takeFirst().value(0).toString(), QString("Run Order: late"));
    QCOMPARE(rig.screen->RunOrderPosition(), 2);
    QVERIFY(rig.runOrder.RunOrderChanged);
}

QTEST_GUILESS_MAIN(TestRunOrderScreen)

#include "tst_runorderscreen.moc"
