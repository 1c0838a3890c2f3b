#include "ControllerRig.h"
#include "ScriptedQuestions.h"
#include "TestFiles.h"
#include "database/DatabaseWindowState.h"
#include "runorder/RunOrderWindowState.h"
#include "view/ShowViewState.h"
#include "view/TokenFile.h"
#include "view/TokenGate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// The rules of the show view without a network: the token's gate and file, and what the page
// is told and may ask. The page, the server and the browser are tested end to end by
// tst_showview_browser.
namespace {


// Four stands, the run order Guest, Chair (entry 0), an entry that names nobody, and the screens
// taking through the link cycle as the main window has them do.
struct ViewRig : ControllerRig {
    ScriptedQuestions dialogs;
    RunOrder runOrder{{"4", "0", "x"}, 1, false};
    RunOrderWindowState runScreen{{runOrder, presets, config, {}, controller, Message, announcer}, dialogs};
    DatabaseWindowState dataScreen{{presets, config, {}, controller, Message, announcer}, dialogs};
    ShowViewState state{{controller, dataScreen, runScreen, runOrder, presets, [this](const QString& name) {
                             for (int i = 0; i < PresetCount; ++i)
                                 if (presets[size_t(i)].preset_id == name)
                                     return i;
                             return -1;
                         }}};

    ViewRig() : ControllerRig(4)
    {
        presets[0].preset = {42, 38, 40, 45, 0, 0, 0, 0};
        presets[0].preset_id = "Chair";
    }
    void ExecuteRunOrderTake() override { runScreen.ExecuteRunOrderTake(); }
    void ExecuteDatabaseTake(bool local) override { dataScreen.ExecuteDatabaseTake(local); }

    QJsonObject stands() const { return QJsonDocument::fromJson(state.standsJson()).object(); }
    QJsonObject show() const { return QJsonDocument::fromJson(state.showJson()).object(); }
    QString ask(const QJsonObject& command)
    {
        const ShowViewState::Result result = state.carryOut(command);
        return result.ok ? QStringLiteral("ok") : result.reason;
    }
    QList<int> ghosts() const
    {
        QList<int> heights;
        for (const QJsonValue& s : stands().value("stands").toArray())
            heights << (s.toObject().value("g").isNull() ? -1 : s.toObject().value("g").toInt());
        return heights;
    }
    void reply(int stand, int height)
    {
        // The checksum characters are not checked by the program.
        const QByteArray frame = ":" + QByteArray::number(stand) + "A"
                                 + QByteArray::number(height * controller.ScaleFactor(), 16).toUpper().rightJustified(4, '0') + "00\r\n";
        controller.Comms1ReceiveData(frame.constData(), int(frame.size()));
    }
};

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

} // namespace

class TestShowView : public QObject {
    Q_OBJECT
private slots:
    void wrongTokensAreCountedAndDelayedPerAddress();
    void tokenFileIsTheUsersAloneAndNeverFollowsALink();
    void nextSpeakerOnStageAndTheLine();
    void commandsOnlyAskAndSayWhyNot();
};

void TestShowView::wrongTokensAreCountedAndDelayedPerAddress()
{
    TokenGate gate("0123456789abcdef0123456789abcdef");
    using V = TokenGate::Verdict;
    for (int i = 0; i < TokenGate::FreeTries; ++i)
        QCOMPARE(gate.check("10.0.0.9", "wrong", 100 * i), V::Wrong);
    // From now on the right token too waits out the delay after the last wrong try.
    const qint64 last = 100 * (TokenGate::FreeTries - 1);
    QCOMPARE(gate.check("10.0.0.9", "0123456789abcdef0123456789abcdef", last + 1), V::Wait);
    QCOMPARE(gate.waitLeft("10.0.0.9", last + 1), TokenGate::Delay - 1);
    QCOMPARE(gate.check("10.0.0.7", "0123456789abcdef0123456789abcdef", last + 1), V::Accepted);
    QCOMPARE(gate.check("10.0.0.9", "wrong", last + TokenGate::Delay), V::Wrong);
    QCOMPARE(gate.check("10.0.0.9", "0123456789abcdef0123456789abcdef", last + TokenGate::Delay + 1), V::Wait);
    QCOMPARE(gate.check("10.0.0.9", "0123456789abcdef0123456789abcdef", last + 2 * TokenGate::Delay), V::Accepted);
    // Accepted clears the count: five more wrong tries are heard at once.
    for (int i = 0; i < TokenGate::FreeTries; ++i)
        QCOMPARE(gate.check("10.0.0.9", "0123456789abcdef0123456789abcdeF", last + 2 * TokenGate::Delay), V::Wrong);
    QCOMPARE(gate.refusals(), 2 * TokenGate::FreeTries + 3);
    QCOMPARE(TokenGate("").check("10.0.0.1", "", 0), V::Wrong);
}

