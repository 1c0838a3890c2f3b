#include "ConfData.h"
#include "ConfMain.h"
#include "ConfRun.h"
#include "DataFolder.h"
#include "ElevraApplication.h"
#include "PrompterProcess.h"
#include "StandsimRun.h"
#include "Startup.h"

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

bool finished(QProcess& process)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)
           && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// One message, sent by oscsend; the event loop runs meanwhile, for the program in this process.
bool oscsend(quint16 port, const QStringList& message)
{
    QProcess send;
    send.start(QStringLiteral("oscsend"), QStringList{"127.0.0.1", QString::number(port)} + message);
    return finished(send);
}

// oscdump on a port of its own: what it printed, each message without its time tag.
class OscDump {
public:
    OscDump() : port(freePort())
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { out += process.readAllStandardOutput(); });
        process.start(QStringLiteral("oscdump"), {"-L", QString::number(port)});
    }
    ~OscDump()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
    // Once it holds its port.
    bool listening()
    {
        return QTest::qWaitFor([this] {
            QUdpSocket probe;
            return !probe.bind(QHostAddress::LocalHost, port, QUdpSocket::DontShareAddress);
        }, 5000);
    }
    QStringList messages() const
    {
        QStringList found;
        for (const QByteArray& line : out.split('\n'))
            if (const qsizetype blank = line.indexOf(' '); blank > 0)
                found << QString::fromUtf8(line.mid(blank + 1));
        return found;
    }
    bool received(const QString& message, qsizetype times = 1)
    {
        return QTest::qWaitFor([&] { return messages().count(message) >= times; }, 10000);
    }

    const quint16 port;
    QProcess process;
    QByteArray out;
};

QByteArray showControlSection(quint16 port, const QByteArray& more = {})
{
    return "[Show Control]\nOSC Enabled=1\nOSC Listen Port=" + QByteArray::number(port) + "\n" + more;
}

qsizetype polls(const StandsimRun& sim)
{
    return sim.frames().count("Q1234");
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
    }

private slots:
    void surfaceTakesSpeakersStepsTheRunOrderAndFollowsTheStands();
    void badInputIsCountedAndThePollingGoesOn();
    void portInUseLeavesTheStandsRunningAndIsSaidOnce();
};

void TestShowControl::surfaceTakesSpeakersStepsTheRunOrderAndFollowsTheStands()
{
    DataFolder folder;
    QTemporaryDir scratch;
    OscDump dump;
    QVERIFY(dump.listening());
    const quint16 port = freePort();
    // Feedback to the sender's host at oscdump's port; the run order is Panel Host, Chair, Keynote Speaker.
    writeBytes(folder.path("elevra.ini"), "[Main]\nTelvio Link Enabled=1\nStands Displayed=2\n"
                                              + showControlSection(port, "OSC Feedback Port=" + QByteArray::number(dump.port) + "\n")
                                              + "[Run Order]\nR0=2\nR1=0\nR2=1\n");
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
        const RunOrderScreen& runOrder = form.runOrderWindow().screen();
        if (!check(QTest::qWaitFor([&] { return partner.conversations() == 1; }, 10000) && at(10, 20), "link and stands up"))
            return;

        // A speaker by name, as the prompter's poke finds it, and by database row: not announced.
        check(send({"/elevra/speaker/take", "s", "chair"}) && at(42, 38), "Chair's heights");
        check(sim.frames().contains(" IN *1A0F6C"), "42 x 94 sent to stand 1");
        check(dump.received(R"(/elevra/current is 0 "Chair")"), "current speaker Chair");
        check(send({"/elevra/speaker/take", "i", "2"}) && at(55, 50), "row 2's heights");
        check(dump.received(R"(/elevra/current is 0 "Keynote Speaker")"), "current speaker of row 2");
        check(form.databaseWindow().screen().SelectedDatabaseRow() == 2, "database row 2 selected");

        // The run order: a row, then a step back at its start, which stops there.
        check(send({"/elevra/runorder/take", "i", "1"}) && at(30, 32), "run order row 1");
        check(dump.received(R"(/elevra/current is 1 "Panel Host")"), "current row 1");
        check(send({"/elevra/runorder/previous"}) && send({"/elevra/runorder/next"}) && at(42, 38), "next after the start");
        check(dump.received(R"(/elevra/current is 2 "Chair")"), "current row 2");
        check(send({"/elevra/runorder/next"}) && at(55, 50), "next to the last row");
        check(dump.received(R"(/elevra/current is 3 "Keynote Speaker")"), "current row 3");
        // A step past the end takes nothing: after the query's answer and a few polls, still row 3.
        check(send({"/elevra/runorder/next"}) && send({"/elevra/query"})
                  && dump.received(R"(/elevra/current is 3 "Keynote Speaker")", 2), "query answered");
        const qsizetype pollsSoFar = polls(sim);
        check(QTest::qWaitFor([&] { return polls(sim) >= pollsSoFar + 4; }, 5000), "polls go on");
        check(runOrder.RunOrderPosition() == 3, "stopped at the last row");
        check(sim.frames().count(" IN *1A") == 5, "five takes, none at either end");
        check(partner.announced(3)
                  && partner.announcements() == QStringList{"Speaker Panel Host", "Speaker Chair", "Speaker Keynote Speaker"},
              "only the run order's takes announced, each once");

        // The surface followed the stands.
        check(dump.received("/elevra/stand/1/online i 1") && dump.received("/elevra/stand/1/target i 55")
                  && dump.received("/elevra/stand/1/actual i 55") && dump.received("/elevra/stand/2/actual i 50"),
              "stand feedback");

        // The main window's buttons.
        check(send({"/elevra/stands/home"})
                  && QTest::qWaitFor([&] { return sim.frames().contains(" IN *1L0000") && sim.frames().contains(" IN *2L0000"); }, 5000),
              "home frames");
        check(dump.received(R"(/elevra/current is 0 "")"), "no current speaker after home");
        check(send({"/elevra/stands/abort"})
                  && QTest::qWaitFor([&] { return sim.frames().contains(" IN *1X0000") && sim.frames().contains(" IN *2X0000"); }, 5000),
              "abort frames");
        check(form.showControl().IgnoredCount() == 0, "nothing ignored");
    });
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(", ")));
}

