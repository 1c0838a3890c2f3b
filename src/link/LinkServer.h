#pragma once

#include "link/LinkMessage.h"
#include "link/LocalSocket.h"

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <map>

class LinkConnection;
class QSocketNotifier;

// A service with one item in text format, as this program and the prompter tool offer one.
// A conversation on the item's topic (matched ignoring case) reaches the item, whose name is
// matched exactly; a conversation on another accepted topic is served but offers no item.
class LinkServer : public QObject {
    Q_OBJECT
public:
    LinkServer(QString topic, QString item, QObject* parent = nullptr);
    ~LinkServer() override;

    // Serves `serviceName` at its socket; the reason, with the system's words, when it cannot.
    QString Register(const QString& serviceName);
    // Ends every conversation and removes the socket.
    void Unregister();
    bool IsRegistered() const { return listened_.fd >= 0; }
    const std::filesystem::path& SocketPath() const { return path_; }

    // Captions of the program's other windows: accepted as topics, without an item.
    std::function<QStringList()> OtherTopics;
    // Runs for every poke of the item with the item's text, its first line, before the
    // poke is acknowledged.
    std::function<void(const QString& text)> PokeData;

    // What the last poke left in the item: a request or an advise returns these lines.
    const QStringList& Lines() const { return lines_; }

    static constexpr int MaxConversations = 64;
    static constexpr int RetryInterval = 100;

signals:
    void conversationOpened(const QString& topic);
    void conversationClosed(const QString& reason);

private:
    struct Conversation {
        bool connected = false;
        bool ownsItem = false;
        bool advising = false;
    };

    void AcceptConversations();
    void Received(LinkConnection* connection, const LinkMessage& message);
    bool AcceptsTopic(const QString& topic) const;
    bool IsItem(const Conversation& conversation, const QByteArray& item) const;
    void Poke(LinkConnection* connection, const LinkMessage& message);

    const QString topic_;
    const QByteArray item_;
    std::filesystem::path path_;
    LocalSocket::Result listened_;
    QSocketNotifier* incoming_ = nullptr;
    std::map<LinkConnection*, Conversation> conversations_;
    QStringList lines_;
};
