// Opening, closing and configuring TComm32.

#include "serial/Comm32.h"
#include "serial/CommRecorder.h"
#include "serial/PortPermission.h"
#include "serial/PtyFarEnd.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Keeps the device StartComm opened, so a test can look at the line it set up.
struct DeviceSpy {
    std::shared_ptr<serial::SerialDevice> last;
    void attach(TComm32& comm)
    {
        comm.setDeviceFactory([this] {
            last = std::make_shared<serial::SerialDevice>();
            return last;
        });
    }
    termios line() const
    {
        termios tio{};
        tcgetattr(last->fd(), &tio);
        return tio;
    }
};

// Opens like any device, but its first look at the line status fails.
class FailingStatusDevice : public serial::SerialDevice {
public:
    std::optional<serial::ErrorCounters> errorCounters() override { throw std::runtime_error("status query failed"); }
};

void aimAt(TComm32& comm, const PtyFarEnd& far)
{
    comm.CommPort = PtyFarEnd::portName();
    comm.setPortLinkFolder(far.folder());
    comm.SetReadTimeout(20);
}

}  // namespace

class TestCommLifecycle : public QObject {
    Q_OBJECT

private slots:
    void defaultsAfterConstruction()
    {
        TComm32 comm;
        QCOMPARE(comm.BaudRate(), TComm32::tbr9600);
        QCOMPARE(comm.Parity(), TComm32::tpNone);
        QCOMPARE(comm.DataBits(), TComm32::tdbEight);
        QCOMPARE(comm.StopBits(), TComm32::tsbOne);
        QCOMPARE(comm.RtsControl(), TComm32::tRtsDisable);
        QCOMPARE(comm.DtrControl(), TComm32::tDtrEnable);
        QCOMPARE(comm.XonXoff(), false);
        QCOMPARE(comm.NullStrip(), false);
        QCOMPARE(comm.ReadTimeout(), 150u);
        QCOMPARE(comm.CommPort, QStringLiteral("COM1"));
        QVERIFY(!comm.isOpen());
    }

