#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QPointer>
#include <QTcpServer>

#include <vector>

class QTcpSocket;
class ShowView;

// Accepts the connections of the show view's HTTP server, bounded: at most MaxConnections at
// once, no more than ReadBuffer bytes of a request held, and a connection that has not become
// a WebSocket is closed Lifetime ms after it opened, so a client that sends slowly or not at
// all cannot keep the others out for long.
class ViewTcpServer : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int MaxConnections = 64;
    static constexpr qint64 ReadBuffer = 64 * 1024;
    static constexpr int Lifetime = 30000;

    using QTcpServer::QTcpServer;
    // The connection from that peer is now a WebSocket, which looks after itself.
    void markWebSocket(const QHostAddress& peer, quint16 port);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    std::vector<QPointer<QTcpSocket>> sockets_;
};

// The page, its script and style from the program's resources, and commands with the token
// in a header. Nothing that a plain GET asks for changes anything.
class ViewHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit ViewHttpServer(ShowView& view, QObject* parent = nullptr) : QAbstractHttpServer(parent), view_(view) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    ShowView& view_;
};
