// The simulated stand controller, driven byte by byte with its clock in the test's hands.

#include "StandSimulator.h"

#include <QTest>

using standsim::SimOptions;
using standsim::StandSimulator;
using namespace std::chrono_literals;

namespace {

std::string frame(const std::string& body)
{
    return "*" + body + StandSimulator::checksum(body) + "\r\n";
}

std::string feed(StandSimulator& sim, const std::string& bytes, StandSimulator::Clock::time_point at)
{
    std::string out;
    for (char c : bytes)
        out += sim.receive(c, at);
    return out;
}

}  // namespace

class TestStandsimLogic : public QObject {
    Q_OBJECT

private:
    const StandSimulator::Clock::time_point t0{};

private slots:
    void aPollIsAnsweredWithTheHeightTimesTheScale()
    {
        SimOptions options;
        options.heights = {50, 99};
        StandSimulator sim(options, t0);
        QCOMPARE(feed(sim, "*1Q12344C\r\n", t0), std::string(":1A125C4D\r\n"));
        QCOMPARE(feed(sim, frame("2Q1234"), t0), std::string(":2A245A4F\r\n"));
    }

    void aStandMovesTowardsItsTargetAtTheChosenSpeed()
    {
        SimOptions options;
        options.speed = 10;
        StandSimulator sim(options, t0);
        feed(sim, frame("1A125C"), t0);  // 50 x 94
        QCOMPARE(sim.target(1), 50);
        QCOMPARE(sim.height(1, t0 + 1s), 10);
        QCOMPARE(sim.height(1, t0 + 3s), 30);
        QCOMPARE(sim.height(1, t0 + 20s), 50);
        feed(sim, frame("1L0000"), t0 + 20s);
        QCOMPARE(sim.height(1, t0 + 22s), 30);
        feed(sim, frame("1X0000"), t0 + 22s);
        QCOMPARE(sim.height(1, t0 + 30s), 30);
        QCOMPARE(sim.target(1), 30);
    }

    void malformedFramesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bad checksum") << QByteArray("*1Q123400\r\n");
        QTest::newRow("short") << QByteArray("*1Q12\r\n");
        QTest::newRow("long") << QByteArray("*1Q12344C4C4C4C4C4C\r\n");
        QTest::newRow("stand 9") << QByteArray(frame("9Q1234").c_str());
        QTest::newRow("not hex") << QByteArray(frame("1AZZZZ").c_str());
        QTest::newRow("binary") << QByteArray("*\x00\xFF\x80\x01\r\n", 7);
        QTest::newRow("no star") << QByteArray("1Q12344C\r\n");
    }

    void malformedFramesAreIgnored()
    {
        QFETCH(QByteArray, bytes);
        StandSimulator sim({}, t0);
        QCOMPARE(feed(sim, bytes.toStdString(), t0), std::string());
        QCOMPARE(sim.target(1), 0);
        // The next good frame is still understood.
        QCOMPARE(feed(sim, "*1Q12344C\r\n", t0), std::string(":1A000032\r\n"));
    }

    void silentAndAbsentStandsNeverAnswer()
    {
        SimOptions options;
        options.stands = 4;
        options.silent = {2};
        StandSimulator sim(options, t0);
        QCOMPARE(feed(sim, frame("2Q1234"), t0), std::string());
        QCOMPARE(feed(sim, frame("5Q1234"), t0), std::string());
        QVERIFY(!feed(sim, frame("4Q1234"), t0).empty());
    }

    void noiseNeverHoldsAFrameStart()
    {
        SimOptions options;
        options.noise = true;
        StandSimulator sim(options, t0);
        std::string all;
        for (int i = 0; i < 50; ++i)
            all += feed(sim, frame("1Q1234"), t0);
        QCOMPARE(std::count(all.begin(), all.end(), ':'), 50);
        QVERIFY(all.size() > 50 * 11);
    }
};

QTEST_GUILESS_MAIN(TestStandsimLogic)
#include "tst_standsim_logic.moc"
