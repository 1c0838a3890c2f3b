#include "osc/FeedbackPacer.h"
#include "osc/QueryPacer.h"

#include <QtTest>

// The pacing of the stands' messages and of the answers to queries, on a clock the test turns.
class TestFeedbackPacer : public QObject {
    Q_OBJECT

    static StandFeedback state(int online, int target, int actual) { return StandFeedback{{online, target, actual}}; }

private slots:
    void changesWaitTheirTurnAndGoAsTheyAreThen();
    void aMovingStandNeverSendsMoreThanTenASecond();
    void queriesWaitTheirTurnAndAreAnsweredOnceForAllThatWaited();
};

void TestFeedbackPacer::changesWaitTheirTurnAndGoAsTheyAreThen()
{
    FeedbackPacer pacer;
    auto m = pacer.next(0, state(1, 40, 12), 1000);  // nothing sent yet: online first
    QVERIFY(m && m->value == StandFeedback::Online && m->number == 1);
    QVERIFY(!pacer.next(0, state(1, 40, 12), 1099));
    QCOMPARE(pacer.owedAt(0, state(1, 40, 12)), std::optional<qint64>(1100));
    QVERIFY(pacer.next(1, state(0, 0, 0), 1050));  // another stand is not held up
    QVERIFY(pacer.next(0, state(1, 40, 13), 1100).value().value == StandFeedback::Target);
    // The actual height changed again while it waited: only the latest goes.
    m = pacer.next(0, state(1, 40, 14), 1200);
    QVERIFY(m && m->value == StandFeedback::Actual && m->number == 14);
    QVERIFY(!pacer.owedAt(0, state(1, 40, 14)));
    pacer.forget();  // a query owes everything again
    QVERIFY(pacer.next(0, state(1, 40, 14), 5000).value().value == StandFeedback::Online);
}

void TestFeedbackPacer::aMovingStandNeverSendsMoreThanTenASecond()
{
    FeedbackPacer pacer;
    QList<qint64> sent;
    // Replies every 7 ms for three seconds, each with a new height, and a take now and then.
    for (qint64 t = 0; t < 3000; t += 7)
        if (pacer.next(2, state(1, 50 + int(t / 700), int(t / 7) % 100), t))
            sent << t;
    for (qsizetype k = 10; k < sent.size(); ++k)
        QVERIFY2(sent[k] - sent[k - 10] >= 1000, qPrintable(QString::number(sent[k])));
    QVERIFY(sent.size() >= 28);
}

void TestFeedbackPacer::queriesWaitTheirTurnAndAreAnsweredOnceForAllThatWaited()
{
    QueryPacer pacer;
    QVERIFY(!pacer.answer(0));
    for (qint64 t = 1000; t < 1010; ++t) {
        pacer.ask(20);
        QCOMPARE(pacer.answer(t), std::optional<std::size_t>(80));
    }
    pacer.ask(1456);
    QVERIFY(!pacer.answer(1500));
    pacer.ask(20);  // the latest sets the budget
    QCOMPARE(pacer.dueAt(), std::optional<qint64>(2000));
    QVERIFY(!pacer.answer(1999));
    QCOMPARE(pacer.answer(2000), std::optional<std::size_t>(80));
    QVERIFY(!pacer.answer(2500));  // all that waited had their one answer

    // A query every 3 ms for three seconds, answered whenever the pacer lets it.
    QList<qint64> answered;
    for (qint64 t = 5000; t < 8000; t += 3) {
        pacer.ask(20);
        if (pacer.answer(t))
            answered << t;
    }
    for (qsizetype k = 10; k < answered.size(); ++k)
        QVERIFY2(answered[k] - answered[k - 10] >= 1000, qPrintable(QString::number(answered[k])));
    QVERIFY(answered.size() >= 30);
}

QTEST_APPLESS_MAIN(TestFeedbackPacer)
#include "tst_feedbackpacer.moc"
