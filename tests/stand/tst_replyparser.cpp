#include "stand/ReplyParser.h"

#include <QTest>

// Each completed frame as "address data check checksum".
static QStringList Feed(ReplyParser& parser, const QList<QByteArray>& blocks)
{
    QStringList frames;
    for (const QByteArray& block : blocks) {
        for (char ch : block) {
            if (parser.ParseReplyChar(ch)) {
                const TCommData& r = parser.Reply();
                frames << QStringLiteral("%1 %2 %3 %4").arg(r.address).arg(r.data).arg(r.check).arg(r.checksum);
            }
        }
    }
    return frames;
}

class TestReplyParser : public QObject {
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void everyCompleteFrameIsAccepted();
};

void TestReplyParser::frames_data()
{
    QTest::addColumn<QList<QByteArray>>("blocks");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<int>("stateAfter");

    const QString example = QStringLiteral("0 125C 333 4D");

    QTest::newRow("worked example") << QList<QByteArray>{":1A125C4D"} << QStringList{example} << 0;
    QTest::newRow("split over two blocks") << QList<QByteArray>{":1A1", "25C4D"} << QStringList{example} << 0;
    QTest::newRow("one byte per block")
        << QList<QByteArray>{":", "1", "A", "1", "2", "5", "C", "4", "D"} << QStringList{example} << 0;
    QTest::newRow("noise and CR LF around")
        << QList<QByteArray>{"xx\r\n*1Q12344C\r\n:1A125C4D\r\n\r\n:2A00005C\r\n"}
        << QStringList{example, QStringLiteral("1 0000 307 5C")} << 0;
    QTest::newRow("cut off frame waits for more") << QList<QByteArray>{":1A12"} << QStringList{} << 5;
    QTest::newRow("dropped :1B then good frame")
        << QList<QByteArray>{":1B125C4D:1A125C4D"} << QStringList{example} << 0;
    // The drop happens at the third character only; the rest of the bad frame is noise.
    QTest::newRow("drop resumes at next colon") << QList<QByteArray>{":1B:1A125C4D"} << QStringList{example} << 0;
    QTest::newRow("digit 9 is index 8") << QList<QByteArray>{":9A00007A"} << QStringList{"8 0000 314 7A"} << 0;
    QTest::newRow("digit 0 wraps to 255") << QList<QByteArray>{":0A000071"} << QStringList{"255 0000 305 71"} << 0;
    QTest::newRow("non-digit counts as stand 1")
        << QList<QByteArray>{":xA0000zz"} << QStringList{"0 0000 377 zz"} << 0;
    QTest::newRow("FFFF data") << QList<QByteArray>{":1AFFFF8A"} << QStringList{"0 FFFF 394 8A"} << 0;
    QTest::newRow("colon inside a frame is ordinary")
        << QList<QByteArray>{":1A12:5C4"} << QStringList{"0 12:5 324 C4"} << 0;
    QTest::newRow("colon as stand digit") << QList<QByteArray>{"::A1234"} << QStringList{} << 7;
    // A frame cut off by a lost byte swallows the start of the next reply.
    QTest::newRow("cut frame continues into next")
        << QList<QByteArray>{":1A12", ":2A125C4D"} << QStringList{"0 12:2 321 A1"} << 0;
}

void TestReplyParser::frames()
{
    QFETCH(QList<QByteArray>, blocks);
    QFETCH(QStringList, frames);
    QFETCH(int, stateAfter);

    ReplyParser parser;
    QCOMPARE(Feed(parser, blocks), frames);
    QCOMPARE(parser.ReplyState(), stateAfter);
}

void TestReplyParser::everyCompleteFrameIsAccepted()
{
    ReplyParser parser;
    QCOMPARE(Feed(parser, {":1A125CZZ"}).size(), 1);
    QVERIFY(ReplyParser::ReplyAccepted(parser.Reply()));
    QCOMPARE(parser.Reply().checksum, QStringLiteral("ZZ"));
}

QTEST_APPLESS_MAIN(TestReplyParser)
#include "tst_replyparser.moc"
