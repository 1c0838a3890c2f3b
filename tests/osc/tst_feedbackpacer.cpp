#include "FeedbackPacer.h"

#include <QtTest>

// The pacing of one stand's messages on a clock the test turns.
class TestFeedbackPacer : public QObject {
    Q_OBJECT

    static StandFeedback state(int online, int target, int actual) { return StandFeedback{{online, target, actual}}; }

private slots:
    void changesWaitTheirTurnAndGoAsTheyAreThen();
    void aMovingStandNeverSendsMoreThanTenASecond();
};

void TestFeedbackPacer::changesWaitTheirTurnAndGoAsTheyAreThen()
{
    FeedbackPacer pacer;
    // Nothing was sent yet: the whole state is owed, online first.
    auto m = pacer.Next(0, state(1, 40, 12), 1000);
    QVERIFY(m && m->value == StandFeedback::Online && m->number == 1);
    QVERIFY(!pacer.Next(0, state(1, 40, 12), 1099));
    QCOMPARE(pacer.OwedAt(0, state(1, 40, 12)), std::optional<qint64>(1100));
    // Another stand is not held up by the first.
    QVERIFY(pacer.Next(1, state(0, 0, 0), 1050));
    m = pacer.Next(0, state(1, 40, 12), 1100);
    QVERIFY(m && m->value == StandFeedback::Target && m->number == 40);
    // The actual height changed twice while it waited: only the latest goes.
    QVERIFY(!pacer.Next(0, state(1, 40, 13), 1150));
    m = pacer.Next(0, state(1, 40, 14), 1200);
    QVERIFY(m && m->value == StandFeedback::Actual && m->number == 14);
    QVERIFY(!pacer.OwedAt(0, state(1, 40, 14)));
    QVERIFY(!pacer.Next(0, state(1, 40, 14), 5000));
    // A query owes everything again.
    pacer.Forget();
    m = pacer.Next(0, state(1, 40, 14), 5000);
    QVERIFY(m && m->value == StandFeedback::Online);
}

void TestFeedbackPacer::aMovingStandNeverSendsMoreThanTenASecond()
{
    FeedbackPacer pacer;
    QList<qint64> sent;
    // Replies every 7 ms for three seconds, each with a new height, and a take now and then.
    for (qint64 t = 0; t < 3000; t += 7) {
        const StandFeedback now = state(1, 50 + int(t / 700), int(t / 7) % 100);
        if (pacer.Next(2, now, t))
            sent << t;
    }
    for (qsizetype k = 10; k < sent.size(); ++k)
        QVERIFY2(sent[k] - sent[k - 10] >= 1000, qPrintable(QString::number(sent[k])));
    QVERIFY(sent.size() >= 28);
}

QTEST_APPLESS_MAIN(TestFeedbackPacer)
#include "tst_feedbackpacer.moc"
