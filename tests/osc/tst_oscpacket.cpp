#include "osc/OscPacket.h"
#include "osc/ShowCommand.h"

#include <QtEndian>
#include <QtTest>

// Packets written out byte by byte, as a control surface puts them on the wire.
namespace {

QByteArray str(const QByteArray& text)
{
    QByteArray padded = text + '\0';
    while (padded.size() % 4 != 0)
        padded += '\0';
    return padded;
}

QByteArray i32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray bundle(const QList<QByteArray>& elements)
{
    QByteArray bytes = QByteArray("#bundle\0", 8) + QByteArray(7, '\0') + '\1';
    for (const QByteArray& element : elements)
        bytes += i32(qint32(element.size())) + element;
    return bytes;
}

const QByteArray TakeChair = str("/elevra/speaker/take") + str(",s") + str("chair");

} // namespace

class TestOscPacket : public QObject {
    Q_OBJECT

private slots:
    void packetToCommands_data();
    void packetToCommands();
    void everyProperPrefixIsMalformed();
    void encodedFeedbackReadsBack();
};

// Each row: the packet and what it asks for, one command per message, or "malformed".
void TestOscPacket::packetToCommands_data()
{
    using C = ShowCommand;
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("malformed");
    QTest::addColumn<QList<C>>("commands");

    const auto row = [](const char* name, const QByteArray& packet, QList<C> commands) {
        QTest::newRow(name) << packet << false << commands;
    };
    const auto bad = [](const char* name, const QByteArray& packet) { QTest::newRow(name) << packet << true << QList<C>{}; };

    row("take by name", TakeChair, {{C::SpeakerTakeByName, 0, "chair"}});
    row("take row 1", str("/elevra/speaker/take") + str(",i") + i32(1), {{C::SpeakerTakeByRow, 1, {}}});
    row("take row 50", str("/elevra/speaker/take") + str(",i") + i32(50), {{C::SpeakerTakeByRow, 50, {}}});
    row("row 0", str("/elevra/speaker/take") + str(",i") + i32(0), {C{}});
    row("row 51", str("/elevra/speaker/take") + str(",i") + i32(51), {C{}});
    row("row as float", str("/elevra/speaker/take") + str(",f") + QByteArray("\x3f\x80\0\0", 4), {C{}});
    row("two names", str("/elevra/speaker/take") + str(",ss") + str("a") + str("b"), {C{}});
    row("run order row", str("/elevra/runorder/take") + str(",i") + i32(3), {{C::RunOrderTake, 3, {}}});
    row("run order row as string", str("/elevra/runorder/take") + str(",s") + str("3"), {C{}});
    row("next", str("/elevra/runorder/next") + str(","), {{C::RunOrderNext, 0, {}}});
    row("next with a button's value", str("/elevra/runorder/next") + str(",f") + QByteArray("\x3f\x80\0\0", 4), {C{}});
    row("query", str("/elevra/query") + str(","), {{C::Query, 0, {}}});
    row("unknown address", str("/elevra/stands/raise") + str(","), {C{}});
    row("wildcard", str("/elevra/stands/*") + str(","), {C{}});
    row("bundle in order", bundle({str("/elevra/stands/abort") + str(","), TakeChair}),
        {{C::StandsAbort, 0, {}}, {C::SpeakerTakeByName, 0, "chair"}});
    row("nested bundle", bundle({bundle({str("/elevra/query") + str(",")}), str("/elevra/runorder/next") + str(",")}),
        {{C::Query, 0, {}}, {C::RunOrderNext, 0, {}}});
    row("empty bundle", bundle({}), {});

    bad("empty datagram", QByteArray());
    bad("bundle header cut short", bundle({}).left(12));
    bad("element size beyond the end", bundle({TakeChair}).chopped(4));
    bad("element size not a multiple of four", bundle({}) + i32(5) + QByteArray(5, 'x'));
    bad("element size zero", bundle({}) + i32(0));
    bad("element size negative", bundle({}) + i32(-4) + str("/a"));
    bad("one malformed element spoils the bundle", bundle({TakeChair, str("/elevra/query")}));
    QByteArray deep = str("/elevra/query") + str(",");
    for (int i = 0; i < 9; ++i)
        deep = bundle({deep});
    bad("nested nine deep", deep);
}

void TestOscPacket::packetToCommands()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, malformed);
    QFETCH(QList<ShowCommand>, commands);
    const auto messages = parseOscPacket(packet);
    QCOMPARE(!messages, malformed);
    if (!messages)
        return;
    QList<ShowCommand> found;
    for (const OscMessage& message : *messages)
        found << interpretShowMessage(message);
    QCOMPARE(found, commands);
}

void TestOscPacket::everyProperPrefixIsMalformed()
{
    // A bundle cut between its elements is a shorter bundle, so this is one message.
    const QByteArray whole = str("/elevra/speaker/take") + str(",si") + str("chair") + i32(7);
    QVERIFY(parseOscPacket(whole));
    for (qsizetype n = 0; n < whole.size(); ++n)
        QVERIFY2(!parseOscPacket(whole.left(n)), qPrintable(QString::number(n)));
}

void TestOscPacket::encodedFeedbackReadsBack()
{
    const std::vector<std::uint8_t> bytes = encodeOscMessage("/elevra/current", {3, QString::fromUtf8("J\xc3\xb6rg")});
    const QByteArray packet(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QCOMPARE(packet, str("/elevra/current") + str(",is") + i32(3) + str("J\xc3\xb6rg"));
}

QTEST_APPLESS_MAIN(TestOscPacket)
#include "tst_oscpacket.moc"