void TestShowView::tokenFileIsTheUsersAloneAndNeverFollowsALink()
{
    QTemporaryDir root;
    const QString folder = root.filePath("config/elevra");
    const QString file = folder + "/show-view-token";

    const TokenFileResult first = loadOrMakeToken(QFile::encodeName(folder).toStdString());
    QVERIFY2(first.made, first.reason.c_str());
    QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(QString::fromStdString(first.token)).hasMatch());
    QCOMPARE(modeOf(folder) & 0777, mode_t(0700));
    QCOMPARE(modeOf(file) & 0777, mode_t(0600));
    const TokenFileResult again = loadOrMakeToken(QFile::encodeName(folder).toStdString());
    QVERIFY(!again.made);
    QCOMPARE(again.token, first.token);

    // Readable by others: it may have been seen, so it is made anew.
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0644) == 0);
    const TokenFileResult opened = loadOrMakeToken(QFile::encodeName(folder).toStdString());
    QVERIFY(opened.made && opened.token != first.token);
    QCOMPARE(modeOf(file) & 0777, mode_t(0600));

    // A link in its place is replaced, and what it pointed at stays as it was.
    const QString elsewhere = root.filePath("elsewhere");
    writeBytes(elsewhere, "0123456789abcdef0123456789abcdef\n");
    QVERIFY(QFile::remove(file) && QFile::link(elsewhere, file));
    const TokenFileResult linked = loadOrMakeToken(QFile::encodeName(folder).toStdString());
    QVERIFY(linked.made && linked.token != "0123456789abcdef0123456789abcdef");
    QVERIFY(S_ISREG(modeOf(file)));
    QCOMPARE(readBytes(elsewhere), QByteArray("0123456789abcdef0123456789abcdef\n"));

    // A folder that others may write could have its token swapped: nothing is kept there.
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0770) == 0);
    const TokenFileResult shared = loadOrMakeToken(QFile::encodeName(folder).toStdString());
    QVERIFY(shared.token.empty());
    QVERIFY(!shared.reason.empty());
}

void TestShowView::nextSpeakerOnStageAndTheLine()
{
    ViewRig rig;
    // Nothing has answered yet.
    QCOMPARE(rig.stands().value("line").toString(), QString("silent"));
    rig.reply(1, 10);
    QCOMPARE(rig.stands().value("line").toString(), QString("answering"));
    QCOMPARE(rig.state.lineWrongFor(), 0);
    const QJsonObject first = rig.stands().value("stands").toArray().at(0).toObject();
    QCOMPARE(first.value("a").toInt(), 10);
    QVERIFY(first.value("on").toBool());
    QVERIFY(!rig.stands().value("stands").toArray().at(1).toObject().value("on").toBool());

    // Before any take the current row is the one to come: Guest's heights are the ghosts.
    QCOMPARE(rig.state.onStageRow(), 0);
    QCOMPARE(rig.state.nextRow(), 1);
    QCOMPARE(rig.ghosts(), (QList<int>{11, 12, 13, 14}));
    QCOMPARE(rig.ask({{"command", "go"}}), QString("ok"));
    rig.controller.RunLinkCycle();
    QCOMPARE(rig.board.CurrentSpeaker(), QString("1 : Guest"));
    QCOMPARE(rig.state.onStageRow(), 1);
    QCOMPARE(rig.state.nextRow(), 2);
    QCOMPARE(rig.ghosts(), (QList<int>{42, 38, 40, 45}));
    QCOMPARE(rig.show().value("rows").toArray(),
             QJsonArray({QJsonArray{"Guest", false}, QJsonArray{"Chair", false}, QJsonArray{"x", true}}));

    // The main window's Take empties the panel: nobody of the run order is on stage.
    rig.controller.TakeBtnClick();
    rig.controller.RunLinkCycle();
    QCOMPARE(rig.state.onStageRow(), 0);
    QCOMPARE(rig.state.nextRow(), 1);

    // The entry that names nobody has no heights to draw.
    rig.runScreen.RunGridSelectCell(1, 3);
    QCOMPARE(rig.ghosts(), (QList<int>{-1, -1, -1, -1}));

    // A cleared speaker shows as the warning it is.
    rig.presets[4] = TPreset{};
    QCOMPARE(rig.show().value("rows").toArray().at(0), QJsonValue(QJsonArray{"No Name", true}));

    rig.controller.comms1Hangup();
    QCOMPARE(rig.stands().value("line").toString(), QString("retrying"));
    QVERIFY(QTest::qWaitFor([&] { return rig.state.lineWrongFor() > 0; }, 1000));
}

void TestShowView::commandsOnlyAskAndSayWhyNot()
{
    ViewRig rig;
    rig.port.Take();
    // Previous at the first row and Next at the last take nothing again.
    QCOMPARE(rig.ask({{"command", "previous"}}), QString("at the start of the run order"));
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcNone));
    QCOMPARE(rig.ask({{"command", "next"}}), QString("ok"));
    QCOMPARE(rig.runScreen.RunOrderPosition(), 2);
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcRunOrderTake));
    // Only asked: nothing reaches the wire before the cycle.
    QVERIFY(rig.port.Take().isEmpty());
    rig.controller.RunLinkCycle();
    QCOMPARE(rig.announcer.sent, QStringList{"Speaker Chair"});
    QCOMPARE(rig.ask({{"command", "next"}}), QString("ok"));
    QCOMPARE(rig.ask({{"command", "next"}}), QString("at the end of the run order"));

    QCOMPARE(rig.ask({{"command", "take"}, {"name", "Nobody"}}), QString("nobody of that name"));
    QCOMPARE(rig.ask({{"command", "take"}, {"name", "Guest"}}), QString("ok"));
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcDatabaseTakeRemote));
    QCOMPARE(rig.ask({{"command", "home"}}), QString("ok"));
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcHome));
    QCOMPARE(rig.ask({{"command", "raise"}}), QString("unknown command"));

    rig.controller.stopComms();
    QCOMPARE(rig.ask({{"command", "abort"}}), QString("the serial line is closed"));
    QCOMPARE(rig.controller.PendingCommand(), quint8(pcHome));
    rig.runOrder.RunOrderList.clear();
    QCOMPARE(rig.ask({{"command", "go"}}), QString("no run order row to take"));
    QCOMPARE(rig.ask({{"command", "next"}}), QString("the run order is empty"));
}

QTEST_GUILESS_MAIN(TestShowView)
#include "tst_showview.moc"
