#include "link/LinkServer.h"

#include "link/LinkConnection.h"
#include "link/ServiceSocket.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>

#include <unistd.h>

LinkServer::LinkServer(QString topic, QString item, QObject* parent)
    : QObject(parent), topic_(std::move(topic)), item_(item.toUtf8())
{
}

LinkServer::~LinkServer()
{
    Unregister();
}

QString LinkServer::Register(const QString& serviceName)
{
    Unregister();
    const ServiceSocket socket = ServiceSocket::For(serviceName);
    if (!socket.error.isEmpty())
        return socket.error;
    listened_ = LocalSocket::Listen(socket.path);
    if (listened_.fd < 0)
        return QString::fromStdString(listened_.error);
    path_ = socket.path;
    incoming_ = new QSocketNotifier(listened_.fd, QSocketNotifier::Read, this);
    connect(incoming_, &QSocketNotifier::activated, this, &LinkServer::AcceptConversations);
    return {};
}

bool LinkServer::IsRegistered() const
{
    return listened_.fd >= 0;
}

void LinkServer::Unregister()
{
    while (!conversations_.empty())
        conversations_.begin()->first->Close(QStringLiteral("the service ends"));
    if (listened_.fd < 0)
        return;
    delete incoming_;
    incoming_ = nullptr;
    LocalSocket::RemoveListened(path_, listened_);
    ::close(listened_.fd);
    listened_ = {};
}

void LinkServer::AcceptConversations()
{
    for (;;) {
        const LocalSocket::Result accepted = LocalSocket::Accept(listened_.fd);
        if (accepted.code == ECONNABORTED)
            continue;
        if (accepted.fd < 0 && accepted.code != EAGAIN && accepted.code != EINTR) {
            // Out of descriptors or memory: the waiting client stays queued, so look again
            // later rather than at once and forever.
            incoming_->setEnabled(false);
            QTimer::singleShot(RetryInterval, incoming_, [notifier = incoming_] { notifier->setEnabled(true); });
        }
        if (accepted.fd < 0)
            return;
        if (conversations_.size() >= MaxConversations) {
            ::close(accepted.fd);
            continue;
        }
        auto* connection = new LinkConnection(accepted.fd, MessageParser::Receiver::Server, this);
        auto* idle = new QTimer(connection);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, connection, [connection] { connection->Close(QStringLiteral("the partner sent nothing")); });
        idle->start(idleTimeout_);
        conversations_.emplace(connection, Conversation{false, false, false, idle});
        connect(connection, &LinkConnection::received, this, [this, connection, idle](const LinkMessage& message) {
            idle->start(idleTimeout_);
            Received(connection, message);
        });
        connect(connection, &LinkConnection::closed, this, [this, connection](const QString& reason) {
            conversations_.erase(connection);
            connection->deleteLater();
            emit conversationClosed(reason);
        });
    }
}

bool LinkServer::IsItem(const Conversation& conversation, const QByteArray& item) const
{
    return conversation.ownsItem && item == item_;
}

void LinkServer::Received(LinkConnection* connection, const LinkMessage& message)
{
    Conversation& conversation = conversations_.at(connection);
    const auto refuse = [connection](const QString& reason) {
        connection->Send(EncodeMessage(LinkVerb::Nack));
        connection->CloseAfterSending(reason);
    };
    const auto answer = [connection](bool done) { connection->Send(EncodeMessage(done ? LinkVerb::Ack : LinkVerb::Nack)); };

    if (!conversation.connected) {
        if (message.verb != LinkVerb::Connect)
            return refuse(QStringLiteral("a message before CONNECT"));
        const QString topic = QString::fromUtf8(message.fields[0]);
        conversation.ownsItem = topic.compare(topic_, Qt::CaseInsensitive) == 0;
        if (!conversation.ownsItem && !AcceptsTopic(topic))
            return refuse(QStringLiteral("no topic \"%1\"").arg(topic));
        conversation.connected = true;
        answer(true);
        emit conversationOpened(topic);
        return;
    }

    switch (message.verb) {
    case LinkVerb::Connect:
        return refuse(QStringLiteral("a second CONNECT"));
    case LinkVerb::Poke:
        if (IsItem(conversation, message.fields[0]) && message.fields[1] == TextFormat)
            return Poke(connection, message);
        return answer(false);
    case LinkVerb::Request:
        if (IsItem(conversation, message.fields[0]) && message.fields[1] == TextFormat)
            return connection->Send(EncodeMessage(LinkVerb::Data, {}, RequestAnswer()));
        return answer(false);
    case LinkVerb::AdvStart:
        conversation.advising = IsItem(conversation, message.fields[0]) && message.fields[1] == TextFormat
                                && message.fields[2] == "warm";
        return answer(conversation.advising);
    case LinkVerb::AdvStop:
        if (message.fields[0] == item_)
            conversation.advising = false;
        return answer(true);
    default:
        return refuse(QStringLiteral("a verb the server does not take"));
    }
}

void LinkServer::Poke(LinkConnection* connection, const LinkMessage& message)
{
    lines_ = TextLines(message.payload);
    if (PokeData)
        PokeData(lines_.value(0));
    // Collected first: a send may close its connection, which leaves the table.
    QList<LinkConnection*> advising;
    for (const auto& [other, conversation] : conversations_)
        if (conversation.advising)
            advising << other;
    connection->Send(EncodeMessage(LinkVerb::Ack));
    for (LinkConnection* other : advising)
        other->Send(EncodeMessage(LinkVerb::Advise, {item_}));
}
