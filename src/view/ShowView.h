#pragma once

#include "config/Configuration.h"
#include "view/ShowViewState.h"
#include "view/TokenGate.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QWebSocket;
class ViewHttpServer;

// The show view: a page for the crew, served on the window thread by Qt's HTTP server, kept
// live over WebSockets. Without the token the page only shows; with it, its buttons ask for
// takes as the program's own buttons do.
class ShowView : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxClients = 32;
    // At most 20 updates a second to each client.
    static constexpr int UpdateSpacing = 50;
    // What a client may leave unread before it is dropped.
    static constexpr qint64 MaxUnread = 1 << 20;
    // Every client is pinged this often and dropped when it has not answered for PongTimeout.
    static constexpr int PingInterval = 2000;
    static constexpr int PongTimeout = 6000;
    // Changes that no signal tells of (an edit somewhere) are looked for this often.
    static constexpr int CheckInterval = 1000;

    explicit ShowView(const ShowViewLinks& links, QObject* parent = nullptr);
    ~ShowView() override;

    // Listens when the settings enable it, with the token kept in `tokenFolder` (made there at
    // the first enable). The reason when it cannot, and nothing listens then; empty otherwise.
    QString start(const ShowViewSettings& settings, const std::filesystem::path& tokenFolder);
    bool listening() const { return http_ != nullptr; }
    // What the start has to say once beside a failure: the page seen from the network, or
    // served without control.
    const QStringList& notices() const { return notices_; }
    // The page, and the page with the token; empty when not listening or without a token.
    QString viewUrl() const;
    QString controlUrl() const;
    quint16 port() const { return port_; }

    int clientCount() const { return int(clients_.size()); }
    int controllingClients() const;
    const TokenGate* gate() const { return gate_.get(); }
    ShowViewState& state() { return state_; }

    // For the HTTP server: whether a request's Host may be served (no names but this machine's,
    // so that a name that a foreign page points here is refused); a command with the token in
    // its header; the client's address in the gate's words.
    bool hostAllowed(const QByteArray& host) const;
    // A browser names the page that opens a WebSocket; only this program's own page may, at
    // the address the socket is opened at.
    bool webSocketAllowed(const QByteArray& host, const QByteArray& origin) const;
    struct CommandAnswer {
        int status;  // HTTP status
        QByteArray body;
        qint64 retryAfterMs = 0;
    };
    CommandAnswer headerCommand(const QHostAddress& from, const QByteArray& authorization, const QByteArray& body);

private:
    struct Client;

    void acceptClients();
    void accept(std::unique_ptr<QWebSocket> socket);
    void receive(Client* client, const QString& text);
    void drop(Client* client);
    void send(Client* client, const QByteArray& message);
    void rebuild();
    void sendDue();
    void schedule();
    void ping();
    QByteArray updateFor(const Client& client) const;
    Client* find(const QWebSocket* socket) const;

    ShowViewState state_;
    std::unique_ptr<ViewHttpServer> http_;
    std::unique_ptr<TokenGate> gate_;
    QString token_;
    QString urlHost_;
    quint16 port_ = 0;
    QStringList notices_;
    std::vector<std::unique_ptr<Client>> clients_;
    QElapsedTimer clock_;
    QTimer rebuildTime_;
    QTimer paceTime_;
    QTimer pingTime_;
    QTimer checkTime_;
    QByteArray stands_;
    QByteArray show_;
    quint64 standsVersion_ = 0;
    quint64 showVersion_ = 0;
};
