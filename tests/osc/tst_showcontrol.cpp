#include "DataFolder.h"
#include "PrompterProcess.h"
#include "StandsimRun.h"
#include "database/ConfData.h"
#include "osc/OscPacket.h"
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

// A control surface of the test's own on a given source address, which oscsend cannot choose.
struct Surface {
    QUdpSocket socket;
    QList<QByteArray> datagrams;

    bool bind(const QHostAddress& address, quint16 port = 0)
    {
        return socket.bind(address, port, QUdpSocket::DontShareAddress);
    }
    void send(const QByteArray& bytes, quint16 port) { socket.writeDatagram(bytes, QHostAddress::LocalHost, port); }
    // The datagrams that arrived, read without waiting: loopback delivers as it sends.
    void take()
    {
        while (socket.hasPendingDatagrams()) {
            QByteArray bytes(qsizetype(socket.pendingDatagramSize()), '\0');
            socket.readDatagram(bytes.data(), bytes.size());
            datagrams << bytes;
        }
    }
    // How many of the datagrams so far hold a message to `address`.
    qsizetype count(const QByteArray& address)
    {
        take();
        qsizetype n = 0;
        for (const QByteArray& bytes : datagrams)
            if (const auto messages = parseOscPacket(bytes))
                for (const OscMessage& m : *messages)
                    n += m.address == address;
        return n;
    }
    bool received(const QByteArray& address, qsizetype times)
    {
        return QTest::qWaitFor([&] { return count(address) >= times; }, 10000);
    }
};

QByteArray encoded(const char* address, const std::vector<std::variant<qint32, QString>>& arguments = {})
{
    const std::vector<std::uint8_t> bytes = encodeOscMessage(address, arguments);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
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
    void onlyAllowedSendersMoveTheStandsAndQueriesAreAnsweredOnceWithinBounds();
    void aSettingThatCannotBeMetLeavesTheStandsRunningAndIsSaidOnce_data();
    void aSettingThatCannotBeMetLeavesTheStandsRunningAndIsSaidOnce();
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
            return QTest::qWaitFor([&] { return form.board().stand(0).actual == a && form.board().stand(1).actual == b; }, 15000);
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
        // The allowed senders are this computer's 127.0.0.1 and ::1 unless set otherwise.
        const ShowControl& control = form.showControl();
        Surface stranger;
        check(stranger.bind(QHostAddress("127.0.0.2")), "127.0.0.2 bound");
        stranger.send(encoded("/elevra/stands/home"), port);
        QUdpSocket noise;
        std::mt19937 random(5);
        int sent = 1;
        for (int batch = 0; batch < 15; ++batch) {
            for (int i = 0; i < 20; ++i, ++sent) {
                QByteArray bytes(std::uniform_int_distribution<int>(0, 300)(random), '\0');
                for (char& c : bytes)
                    c = char(random());
                noise.writeDatagram(bytes, QHostAddress::LocalHost, port);
            }
            if (!check(QTest::qWaitFor([&] { return control.ignoredCount() == sent; }, 5000), "random datagrams counted"))
                return;
        }
        check(send({"/elevra/speaker/take", "f", "1.0"}) && send({"/elevra/speaker/take", "i", "51"})
                  && send({"/elevra/stands/raise"}) && send({"/elevra/runorder/take", "i", "4"})
                  && send({"/elevra/speaker/take", "s", "Nobody Here"})
                  && QTest::qWaitFor([&] { return control.ignoredCount() == sent + 5; }, 5000),
              "wrong messages counted");
        const qsizetype pollsNow = polls(sim);
        check(QTest::qWaitFor([&] { return polls(sim) >= pollsNow + 4; }, 5000), "polling goes on");
        check(send({"/elevra/speaker/take", "i", "3"}) && at(30, 32), "a good take still moves the stands");
        for (QWidget* w : QApplication::topLevelWidgets())
            check(!qobject_cast<QMessageBox*>(w) || !w->isVisible(), "no message box");
    });
}

