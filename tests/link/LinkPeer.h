#pragma once

// A conversation opened by the test itself, for traffic that the prompter tool never sends.

#include "link/LinkConnection.h"
#include "link/LocalSocket.h"
#include "link/ServiceSocket.h"

#include <QTest>
#include <memory>

class LinkPeer {
public:
    explicit LinkPeer(const QString& service)
    {
        const LocalSocket::Result connected = LocalSocket::Connect(ServiceSocket::For(service).path);
        if (connected.fd < 0)
            return;
        connection = std::make_unique<LinkConnection>(connected.fd, MessageParser::Receiver::Client);
        QObject::connect(connection.get(), &LinkConnection::received, [this](const LinkMessage& m) { got << m; });
        QObject::connect(connection.get(), &LinkConnection::closed, [this] { closed = true; });
    }

    bool connected() const { return connection != nullptr; }
    void send(const QByteArray& bytes) { connection->Send(bytes); }
    // The next message as "VERB field|field payload", or "nothing" when none came in time.
    QByteArray answer(const QByteArray& bytes)
    {
        send(bytes);
        return next();
    }
    QByteArray next()
    {
        if (!QTest::qWaitFor([this] { return !got.isEmpty(); }, 5000))
            return "nothing";
        const LinkMessage m = got.takeFirst();
        QByteArray text = VerbName(m.verb);
        if (!m.fields.isEmpty())
            text += ' ' + m.fields.join('|');
        if (!m.payload.isEmpty())
            text += ' ' + m.payload;
        return text;
    }
    bool waitClosed() { return QTest::qWaitFor([this] { return closed; }, 5000); }

    std::unique_ptr<LinkConnection> connection;
    QList<LinkMessage> got;
    bool closed = false;
};
