#include "osc/UdpSocket.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QUdpSocket>
#include <QtTest>

// The show control's socket on loopback, against Qt's own UDP socket as the control surface,
// woken as the show control wakes it: by a notifier on its descriptor.
class TestUdpSocket : public QObject {
    Q_OBJECT

    // A port that was free a moment ago.
    static std::uint16_t freePort(const QHostAddress& address)
    {
        QUdpSocket probe;
        return probe.bind(address, 0) ? probe.localPort() : 0;
    }

    static std::optional<UdpDatagram> receiveWithin(UdpSocket& socket, int milliseconds)
    {
        QSocketNotifier notifier(socket.Descriptor(), QSocketNotifier::Read);
        QSignalSpy ready(&notifier, &QSocketNotifier::activated);
        if (std::optional<UdpDatagram> waiting = socket.Receive())
            return waiting;
        if (!ready.wait(milliseconds))
            return std::nullopt;
        return socket.Receive();
    }

private slots:
    void datagramsBothWays();
    void aClosedFeedbackPortDoesNotCostTheNextDatagram();
    void aBoundPortIsNotSharedAndNamesAreRefused();
    void everyInterfaceHearsIPv4SendersOnIPv6();
};

void TestUdpSocket::datagramsBothWays()
{
    UdpSocket socket;
    const std::uint16_t port = freePort(QHostAddress::LocalHost);
    QCOMPARE(socket.Bind("127.0.0.1", port), std::string());
    QUdpSocket surface;
    QVERIFY(surface.bind(QHostAddress::LocalHost, 0));
    QCOMPARE(surface.writeDatagram("/elevra/take\0\0\0\0", 16, QHostAddress::LocalHost, port), 16);

    const std::optional<UdpDatagram> datagram = receiveWithin(socket, 5000);
    QVERIFY(datagram);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(datagram->bytes.data()), qsizetype(datagram->bytes.size())),
             QByteArray("/elevra/take\0\0\0\0", 16));
    QVERIFY(!datagram->truncated);
    QCOMPARE(datagram->from, (UdpPeer{"127.0.0.1", surface.localPort()}));
    QVERIFY(!socket.Receive());

    QVERIFY(socket.Send(datagram->from, {1, 2, 3}));
    QVERIFY(surface.waitForReadyRead(5000));
    QCOMPARE(surface.receiveDatagram().data(), QByteArray("\1\2\3"));
}

// Feedback sent to a port where nobody listens comes back as an error from the network; the
// control surface's next message must still be read, and read first.
void TestUdpSocket::aClosedFeedbackPortDoesNotCostTheNextDatagram()
{
    UdpSocket socket;
    const std::uint16_t port = freePort(QHostAddress::LocalHost);
    QCOMPARE(socket.Bind("127.0.0.1", port), std::string());
    const std::uint16_t nobody = freePort(QHostAddress::LocalHost);
    for (int i = 0; i < 3; ++i)
        QVERIFY(socket.Send({"127.0.0.1", nobody}, {0x2f}));
    QTest::qWait(100);

    QUdpSocket surface;
    QCOMPARE(surface.writeDatagram("next", QHostAddress::LocalHost, port), 4);
    const std::optional<UdpDatagram> datagram = receiveWithin(socket, 5000);
    QVERIFY(datagram);
    QCOMPARE(datagram->bytes, (std::vector<std::uint8_t>{'n', 'e', 'x', 't'}));
}

void TestUdpSocket::aBoundPortIsNotSharedAndNamesAreRefused()
{
    UdpSocket socket;
    const std::uint16_t port = freePort(QHostAddress::LocalHost);
    QCOMPARE(socket.Bind("127.0.0.1", port), std::string());
    UdpSocket second;
    QVERIFY(!second.Bind("127.0.0.1", port).empty());
    QVERIFY(!second.Bind("", port).empty());
    QVERIFY(!socket.CheckPeer({"localhost", 9000}).empty());
    QVERIFY(!socket.Send({"localhost", 9000}, {1}));
    QCOMPARE(socket.CheckPeer({"127.0.0.1", 9000}), std::string());
    QVERIFY(!UdpSocket().Bind("localhost", port).empty());
}

void TestUdpSocket::everyInterfaceHearsIPv4SendersOnIPv6()
{
    UdpSocket socket;
    const std::uint16_t port = freePort(QHostAddress::AnyIPv6);
    if (port == 0 || !socket.Bind("::", port).empty())
        QSKIP("this machine has no IPv6");
    QUdpSocket surface;
    QCOMPARE(surface.writeDatagram("v4", QHostAddress::LocalHost, port), 2);
    const std::optional<UdpDatagram> datagram = receiveWithin(socket, 5000);
    QVERIFY(datagram);
    QCOMPARE(datagram->from.host, std::string("::ffff:127.0.0.1"));
}

QTEST_GUILESS_MAIN(TestUdpSocket)
#include "tst_udpsocket.moc"
