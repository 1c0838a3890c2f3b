#include "DataFolder.h"
#include "PrompterProcess.h"
#include "StandsimRun.h"
#include "database/ConfData.h"
#include "link/PrompterServer.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"
#include "shell/Startup.h"

#include <QToolButton>
#include <QtTest>

// The whole program in this process, started as main() starts it, with the stand simulator on
// COM1 and the real prompter tool on both ends of the link.
class TestPromptedTakes : public QObject {
    Q_OBJECT

private slots:
    void pokeMovesTheStandsSilentlyAndDatabaseTakeIsAnnounced();
};

void TestPromptedTakes::pokeMovesTheStandsSilentlyAndDatabaseTakeIsAnnounced()
{
    DataFolder folder;
    QTemporaryDir scratch;
    writeBytes(folder.path("elevra.ini"), "[Main]\nTelvio Link Enabled=1\nStands Displayed=2\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "60", "--heights", "10,20"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);
    PrompterServe partner;
    QVERIFY(partner.serving());

    QStringList failures;
    const auto check = [&failures](bool ok, const char* what) {
        if (!ok)
            failures << what;
        return ok;
    };
    // Runs once the main window is up, inside the program's own event loop.
    QTimer driver;
    connect(&driver, &QTimer::timeout, [&] {
        TConferenceForm* form = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TConferenceForm*>(w); f && f->isVisible())
                form = f;
        if (!form)
            return;
        driver.stop();
        const auto at = [form](int a, int b) {
            return form->board().stand(0).actual == a && form->board().stand(1).actual == b;
        };
        if (check(QTest::qWaitFor([&] { return partner.conversations() == 1 && at(10, 20); }, 10000), "link and stands up")
            // Lower case finds "Chair"; the stands go to its heights and nothing is announced.
            && check(prompterTake("chair", {"--service", ServiceNameOf(QCoreApplication::applicationFilePath())}) == 0, "poke acknowledged")
            && check(QTest::qWaitFor([&] { return at(42, 38); }, 15000), "stands at Chair's heights")
            && check(sim.frames().contains("*1A0F6C"), "frame of 42 x 94")
            && check(form->databaseWindow().screen().SelectedDatabaseRow() == 1, "row 1 selected")
            && check(partner.announcements().isEmpty(), "the poke's take is not announced")) {
            // The operator takes row 2 in the database window: that take is announced.
            form->databaseWindow().screen().DatabaseGridSelectCell(2);
            form->databaseWindow().findChild<QToolButton*>("TakeBtn")->click();
            check(partner.announced(1), "database take announced");
            check(partner.announcements() == QStringList{"Speaker Keynote Speaker"}, "message 17, a blank, the name");
        }
        form->close();
    });
    driver.start(10);
    QCOMPARE(runProgram(*qobject_cast<ElevraApplication*>(qApp), folder.exeFolder()), 0);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(", ")));
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestPromptedTakes test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_promptedtakes.moc"
