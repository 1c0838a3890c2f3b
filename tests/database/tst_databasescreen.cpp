#include "ControllerRig.h"
#include "ScriptedQuestions.h"
#include "database/DatabaseWindowState.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// The database window's state over the controller rig.
struct Rig : ControllerRig {
    ScriptedQuestions dialogs;
    DatabaseWindowState screen{DatabaseWindowStateLinks{presets, config, "/nowhere", controller, Message, announcer}, dialogs};

    explicit Rig(int standsDisplayed) : ControllerRig(standsDisplayed)
    {
        presets[1].preset_id = "Chair";
        config.DatabaseFileName = "/data/DBase0.db";
    }
    void ExecuteDatabaseTake(bool local) override { screen.ExecuteDatabaseTake(local); }
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
    QCOMPARE(rig.board.stand(2).target, 13);
    QCOMPARE(rig.board.CurrentSpeaker(), QString("Guest"));
    QCOMPARE(rig.announcer.sent, QStringList{"Speaker Guest"});

    // The prompting application's choice: selected, shown, taken, not announced back.
    QSignalSpy scrolled(&rig.screen, &DatabaseWindowState::scrollRowToTop);
    rig.screen.SetDatabaseSelection(1);
    QCOMPARE(rig.screen.SelectedDatabaseRow(), 2);
    QCOMPARE(rig.screen.identifierText(), QString("Chair"));
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
    QSignalSpy captions(&rig.screen, &DatabaseWindowState::captionChanged);

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
