#include "link/LinkMessage.h"
#include "link/MessageParser.h"

#include <QTest>

using Receiver = MessageParser::Receiver;
Q_DECLARE_METATYPE(MessageParser::Receiver)

namespace {

// Every completed message as "VERB field|field [payload]", then "refused at N" with the index
// of the byte that was refused; bytes are pushed one at a time.
QStringList Feed(Receiver receiver, const QByteArray& bytes)
{
    MessageParser parser(receiver);
    QStringList seen;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const MessageParser::Step step = parser.Push(bytes[i]);
        if (step == MessageParser::Step::Message) {
            const LinkMessage& m = parser.Message();
            QByteArray line = VerbName(m.verb) + ' ' + m.fields.join('|');
            if (!m.payload.isEmpty())
                line += " [" + m.payload.toPercentEncoding(" ") + ']';
            seen << QString::fromLatin1(line);
        } else if (step == MessageParser::Step::Refused) {
            seen << QStringLiteral("refused at %1").arg(i);
            break;
        }
    }
    return seen;
}

} // namespace

class TestMessageParser : public QObject {
    Q_OBJECT

private slots:
    void messages_data();
    void messages();
    void refusalLastsForTheStream();
    void textLines_data();
    void textLines();
};

void TestMessageParser::messages_data()
{
    QTest::addColumn<Receiver>("receiver");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("seen");

    const QByteArray topic(1016, 'x');  // "CONNECT" TAB topic: exactly 1 KiB before the LF
    const QByteArray full(LinkLimits::MaxPayload, 'p');

    QTest::newRow("connect") << Receiver::Server << QByteArray("CONNECT\tConference Stand Control\n")
                             << QStringList{"CONNECT Conference Stand Control"};
    QTest::newRow("poke payload keeps TAB, LF and NUL")
        << Receiver::Server << QByteArray("POKE\tItem\tTEXT\t6\nA\tB\nC\0", 23) << QStringList{"POKE Item|TEXT [A%09B%0AC%00]"};
    QTest::newRow("empty poke, then the next message")
        << Receiver::Server << QByteArray("POKE\tItem\tTEXT\t0\nADVSTOP\tItem\n") << QStringList{"POKE Item|TEXT", "ADVSTOP Item"};
    QTest::newRow("request and advise start") << Receiver::Server << QByteArray("REQUEST\tI\tTEXT\nADVSTART\tI\tTEXT\twarm\n")
                                              << QStringList{"REQUEST I|TEXT", "ADVSTART I|TEXT|warm"};
    QTest::newRow("empty fields are fields") << Receiver::Server << QByteArray("POKE\t\tTEXT\t1\nx")
                                             << QStringList{"POKE |TEXT [x]"};
    QTest::newRow("header of exactly 1 KiB") << Receiver::Server << "CONNECT\t" + topic + "\n"
                                             << QStringList{"CONNECT " + QString::fromLatin1(topic)};
    QTest::newRow("header over 1 KiB refused without waiting for its end")
        << Receiver::Server << "CONNECT\t" + topic + "yy\n" << QStringList{"refused at 1024"};
    QTest::newRow("garbage without a line end") << Receiver::Server << QByteArray(3000, '\xff')
                                                << QStringList{"refused at 1024"};
    QTest::newRow("payload of exactly 64 KiB")
        << Receiver::Server << "POKE\tI\tTEXT\t65536\n" + full
        << QStringList{"POKE I|TEXT [" + QString::fromLatin1(full) + "]"};
    QTest::newRow("payload above 64 KiB") << Receiver::Server << QByteArray("POKE\tI\tTEXT\t65537\n")
                                          << QStringList{"refused at 17"};
    QTest::newRow("huge length") << Receiver::Server << QByteArray("POKE\tI\tTEXT\t99999999999999999999\n")
                                 << QStringList{"refused at 32"};
    QTest::newRow("length with a blank") << Receiver::Server << QByteArray("POKE\tI\tTEXT\t 5\n") << QStringList{"refused at 14"};
    QTest::newRow("unknown verb") << Receiver::Server << QByteArray("HELLO\n") << QStringList{"refused at 5"};
    QTest::newRow("verbs are upper case") << Receiver::Server << QByteArray("connect\tTelvio\n")
                                          << QStringList{"refused at 14"};
    QTest::newRow("a CR is no line end") << Receiver::Server << QByteArray("CONNECT\tTelvio\r\n")
                                         << QStringList{"CONNECT Telvio\r"};
    QTest::newRow("missing field") << Receiver::Server << QByteArray("CONNECT\n") << QStringList{"refused at 7"};
    QTest::newRow("extra field") << Receiver::Server << QByteArray("ADVSTOP\tI\tJ\n") << QStringList{"refused at 11"};
    QTest::newRow("a server's answer sent to a server") << Receiver::Server << QByteArray("ACK\n")
                                                        << QStringList{"refused at 3"};
    QTest::newRow("a client's message sent to a client") << Receiver::Client << QByteArray("CONNECT\tTelvio\n")
                                                         << QStringList{"refused at 14"};
    QTest::newRow("answers") << Receiver::Client << QByteArray("ACK\nNACK\nDATA\t3\nab\0ADVISE\tItem\n", 31)
                             << QStringList{"ACK ", "NACK ", "DATA  [ab%00]", "ADVISE Item"};
}

void TestMessageParser::messages()
{
    QFETCH(Receiver, receiver);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, seen);
    QCOMPARE(Feed(receiver, bytes), seen);
}

void TestMessageParser::refusalLastsForTheStream()
{
    MessageParser parser(Receiver::Server);
    for (char c : QByteArray("HELLO\n"))
        parser.Push(c);
    QVERIFY(parser.Refusal().contains(u"HELLO"));
    for (char c : QByteArray("CONNECT\tTelvio\n"))
        QCOMPARE(parser.Push(c), MessageParser::Step::Refused);
}

void TestMessageParser::textLines_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray("\0", 1) << QStringList{};
    QTest::newRow("one line") << QByteArray("Chair\0", 6) << QStringList{"Chair"};
    QTest::newRow("no NUL at all") << QByteArray("Chair") << QStringList{"Chair"};
    QTest::newRow("ends at the first NUL") << QByteArray("Chair\0Host\0", 11) << QStringList{"Chair"};
    QTest::newRow("CR LF, CR and LF") << QByteArray("A\r\nB\rC\nD") << QStringList{"A", "B", "C", "D"};
    QTest::newRow("a final break opens no line") << QByteArray("A\r\n") << QStringList{"A"};
    QTest::newRow("an empty first line") << QByteArray("\nA") << QStringList{"", "A"};
    QTest::newRow("blanks kept") << QByteArray(" Chair ") << QStringList{" Chair "};
    QTest::newRow("UTF-8") << QByteArray("Zo\xc3\xab") << QStringList{QStringLiteral("Zoë")};
}

void TestMessageParser::textLines()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, lines);
    QCOMPARE(TextLines(payload), lines);
}

QTEST_APPLESS_MAIN(TestMessageParser)
#include "tst_messageparser.moc"
