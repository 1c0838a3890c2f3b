#include "DataFolder.h"
#include "PrompterProcess.h"
#include "StandsimRun.h"
#include "database/ConfData.h"
#include "runorder/ConfRun.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"
#include "shell/Startup.h"

#include <QMessageBox>
#include <QUdpSocket>
#include <QtTest>

#include <random>

// The whole program in this process, started as main() starts it, with the stand simulator on
// COM1, driven by the real oscsend and watched by the real oscdump.
namespace {

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress);
    return probe.localPort();
}

// One message by oscsend; the event loop runs meanwhile, for the program in this process.
bool oscsend(quint16 port, const QStringList& message)
{
    QProcess send;
    send.start(QStringLiteral("oscsend"), QStringList{"127.0.0.1", QString::number(port)} + message);
    return QTest::qWaitFor([&] { return send.state() == QProcess::NotRunning; }, 10000) && send.exitCode() == 0;
}

// oscdump on a port of its own; `received` looks for a message printed without its time tag.
struct OscDump {
    const quint16 port = freePort();
    QProcess process;
    QByteArray out;

    OscDump()
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { out += process.readAllStandardOutput(); });
        process.start(QStringLiteral("oscdump"), {"-L", QString::number(port)});
    }
    ~OscDump()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool listening()
    {
        return QTest::qWaitFor([this] { return !QUdpSocket().bind(QHostAddress::LocalHost, port, QUdpSocket::DontShareAddress); }, 5000);
    }
    bool received(const QByteArray& message, qsizetype times = 1)
    {
        return QTest::qWaitFor([&] { return out.count(' ' + message + '\n') >= times; }, 10000);
    }
};

QByteArray showControl(quint16 port)
{
    return "[Show Control]\nOSC Enabled=1\nOSC Listen Port=" + QByteArray::number(port) + "\n";
}

qsizetype polls(const StandsimRun& sim)
{
    return sim.frames().count("Q1234");
}

QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        warnings << text;
}

} // namespace

class TestShowControl : public QObject {
    Q_OBJECT

    QStringList failures;
    bool check(bool ok, const char* what)
    {
        if (!ok)
            failures << what;
        return ok;
    }

    // Runs the program; `drive` runs once its main window is up, inside its event loop.
    void runWith(const std::function<void(TConferenceForm&)>& drive)
    {
        failures.clear();
        QTimer driver;
        connect(&driver, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* form = qobject_cast<TConferenceForm*>(w); form && form->isVisible()) {
                    driver.stop();
                    drive(*form);
                    form->close();
                }
        });
        driver.start(10);
        QCOMPARE(runProgram(*qobject_cast<ElevraApplication*>(qApp), QStringLiteral(ELEVRA_BINARY_DIR)), 0);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(", ")));
    }

private slots:
    void surfaceTakesSpeakersStepsTheRunOrderAndFollowsTheStandsAndBadInputIsCounted();
    void portInUseLeavesTheStandsRunningAndIsSaidOnce();
};

