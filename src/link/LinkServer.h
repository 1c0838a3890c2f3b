#pragma once

#include "link/LinkMessage.h"

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#ifndef Q_OS_WIN
#include "link/LocalSocket.h"
class LinkConnection;
class QSocketNotifier;
#endif
class QTimer;

// A service with one item in text format, as this program and the prompter tool offer one.
// A conversation on the item's topic (matched ignoring case) reaches the item, whose name is
// matched exactly; a conversation on another accepted topic is served but offers no item.
class LinkServer : public QObject {
    Q_OBJECT
public:
    LinkServer(QString topic, QString item, QObject* parent = nullptr);
    ~LinkServer() override;

    // Serves `serviceName` (at its socket, or under the DDE name service); the reason, with the
    // system's words, when it cannot.
    QString Register(const QString& serviceName);
    // Ends every conversation and withdraws the service.
    void Unregister();
    bool IsRegistered() const;
#ifndef Q_OS_WIN
    const std::filesystem::path& SocketPath() const { return path_; }
#endif

    // Captions of the program's other windows: accepted as topics, without an item.
    std::function<QStringList()> OtherTopics;
    // Runs for every poke of the item with the item's text, its first line, before the
    // poke is acknowledged.
    std::function<void(const QString& text)> PokeData;

    // What the last poke left in the item: a request or an advise returns these lines.
    const QStringList& Lines() const { return lines_; }

    static constexpr int MaxConversations = 64;
    static constexpr int RetryInterval = 100;
    // A conversation whose partner sends no message for this long is closed, so that partners
    // that hold conversations without using them cannot keep out the others.
    static constexpr int DefaultIdleTimeout = 60 * 1000;
    void SetIdleTimeout(int milliseconds) { idleTimeout_ = milliseconds; }

signals:
    void conversationOpened(const QString& topic);
    void conversationClosed(const QString& reason);

private:
#ifdef Q_OS_WIN
    // The service under DDEML (LinkServerWin32.cpp).
    struct Dde;
    friend struct Dde;
    std::unique_ptr<Dde> dde_;
#else
    struct Conversation {
        bool connected = false;
        bool ownsItem = false;
        bool advising = false;
        QTimer* idle = nullptr;
    };

    void AcceptConversations();
    void Received(LinkConnection* connection, const LinkMessage& message);
    bool IsItem(const Conversation& conversation, const QByteArray& item) const;
    void Poke(LinkConnection* connection, const LinkMessage& message);

    std::filesystem::path path_;
    LocalSocket::Result listened_;
    QSocketNotifier* incoming_ = nullptr;
    std::map<LinkConnection*, Conversation> conversations_;
#endif
    // LinkServerItem.cpp, on every platform.
    bool AcceptsTopic(const QString& topic) const;
    QByteArray RequestAnswer() const;

    const QString topic_;
    const QByteArray item_;
    QStringList lines_;
    int idleTimeout_ = DefaultIdleTimeout;
};
