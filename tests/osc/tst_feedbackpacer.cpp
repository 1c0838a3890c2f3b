#include "osc/FeedbackPacer.h"

#include <QtTest>

// The pacing of the stands' messages on a clock the test turns.
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
    auto m = pacer.Next(0, state(1, 40, 12), 1000);  // nothing sent yet: online first
    QVERIFY(m && m->value == StandFeedback::Online && m->number == 1);
    QVERIFY(!pacer.Next(0, state(1, 40, 12), 1099));
    QCOMPARE(pacer.OwedAt(0, state(1, 40, 12)), std::optional<qint64>(1100));
    QVERIFY(pacer.Next(1, state(0, 0, 0), 1050));  // another stand is not held up
    QVERIFY(pacer.Next(0, state(1, 40, 13), 1100).value().value == StandFeedback::Target);
    // The actual height changed again while it waited: only the latest goes.
    m = pacer.Next(0, state(1, 40, 14), 1200);
    QVERIFY(m && m->value == StandFeedback::Actual && m->number == 14);
    QVERIFY(!pacer.OwedAt(0, state(1, 40, 14)));
    pacer.Forget();  // a query owes everything again
    QVERIFY(pacer.Next(0, state(1, 40, 14), 5000).value().value == StandFeedback::Online);
}

void TestFeedbackPacer::aMovingStandNeverSendsMoreThanTenASecond()
{
    FeedbackPacer pacer;
    QList<qint64> sent;
    // Replies every 7 ms for three seconds, each with a new height, and a take now and then.
    for (qint64 t = 0; t < 3000; t += 7)
        if (pacer.Next(2, state(1, 50 + int(t / 700), int(t / 7) % 100), t))
            sent << t;
    for (qsizetype k = 10; k < sent.size(); ++k)
        QVERIFY2(sent[k] - sent[k - 10] >= 1000, qPrintable(QString::number(sent[k])));
    QVERIFY(sent.size() >= 28);
}

QTEST_APPLESS_MAIN(TestFeedbackPacer)
#include "tst_feedbackpacer.moc"