void TestShowControl::surfaceTakesSpeakersStepsTheRunOrderAndFollowsTheStandsAndBadInputIsCounted()
{
    DataFolder folder;
    QTemporaryDir scratch;
    OscDump dump;
    QVERIFY(dump.listening());
    const quint16 port = freePort();
    // Feedback to the sender's host at oscdump's port; the run order is Panel Host, Chair, Keynote Speaker.
    writeBytes(folder.path("elevra.ini"), "[Main]\nTelvio Link Enabled=1\nStands Displayed=2\n" + showControl(port)
                                              + "OSC Feedback Port=" + QByteArray::number(dump.port)
                                              + "\n[Run Order]\nR0=2\nR1=0\nR2=1\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "60", "--heights", "10,20"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);
    PrompterServe partner;
    QVERIFY(partner.serving());

    runWith([&](TConferenceForm& form) {
        const auto at = [&form](int a, int b) {
            return QTest::qWaitFor([&] { return form.board().Stand(0).actual == a && form.board().Stand(1).actual == b; }, 15000);
        };
        const auto send = [&](const QStringList& message) { return oscsend(port, message); };
        if (!check(QTest::qWaitFor([&] { return partner.conversations() == 1; }, 10000) && at(10, 20), "link and stands up"))
            return;

        // A speaker by name, as the prompter's poke finds it, and by database row: not announced.
        check(send({"/elevra/speaker/take", "s", "chair"}) && at(42, 38), "Chair's heights");
        check(sim.frames().contains(" IN *1A0F6C"), "42 x 94 sent to stand 1");
        check(dump.received(R"(/elevra/current is 0 "Chair")"), "current speaker Chair");
        check(send({"/elevra/speaker/take", "i", "2"}) && at(55, 50), "row 2's heights");
        check(dump.received(R"(/elevra/current is 0 "Keynote Speaker")"), "current speaker of row 2");

        // The run order: a row, a step back at its start, two steps on, one past its end.
        check(send({"/elevra/runorder/take", "i", "1"}) && at(30, 32), "run order row 1");
        check(send({"/elevra/runorder/previous"}) && send({"/elevra/runorder/next"}) && at(42, 38), "next after the start");
        check(send({"/elevra/runorder/next"}) && at(55, 50), "next to the last row");
        check(send({"/elevra/runorder/next"}) && send({"/elevra/query"})
                  && dump.received(R"(/elevra/current is 3 "Keynote Speaker")", 2), "query answered");
        check(dump.received(R"(/elevra/current is 1 "Panel Host")") && dump.received(R"(/elevra/current is 2 "Chair")"),
              "current rows");
        const qsizetype pollsSoFar = polls(sim);
        check(QTest::qWaitFor([&] { return polls(sim) >= pollsSoFar + 4; }, 5000), "polls go on");
        check(form.runOrderWindow().screen().RunOrderPosition() == 3, "stopped at the last row");
        check(sim.frames().count(" IN *1A") == 5, "five takes, none at either end");
        check(partner.announced(3)
                  && partner.announcements() == QStringList{"Speaker Panel Host", "Speaker Chair", "Speaker Keynote Speaker"},
              "only the run order's takes announced, each once");

        check(dump.received("/elevra/stand/1/online i 1") && dump.received("/elevra/stand/1/target i 55")
                  && dump.received("/elevra/stand/1/actual i 55") && dump.received("/elevra/stand/2/actual i 50"),
              "stand feedback");

        // The main window's buttons.
        const auto framesOf = [&](const char* a, const char* b) {
            return QTest::qWaitFor([&] { return sim.frames().contains(a) && sim.frames().contains(b); }, 5000);
        };
        check(send({"/elevra/stands/home"}) && framesOf(" IN *1L0000", " IN *2L0000"), "home frames");
        check(dump.received(R"(/elevra/current is 0 "")"), "no current speaker after home");
        check(send({"/elevra/stands/abort"}) && framesOf(" IN *1X0000", " IN *2X0000"), "abort frames");

        // Random datagrams, in batches that the socket's buffer holds, each counted once; then
        // well formed but wrong: a float, a row out of range, an unknown address, a run order
        // row beyond the list, a name nobody has.
        const ShowControl& control = form.showControl();
        QUdpSocket noise;
        std::mt19937 random(5);
        int sent = 0;
        for (int batch = 0; batch < 15; ++batch) {
            for (int i = 0; i < 20; ++i, ++sent) {
                QByteArray bytes(std::uniform_int_distribution<int>(0, 300)(random), '\0');
                for (char& c : bytes)
                    c = char(random());
                noise.writeDatagram(bytes, QHostAddress::LocalHost, port);
            }
            if (!check(QTest::qWaitFor([&] { return control.IgnoredCount() == sent; }, 5000), "random datagrams counted"))
                return;
        }
        check(send({"/elevra/speaker/take", "f", "1.0"}) && send({"/elevra/speaker/take", "i", "51"})
                  && send({"/elevra/stands/raise"}) && send({"/elevra/runorder/take", "i", "4"})
                  && send({"/elevra/speaker/take", "s", "Nobody Here"})
                  && QTest::qWaitFor([&] { return control.IgnoredCount() == sent + 5; }, 5000),
              "wrong messages counted");
        const qsizetype pollsNow = polls(sim);
        check(QTest::qWaitFor([&] { return polls(sim) >= pollsNow + 4; }, 5000), "polling goes on");
        check(send({"/elevra/speaker/take", "i", "3"}) && at(30, 32), "a good take still moves the stands");
        for (QWidget* w : QApplication::topLevelWidgets())
            check(!qobject_cast<QMessageBox*>(w) || !w->isVisible(), "no message box");
    });
}

void TestShowControl::portInUseLeavesTheStandsRunningAndIsSaidOnce()
{
    DataFolder folder;
    QTemporaryDir scratch;
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n" + showControl(holder.localPort()));
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "1", "--heights", "10"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);

    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    const QString said = QStringLiteral("Show control is off: 127.0.0.1 port %1: Address already in use").arg(holder.localPort());
    runWith([&](TConferenceForm& form) {
        check(!form.showControl().Listening(), "not listening");
        check(QTest::qWaitFor([&] { return form.board().Stand(0).online; }, 10000), "the stand is polled");
        QList<QMessageBox*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                boxes << box;
        check(boxes.size() == 1 && boxes.first()->text() == said && !boxes.first()->isModal(), "one box that waits for nobody");
    });
    qInstallMessageHandler(previous);
    QCOMPARE(warnings.filter("Show control is off"), QStringList{said});
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestShowControl test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_showcontrol.moc"