void TestShowControl::onlyAllowedSendersMoveTheStandsAndQueriesAreAnsweredOnceWithinBounds()
{
    DataFolder folder;
    QTemporaryDir scratch;
    const quint16 port = freePort();
    // Every interface listens and only 127.0.0.2 is obeyed, so oscsend, which sends from
    // 127.0.0.1, is a stranger. The feedback goes to the sender's own address and port.
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=2\n" + showControl(port)
                                              + "OSC Listen Address=0.0.0.0\nOSC Allowed Senders=127.0.0.2\n");
    // A name too long for the answer to a bare query: 4 x 20 bytes.
    const QString longName = QStringLiteral("Moderator of the Closing Panel on Venue Safety and Evacuation");
    writeBytes(folder.path("DBase0.db"), "[Preset0]\nP0=42\nP1=38\nID=" + longName.toUtf8() + "\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "2", "--speed", "60", "--heights", "10,20"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);

    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    const QString notice
        = QStringLiteral("Show control listens on the network (0.0.0.0 port %1): the stands can be moved by 127.0.0.2").arg(port);
    runWith([&](TConferenceForm& form) {
        const ShowControl& control = form.showControl();
        QList<QMessageBox*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                boxes << box;
        check(boxes.size() == 1 && boxes.first()->text() == notice && !boxes.first()->isModal(), "one box that waits for nobody");
        if (!check(QTest::qWaitFor([&] { return form.board().stand(1).actual == 20; }, 15000), "stands up"))
            return;

        // The real oscsend from outside the list: a take and a query, each counted, neither obeyed.
        check(oscsend(port, {"/elevra/speaker/take", "i", "1"}) && oscsend(port, {"/elevra/query"})
                  && QTest::qWaitFor([&] { return control.ignoredCount() == 2; }, 5000), "strangers counted");

        // A bundle of 60 queries from the allowed surface: one answer, then the stands' values.
        Surface surface;
        if (!check(surface.bind(QHostAddress("127.0.0.2")), "surface bound"))
            return;
        QByteArray bundle = QByteArray("#bundle\0", 8) + QByteArray(7, '\0') + '\1';
        const QByteArray query = encoded("/elevra/query");
        for (int i = 0; i < 60; ++i)
            bundle += QByteArray::fromHex("00000014") + query;
        surface.send(bundle, port);
        check(surface.received("/elevra/stand/2/actual", 1), "stand values after the query");
        check(surface.count("/elevra/ignored") == 1 && surface.count("/elevra/current") == 1, "a bundle answered once");

        // The surface takes the long-named speaker and is told so.
        surface.send(encoded("/elevra/speaker/take", {1}), port);
        check(QTest::qWaitFor([&] { return form.board().stand(0).actual == 42 && form.board().stand(1).actual == 38; }, 15000),
              "the surface's take");
        check(surface.received("/elevra/current", 2), "current speaker after the take");

        // The same port on another address asks: it is not the surface, and the feedback stays.
        Surface lookalike;
        check(lookalike.bind(QHostAddress::LocalHost, surface.socket.localPort()), "look-alike bound");
        lookalike.send(query, port);
        check(QTest::qWaitFor([&] { return control.ignoredCount() == 3; }, 5000), "look-alike counted");
        const qsizetype before = surface.datagrams.size();
        surface.send(query, port);
        check(surface.received("/elevra/ignored", 2), "the surface still answered");
        lookalike.take();
        check(lookalike.datagrams.isEmpty(), "nothing to the look-alike");

        // That answer holds the count alone: the current speaker's message would pass 80 bytes.
        qsizetype answered = 0;
        for (qsizetype i = before; i < surface.datagrams.size(); ++i)
            if (!surface.datagrams[i].startsWith("/elevra/stand/"))
                answered += surface.datagrams[i].size();
        check(answered == encoded("/elevra/ignored", {3}).size() && surface.count("/elevra/current") == 2,
              "the answer within four times the query");
        check(sim.frames().count(" IN *1A") == 1, "only the surface's take reached the stands");
    });
    qInstallMessageHandler(previous);
    QCOMPARE(warnings.filter("Show control"), QStringList{notice});
}

void TestShowControl::aSettingThatCannotBeMetLeavesTheStandsRunningAndIsSaidOnce_data()
{
    QTest::addColumn<bool>("portTaken");
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QString>("said");
    QTest::newRow("port in use") << true << QByteArray()
                                 << QStringLiteral("Show control is off: 127.0.0.1 port %1: Address already in use");
    QTest::newRow("malformed allowed sender")
        << false << QByteArray("OSC Allowed Senders=127.0.0.1, 10.0.0/24\n")
        << QStringLiteral("Show control is off: the allowed sender \"10.0.0/24\" is not a numeric address with an optional"
                          " prefix length");
}

void TestShowControl::aSettingThatCannotBeMetLeavesTheStandsRunningAndIsSaidOnce()
{
    QFETCH(bool, portTaken);
    QFETCH(QByteArray, setting);
    DataFolder folder;
    QTemporaryDir scratch;
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
    const quint16 port = portTaken ? holder.localPort() : freePort();
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=1\n" + showControl(port) + setting);
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "1", "--heights", "10"}, scratch.filePath("sim.log")));
    folder.linkCom1(sim.line);

    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    QFETCH(QString, said);
    if (portTaken)
        said = said.arg(port);
    runWith([&](TConferenceForm& form) {
        check(!form.showControl().listening(), "not listening");
        check(QTest::qWaitFor([&] { return form.board().stand(0).online; }, 10000), "the stand is polled");
        QList<QMessageBox*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                boxes << box;
        check(boxes.size() == 1 && boxes.first()->text() == said && !boxes.first()->isModal(), "one box that waits for nobody");
    });
    qInstallMessageHandler(previous);
    QCOMPARE(warnings.filter("Show control"), QStringList{said});
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestShowControl test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_showcontrol.moc"
