#include "osc/AllowedSenders.h"

#include <QtTest>

// The allow-list as an operator writes it, and the senders as the socket reports them.
class TestAllowedSenders : public QObject {
    Q_OBJECT

private slots:
    void sendersWithinTheListAreAllowed_data();
    void sendersWithinTheListAreAllowed();
    void aMalformedListIsRefusedWithTheEntryNamed_data();
    void aMalformedListIsRefusedWithTheEntryNamed();
    void loopbackAddresses();
};

void TestAllowedSenders::sendersWithinTheListAreAllowed_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("allowed");
    const QString loopback = QStringLiteral("127.0.0.1, ::1");
    QTest::newRow("default: itself") << loopback << "127.0.0.1" << true;
    QTest::newRow("default: IPv6 loopback") << loopback << "::1" << true;
    QTest::newRow("default: IPv4 through an IPv6 socket") << loopback << "::ffff:127.0.0.1" << true;
    QTest::newRow("default: another loopback address") << loopback << "127.0.0.2" << false;
    QTest::newRow("default: unknown sender") << loopback << "" << false;
    QTest::newRow("no names") << "127.0.0.1" << "localhost" << false;
    QTest::newRow("/24 last of it") << "10.0.0.0/24" << "10.0.0.255" << true;
    QTest::newRow("/24 next network") << "10.0.0.0/24" << "10.0.1.0" << false;
    QTest::newRow("/23 with host bits, inside") << "10.0.0.5/23" << "10.0.1.7" << true;
    QTest::newRow("/23 with host bits, outside") << "10.0.0.5/23" << "10.0.2.0" << false;
    QTest::newRow("/10 zone ignored") << "fe80::/10" << "fe80::1%eth0" << true;
    QTest::newRow("/10 outside") << "fe80::/10" << "fec0::1" << false;
    QTest::newRow("mapped prefix") << "::ffff:192.168.1.0/120" << "192.168.1.9" << true;
    QTest::newRow("every IPv4 address") << "0.0.0.0/0" << "203.0.113.7" << true;
    QTest::newRow("every IPv4 address, not IPv6") << "0.0.0.0/0" << "2001:db8::1" << false;
    QTest::newRow("second entry, empty ones left out") << " ,127.0.0.1,, 2001:db8::/32 " << "2001:db8:5::9" << true;
}

void TestAllowedSenders::sendersWithinTheListAreAllowed()
{
    QFETCH(QString, list);
    QFETCH(QString, host);
    QString reason;
    const std::optional<AllowedSenders> senders = AllowedSenders::Parse(list, reason);
    QVERIFY2(senders, qPrintable(reason));
    QTEST(senders->Allows(host.toStdString()), "allowed");
}

void TestAllowedSenders::aMalformedListIsRefusedWithTheEntryNamed_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("reason");
    const auto entry = [](const char* text) {
        return QStringLiteral("the allowed sender \"%1\" is not a numeric address with an optional prefix length").arg(text);
    };
    QTest::newRow("short form") << "127.0.0.1, 10.0.0/24" << entry("10.0.0/24");
    QTest::newRow("name") << "localhost" << entry("localhost");
    QTest::newRow("IPv4 prefix too long") << "127.0.0.1/33" << entry("127.0.0.1/33");
    QTest::newRow("IPv6 prefix too long") << "::1/129" << entry("::1/129");
    QTest::newRow("no prefix after slash") << "10.0.0.0/" << entry("10.0.0.0/");
    QTest::newRow("signed prefix") << "10.0.0.0/+8" << entry("10.0.0.0/+8");
    QTest::newRow("blank in prefix") << "10.0.0.0/ 8" << entry("10.0.0.0/ 8");
    QTest::newRow("separated by blanks") << "127.0.0.1 ::1" << entry("127.0.0.1 ::1");
    QTest::newRow("empty") << "" << "no sender is allowed";
    QTest::newRow("commas only") << " , ," << "no sender is allowed";
}

void TestAllowedSenders::aMalformedListIsRefusedWithTheEntryNamed()
{
    QFETCH(QString, list);
    QString reason;
    QVERIFY(!AllowedSenders::Parse(list, reason));
    QTEST(reason, "reason");
}

void TestAllowedSenders::loopbackAddresses()
{
    for (const char* host : {"127.0.0.1", "127.3.0.9", "::1", "::ffff:127.0.0.1"})
        QVERIFY2(IsLoopbackAddress(host), host);
    for (const char* host : {"", "0.0.0.0", "::", "192.0.2.2", "::2"})
        QVERIFY2(!IsLoopbackAddress(host), host);
}

QTEST_APPLESS_MAIN(TestAllowedSenders)
#include "tst_allowedsenders.moc"