void TestShowControl::badInputIsCountedAndThePollingGoesOn()
{
    DataFolder folder;
    QTemporaryDir scratch;
    const quint16 port = freePort();
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n" + showControlSection(port));
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "1", "--speed", "60", "--heights", "10"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);

    runWith([&](TConferenceForm& form) {
        const ShowControl& control = form.showControl();
        if (!check(QTest::qWaitFor([&] { return form.board().Stand(0).online; }, 10000), "stand up"))
            return;
        // Random datagrams, in batches the socket's buffer holds; each is counted once.
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
        // Well-formed, but wrong: a float, a row out of range, an unknown address, a run order
        // row of an empty run order, a name nobody has.
        check(oscsend(port, {"/elevra/speaker/take", "f", "1.0"}) && oscsend(port, {"/elevra/speaker/take", "i", "51"})
                  && oscsend(port, {"/elevra/stands/raise"}) && oscsend(port, {"/elevra/runorder/take", "i", "1"})
                  && oscsend(port, {"/elevra/speaker/take", "s", "Nobody Here"}),
              "oscsend");
        check(QTest::qWaitFor([&] { return control.IgnoredCount() == sent + 5; }, 5000), "wrong messages counted");

        const qsizetype pollsSoFar = polls(sim);
        check(QTest::qWaitFor([&] { return polls(sim) >= pollsSoFar + 4; }, 5000), "polling goes on");
        check(oscsend(port, {"/elevra/speaker/take", "i", "1"})
                  && QTest::qWaitFor([&] { return form.board().Stand(0).actual == 42; }, 10000),
              "a good take still moves the stand");
        for (QWidget* w : QApplication::topLevelWidgets())
            check(!qobject_cast<QMessageBox*>(w) || !w->isVisible(), "no message box");
    });
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(", ")));
}

namespace {
QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        warnings << text;
}
} // namespace

void TestShowControl::portInUseLeavesTheStandsRunningAndIsSaidOnce()
{
    DataFolder folder;
    QTemporaryDir scratch;
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
    const quint16 port = holder.localPort();
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n" + showControlSection(port));
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "1", "--heights", "10"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);

    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    const QString said = QStringLiteral("Show control is off: 127.0.0.1 port %1: Address already in use").arg(port);
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
    QCOMPARE(warnings.filter("Show control is off").size(), 1);
    QCOMPARE(warnings.filter("Show control is off").first(), said);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(", ")));
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestShowControl test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_showcontrol.moc"