    void startOnAnOpenPortIsFalseAndChangesNothing()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        QVERIFY(!comm.StartComm());
        QVERIFY(comm.isOpen());
        far.send("still here");
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray("still here"), 5000);
        QVERIFY(comm.WriteCommData("ok", 2));
        QCOMPARE(far.receive(2), QByteArray("ok"));
    }

    void stopOnAClosedPortDoesNothing()
    {
        TComm32 comm;
        comm.StopComm();
        QVERIFY(!comm.isOpen());
        QVERIFY(!comm.WriteCommData("x", 1));
    }

    void startStopStartReopensTheSamePort()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        comm.StopComm();
        QVERIFY(!comm.isOpen());
        QVERIFY(!comm.WriteCommData("x", 1));
        QVERIFY(comm.StartComm());
        QCOMPARE(comm.CommPort, PtyFarEnd::portName());
        far.send("again");
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray("again"), 5000);
        QVERIFY(comm.WriteCommData("back", 4));
        QCOMPARE(far.receive(4), QByteArray("back"));
    }

    void aMissingPortDoesNotOpen_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("stale link") << "COM7";
        QTest::newRow("no device in range") << "COM96";
        QTest::newRow("not a port name") << "LPT1";
    }

    void aMissingPortDoesNotOpen()
    {
        QFETCH(QString, port);
        QTemporaryDir dir;
        std::filesystem::create_directories(std::filesystem::path(dir.path().toStdString()) / "ports");
        std::filesystem::create_symlink("/dev/pts/does-not-exist",
                                        std::filesystem::path(dir.path().toStdString()) / "ports" / "COM7");
        TComm32 comm;
        comm.CommPort = port;
        comm.setPortLinkFolder(dir.path().toStdString());
        QVERIFY(!comm.StartComm());
        QCOMPARE(comm.LastOpen().error, ENOENT);
        QVERIFY(!comm.isOpen());
        QVERIFY(!comm.WriteCommData("x", 1));
        comm.StopComm();
    }

    void aStartThatFailsAfterTheOpenGivesEverythingBack()
    {
        PtyFarEnd far;
        TComm32 comm;
        CommRecorder rec;
        rec.attach(comm);
        aimAt(comm, far);
        std::weak_ptr<serial::SerialDevice> failed;
        comm.setDeviceFactory([&failed]() -> std::shared_ptr<serial::SerialDevice> {
            auto device = std::make_shared<FailingStatusDevice>();
            failed = device;
            return device;
        });
        QVERIFY(!comm.StartComm());
        QVERIFY(!comm.isOpen());
        // No member and no thread holds the device any more, so it has been closed.
        QVERIFY(failed.expired());
        QVERIFY(!comm.WriteCommData("x", 1));

        comm.setDeviceFactory({});
        QVERIFY(comm.StartComm());
        far.send("works");
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray("works"), 5000);
        QVERIFY(comm.WriteCommData("ok", 2));
        QCOMPARE(far.receive(2), QByteArray("ok"));
    }

    void aHandlerMayDestroyTheComponent()
    {
        PtyFarEnd far;
        auto* comm = new TComm32;
        aimAt(*comm, far);
        int hangups = 0;
        comm->OnRequestHangup = [&comm, &hangups](TComm32* sender) {
            ++hangups;
            QCOMPARE(sender, comm);
            delete comm;
            comm = nullptr;
        };
        QVERIFY(comm->StartComm());
        // The reader's hang-up, and the writer's once its write fails: the second, queued
        // or still to come, must not reach the destroyed component.
        far.closeMaster();
        QVERIFY(comm->WriteCommData("x", 1));
        QTRY_VERIFY_WITH_TIMEOUT(comm == nullptr, 5000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCOMPARE(hangups, 1);
    }

    void aPortHeldByAnotherProgramDoesNotOpen()
    {
        PtyFarEnd far;
        const int other = ::open(far.slavePath().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        QCOMPARE(flock(other, LOCK_EX | LOCK_NB), 0);
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(!comm.StartComm());
        // Busy, which is not a matter of permissions: the failure names the device, links followed.
        QCOMPARE(comm.LastOpen().error, EWOULDBLOCK);
        QCOMPARE(comm.LastOpen().device, std::filesystem::canonical(far.slavePath()));
        QCOMPARE(serial::PortPermissionLine(comm.LastOpen()), std::string());
        QVERIFY(!comm.WriteCommData("x", 1));
        ::close(other);
        QVERIFY(comm.StartComm());
        QVERIFY(bool(comm.LastOpen()));
    }

    void aSecondComponentCannotOpenAHeldPort()
    {
        PtyFarEnd far;
        TComm32 first;
        TComm32 second;
        aimAt(first, far);
        aimAt(second, far);
        QVERIFY(first.StartComm());
        QVERIFY(!second.StartComm());
        first.StopComm();
        QVERIFY(second.StartComm());
    }

    void theLineIsRawWithTheChosenSettings()
    {
        PtyFarEnd far;
        TComm32 comm;
        DeviceSpy spy;
        spy.attach(comm);
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        const termios tio = spy.line();
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY(!(tio.c_lflag & (ICANON | ECHO | ISIG)));
        QVERIFY(!(tio.c_iflag & (IXON | IXOFF | ICRNL)));
        QVERIFY(!(tio.c_oflag & OPOST));
        QVERIFY(!(tio.c_cflag & CRTSCTS));
        QVERIFY(tio.c_cflag & CLOCAL);
    }

    void settersTakeEffectAtOnceWhileOpenAndAtTheNextStartWhileClosed()
    {
        PtyFarEnd far;
        TComm32 comm;
        DeviceSpy spy;
        spy.attach(comm);
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        comm.SetBaudRate(TComm32::tbr19200);
        comm.SetXonXoff(true);
        termios tio = spy.line();
        QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
        QVERIFY(tio.c_iflag & IXOFF);
        QVERIFY(!(tio.c_iflag & IXON));

        comm.StopComm();
        comm.SetBaudRate(TComm32::tbr57600);
        comm.SetXonXoff(false);
        QVERIFY(comm.StartComm());
        tio = spy.line();
        QCOMPARE(cfgetospeed(&tio), speed_t(B57600));
        QVERIFY(!(tio.c_iflag & IXOFF));
    }

    void aSpeedWithoutATermiosConstantIsSet()
    {
        PtyFarEnd far;
        TComm32 comm;
        DeviceSpy spy;
        spy.attach(comm);
        aimAt(comm, far);
        comm.SetBaudRate(TComm32::tbr14400);
        QVERIFY(comm.StartComm());
        QCOMPARE(TComm32::BitsPerSecond(comm.BaudRate()), 14400u);
        const termios tio = spy.line();
        // The kernel's "other speed" code (BOTHER) shares its value with CBAUDEX.
        QCOMPARE(cfgetospeed(&tio), speed_t(CBAUDEX));
    }

    void modemLineCallsAreFalseWhileClosed()
    {
        TComm32 comm;
        QVERIFY(!comm.TurnRtsOn());
        QVERIFY(!comm.TurnRtsOff());
        QVERIFY(!comm.TurnDtrOn());
        QVERIFY(!comm.TurnDtrOff());
    }

    void stopCommFromAHangupHandlerIsSafe()
    {
        PtyFarEnd far;
        TComm32 comm;
        bool stopped = false;
        comm.OnRequestHangup = [&](TComm32* sender) {
            sender->StopComm();
            stopped = true;
        };
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        far.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(stopped, 5000);
        QVERIFY(!comm.isOpen());
    }

    void stopReturnsPromptly()
    {
        PtyFarEnd far;
        TComm32 comm;
        aimAt(comm, far);
        QVERIFY(comm.StartComm());
        QElapsedTimer timer;
        timer.start();
        comm.StopComm();
        // Far below the 10 s a thread is given: both workers leave at the stop descriptor.
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestCommLifecycle)
#include "tst_comm32_lifecycle.moc"
