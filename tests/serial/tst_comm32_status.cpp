// Line errors and modem-line changes, on a device whose driver status is scripted:
// pseudo-terminals keep neither error counters nor modem lines.

#include "serial/Comm32.h"
#include "serial/CommRecorder.h"
#include "serial/PtyFarEnd.h"

#include <QTest>

#include <mutex>

namespace {

class ScriptedDevice : public serial::SerialDevice {
public:
    std::optional<serial::ErrorCounters> errorCounters() override
    {
        std::lock_guard lock(mutex);
        return counters;
    }
    std::optional<std::uint32_t> modemStatus() override
    {
        std::lock_guard lock(mutex);
        return modem;
    }
    std::optional<std::size_t> outputPending() override
    {
        std::lock_guard lock(mutex);
        return output;
    }
    template <typename Change>
    void script(Change change)
    {
        std::lock_guard lock(mutex);
        change();
    }

    std::mutex mutex;
    serial::ErrorCounters counters;
    std::uint32_t modem = 0;
    std::size_t output = 0;
};

struct LineEvents {
    QStringList seen;
    void attach(TComm32& comm)
    {
        comm.OnReceiveCTS = [this](bool on) { seen << QStringLiteral("CTS %1").arg(on); };
        comm.OnReceiveDSR = [this](bool on) { seen << QStringLiteral("DSR %1").arg(on); };
        comm.OnReceiveRLSD = [this](bool on) { seen << QStringLiteral("RLSD %1").arg(on); };
        comm.OnReceiveRing = [this] { seen << QStringLiteral("RING"); };
        comm.OnReceiveTxEmpty = [this] { seen << QStringLiteral("TXEMPTY"); };
    }
};

}  // namespace

class TestCommStatus : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PtyFarEnd> far;
    std::unique_ptr<TComm32> comm;
    std::shared_ptr<ScriptedDevice> device;
    CommRecorder rec;
    LineEvents lines;

private slots:
    void init()
    {
        far = std::make_unique<PtyFarEnd>();
        comm = std::make_unique<TComm32>();
        rec = {};
        lines = {};
        rec.attach(*comm);
        lines.attach(*comm);
        comm->setDeviceFactory([this] {
            device = std::make_shared<ScriptedDevice>();
            return device;
        });
        comm->CommPort = PtyFarEnd::portName();
        comm->setPortLinkFolder(far->folder());
        QVERIFY(comm->StartComm());
    }

    void cleanup()
    {
        comm.reset();
        far.reset();
    }

    void counterChangesBecomeErrorTexts()
    {
        device->script([&] { ++device->counters.frame; });
        QTRY_COMPARE_WITH_TIMEOUT(rec.errors, QStringList{"RX Error: FRAMING: EvtMask = 8"}, 5000);
        device->script([&] {
            ++device->counters.frame;
            ++device->counters.overrun;
        });
        QTRY_COMPARE_WITH_TIMEOUT(rec.errors.size(), 2, 5000);
        QCOMPARE(rec.errors[1], QStringLiteral("RX Error: FRAMING and OVERRUN: EvtMask = 10"));
        QCOMPARE(rec.blocksWithoutTrailingZero, 0);
    }

    void twoErrorsInQuickSuccessionGiveTwoTexts()
    {
        device->script([&] { ++device->counters.parity; });
        QTRY_COMPARE_WITH_TIMEOUT(rec.errors.size(), 1, 5000);
        device->script([&] { ++device->counters.brk; });
        QTRY_COMPARE_WITH_TIMEOUT(rec.errors.size(), 2, 5000);
        QCOMPARE(rec.errors, (QStringList{"RX Error: PARITY: EvtMask = 4", "RX Error: BREAK: EvtMask = 16"}));
    }

    void modemLineChangesAreReportedWithTheirNewState()
    {
        device->script([&] { device->modem = serial::modemCts | serial::modemDsr; });
        QTRY_COMPARE_WITH_TIMEOUT(lines.seen.size(), 2, 5000);
        device->script([&] { device->modem = serial::modemDsr | serial::modemCarrier; });
        QTRY_COMPARE_WITH_TIMEOUT(lines.seen.size(), 4, 5000);
        QCOMPARE(lines.seen, (QStringList{"CTS 1", "DSR 1", "RLSD 1", "CTS 0"}));
    }

    void ringIsReportedWhenItComesOn()
    {
        device->script([&] { device->modem = serial::modemRing; });
        QTRY_COMPARE_WITH_TIMEOUT(lines.seen, QStringList{"RING"}, 5000);
        device->script([&] { device->modem = 0; });
        QTest::qWait(200);
        QCOMPARE(lines.seen, QStringList{"RING"});
    }

    void transmitEmptyFollowsTheLastQueuedByte()
    {
        device->script([&] { device->output = 40; });
        QTest::qWait(100);
        QVERIFY(lines.seen.isEmpty());
        device->script([&] { device->output = 0; });
        QTRY_COMPARE_WITH_TIMEOUT(lines.seen, QStringList{"TXEMPTY"}, 5000);
    }

    void statusWatchDoesNotDisturbData()
    {
        device->script([&] { ++device->counters.overrun; });
        far->send("reply");
        QTRY_COMPARE_WITH_TIMEOUT(rec.joined(), QByteArray("reply"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rec.errors, QStringList{"RX Error: OVERRUN: EvtMask = 2"}, 5000);
    }
};

QTEST_GUILESS_MAIN(TestCommStatus)
#include "tst_comm32_status.moc"
