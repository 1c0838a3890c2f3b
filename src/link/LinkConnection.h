#pragma once

#include "link/MessageParser.h"

#include <QObject>

class QSocketNotifier;

// One conversation's socket on the window thread: it reads whatever has arrived, hands on each
// complete message, and writes without ever waiting for the partner. A server-side connection
// answers a refused message with NACK; either side then closes. From inside its own signals
// only deleteLater() may free it.
class LinkConnection : public QObject {
    Q_OBJECT
public:
    // Takes over `fd`, a connected non-blocking socket.
    LinkConnection(int fd, MessageParser::Receiver receiver, QObject* parent = nullptr);
    ~LinkConnection() override;

    // Queues the bytes; a partner that leaves more than OutboxLimit unread is closed.
    void Send(const QByteArray& bytes);
    // Closes once what is queued has gone out, or after CloseTimeout; nothing more is read.
    void CloseAfterSending(const QString& reason);
    // Closes at once. `closed` is emitted once, whoever closes.
    void Close(const QString& reason);
    bool IsOpen() const { return fd_ >= 0; }

    static constexpr qsizetype OutboxLimit = 1024 * 1024;
    static constexpr int CloseTimeout = 1000;

signals:
    void received(const LinkMessage& message);
    void closed(const QString& reason);

private:
    void ReadAvailable();
    void Flush();

    int fd_;
    MessageParser parser_;
    bool answersRefusals_;
    QSocketNotifier* readable_;
    QSocketNotifier* writable_;
    QByteArray outbox_;
    bool closing_ = false;
    QString closingReason_;
};
