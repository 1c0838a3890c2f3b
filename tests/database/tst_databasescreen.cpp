#include "DatabaseDialogs.h"
#include "DatabaseScreen.h"
#include "PrompterAnnouncer.h"
#include "StandController.h"
#include "TakeHandler.h"
#include "stand/RecordingPort.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct ScriptedDialogs : DatabaseDialogs {
    QStringList failures;
    QString fileName;
    bool Confirm(const QString&) override { return true; }
    QString OpenDatabaseDialog(const QString&) override { return fileName; }
    QString SaveDatabaseDialog(const QString&, const QString&) override { return fileName; }
    void ShowFailure(const QString& text) override { failures << text; }
};

struct RecordingAnnouncer : PrompterAnnouncer {
    QStringList sent;
    void DdeSend(const QString& text) override { sent << text; }
};

// The database window's state with a stand controller on a recording port, taking through
// the link cycle as the main window does.
struct Rig : TakeHandler {
    PresetTable presets;
    Configuration config;
    RecordingPort port;
    StandBoard board;
    StandController controller{board, port};
    ScriptedDialogs dialogs;
    RecordingAnnouncer announcer;
    DatabaseScreen screen{DatabaseScreenLinks{presets, config, "/nowhere", controller,
                                              [](int n) { return n == 17 ? QString("Speaker") : QString("M%1").arg(n); },
                                              announcer},
                          dialogs};

    explicit Rig(int standsDisplayed)
    {
        board.SetStandsDisplayed(standsDisplayed);
        controller.SetTakeHandler(this);
        controller.StartComms(false);
        presets[4].preset = {11, 12, 13, 14, 15, 16, 17, 18};
        presets[4].preset_id = "Guest";
        presets[1].preset_id = "Chair";
        config.DatabaseFileName = "/data/DBase0.db";
    }
    void ExecuteDatabaseTake(bool local) override { screen.ExecuteDatabaseTake(local); }
    void ExecuteRunOrderTake() override {}
};

} // namespace

class TestDatabaseScreen : public QObject {
    Q_OBJECT

private slots:
    void takesServeDisplayedStandsAndAnnounceOnlyLocalOnes();
    void fileFailuresKeepTableAndName();
};

void TestDatabaseScreen::takesServeDisplayedStandsAndAnnounceOnlyLocalOnes()
{
    Rig rig(3);
    rig.screen.DatabaseGridSelectCell(5);
    rig.screen.TakeBtnClick();
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcDatabaseTakeLocal));
    rig.port.Take();
    rig.controller.RunLinkCycle();
    QCOMPARE(rig.port.Take(), (QList<QByteArray>{"*1A040A47\r\n", "*2A046845\r\n", "*3A04C651\r\n"}));
    QCOMPARE(rig.board.Stand(2).target, 13);
    QCOMPARE(rig.board.CurrentSpeaker(), QString("Guest"));
    QCOMPARE(rig.announcer.sent, QStringList{"Speaker Guest"});

    // The prompting application's choice: selected, shown, taken, not announced back.
    QSignalSpy scrolled(&rig.screen, &DatabaseScreen::scrollRowToTop);
    rig.screen.SetDatabaseSelection(1);
    QCOMPARE(rig.screen.SelectedDatabaseRow(), 2);
    QCOMPARE(rig.screen.IdentifierText(), QString("Chair"));
    QCOMPARE(scrolled.value(0).value(0).toInt(), 2);
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcDatabaseTakeRemote));
    rig.controller.RunLinkCycle();
    QCOMPARE(rig.port.Take().size(), 3);
    QCOMPARE(rig.board.CurrentSpeaker(), QString("Chair"));
    QCOMPARE(rig.announcer.sent.size(), 1);
}

void TestDatabaseScreen::fileFailuresKeepTableAndName()
{
    QTemporaryDir dir;
    Rig rig(8);
    QSignalSpy captions(&rig.screen, &DatabaseScreen::captionChanged);

    rig.dialogs.fileName = dir.path() + "/missing folder/speakers.db";
    rig.screen.SaveBtnClick();
    QCOMPARE(rig.dialogs.failures, QStringList{"Unable to write to " + rig.dialogs.fileName});
    QCOMPARE(rig.config.DatabaseFileName, QString("/data/DBase0.db"));

    rig.dialogs.fileName = dir.path();  // exists, but is no file to read
    rig.screen.RetrieveBtnClick();
    QCOMPARE(rig.dialogs.failures.value(1), "Unable to read " + dir.path());
    QCOMPARE(rig.config.DatabaseFileName, QString("/data/DBase0.db"));
    QCOMPARE(rig.presets[4].preset_id, QString("Guest"));
    QCOMPARE(captions.count(), 0);
    QCOMPARE(rig.screen.ShowDatabaseCaption(), QString("Database: DBase0"));
}

QTEST_GUILESS_MAIN(TestDatabaseScreen)

#include "tst_databasescreen.moc"
