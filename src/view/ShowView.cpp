#include "view/ShowView.h"

#include "view/TokenFile.h"
#include "view/ViewHttpServer.h"

#include <QHostInfo>
#include <QJsonDocument>
#include <QNetworkInterface>
#include <QNetworkRequest>
#include <QWebSocket>

#include <algorithm>

namespace {

// What a client may send in one message: a command or its token, nothing large.
constexpr quint64 MaxIncoming = 4096;

QString urlHost(const QHostAddress& address)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address.toString() + u']' : address.toString();
}

// The address that others reach this machine under, for a server that listens on every one.
QHostAddress reachableAddress(const QHostAddress& listening)
{
    if (listening != QHostAddress::AnyIPv4 && listening != QHostAddress::AnyIPv6 && listening != QHostAddress::Any)
        return listening;
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    return QHostAddress(QHostAddress::LocalHost);
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

struct ShowView::Client {
    std::unique_ptr<QWebSocket> socket;
    QString address;
    bool control = false;
    quint64 standsSent = 0;
    quint64 showSent = 0;
    std::optional<qint64> sentAt;
    qint64 answeredAt = 0;
};

ShowView::ShowView(const ShowViewLinks& links, QObject* parent) : QObject(parent), state_(links)
{
    clock_.start();
    rebuildTime_.setSingleShot(true);
    rebuildTime_.setInterval(0);
    connect(&rebuildTime_, &QTimer::timeout, this, &ShowView::rebuild);
    paceTime_.setSingleShot(true);
    paceTime_.setTimerType(Qt::PreciseTimer);
    connect(&paceTime_, &QTimer::timeout, this, &ShowView::sendDue);
    pingTime_.setInterval(PingInterval);
    connect(&pingTime_, &QTimer::timeout, this, &ShowView::ping);
    checkTime_.setInterval(CheckInterval);
    connect(&checkTime_, &QTimer::timeout, this, &ShowView::rebuild);
}

ShowView::~ShowView()
{
    for (const std::unique_ptr<Client>& client : clients_)
        client->socket->abort();
}

QString ShowView::start(const ShowViewSettings& settings, const std::filesystem::path& tokenFolder)
{
    if (!settings.Enabled)
        return {};
    if (settings.Port < 1 || settings.Port > 65535)
        return QStringLiteral("the port %1 is not a port number from 1 to 65535").arg(settings.Port);
    const QHostAddress address(settings.ListenAddress.trimmed());
    if (address.isNull())
        return QStringLiteral("the listen address \"%1\" is not a numeric IP address").arg(settings.ListenAddress);

    auto tcp = std::make_unique<ViewTcpServer>();
    if (!tcp->listen(address, quint16(settings.Port)))
        return QStringLiteral("%1 port %2: %3").arg(address.toString(), QString::number(settings.Port), tcp->errorString());
    port_ = tcp->serverPort();
    http_ = std::make_unique<ViewHttpServer>(*this);
    http_->bind(tcp.release());
    connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &ShowView::acceptClients);
    urlHost_ = urlHost(reachableAddress(address));

    const TokenFileResult token = loadOrMakeToken(tokenFolder);
    if (token.token.empty())
        notices_ << QStringLiteral("The show view is served without control: %1").arg(QString::fromStdString(token.reason));
    token_ = QString::fromStdString(token.token);
    gate_ = std::make_unique<TokenGate>(token_.toLatin1());
    if (!address.isLoopback())
        notices_ << QStringLiteral("The show can be seen from the network at %1 and, with the token, driven from there.")
                        .arg(viewUrl());

    connect(&state_, &ShowViewState::changed, &rebuildTime_, qOverload<>(&QTimer::start));
    rebuild();
    return {};
}

QString ShowView::viewUrl() const
{
    return listening() ? QStringLiteral("http://%1:%2/").arg(urlHost_).arg(port_) : QString();
}

QString ShowView::controlUrl() const
{
    return listening() && !token_.isEmpty() ? viewUrl() + QStringLiteral("?token=") + token_ : QString();
}

int ShowView::controllingClients() const
{
    return int(std::count_if(clients_.begin(), clients_.end(), [](const auto& c) { return c->control; }));
}

bool ShowView::hostAllowed(const QByteArray& host) const
{
    // The name part of "name:port" or "[v6]:port".
    QString name = QString::fromLatin1(host).trimmed().toLower();
    if (name.startsWith(u'[')) {
        const qsizetype end = name.indexOf(u']');
        if (end < 0)
            return false;
        name = name.mid(1, end - 1);
    } else if (const qsizetype colon = name.lastIndexOf(u':'); colon >= 0) {
        name.truncate(colon);
    }
    if (name.isEmpty())
        return false;
    if (!QHostAddress(name).isNull() || name == u"localhost")
        return true;
    const QString machine = QHostInfo::localHostName().toLower();
    return !machine.isEmpty() && (name == machine || name == machine + QStringLiteral(".local"));
}

bool ShowView::webSocketAllowed(const QByteArray& host, const QByteArray& origin) const
{
    return hostAllowed(host) && origin.compare("http://" + host, Qt::CaseInsensitive) == 0;
}

ShowView::CommandAnswer ShowView::headerCommand(const QHostAddress& from, const QByteArray& authorization,
                                                const QByteArray& body)
{
    if (token_.isEmpty())
        return {403, json({{"ok", false}, {"reason", "control is off"}})};
    const QByteArray token = authorization.startsWith("Bearer ") ? authorization.mid(7).trimmed() : QByteArray();
    switch (gate_->check(from.toString(), token, clock_.elapsed())) {
    case TokenGate::Verdict::Wait: {
        const qint64 wait = gate_->waitLeft(from.toString(), clock_.elapsed());
        return {429, json({{"ok", false}, {"reason", "too many wrong tokens: wait"}, {"waitMs", wait}}), wait};
    }
    case TokenGate::Verdict::Wrong:
        return {403, json({{"ok", false}, {"reason", "wrong token"}})};
    case TokenGate::Verdict::Accepted:
        break;
    }
    const QJsonDocument document = body.size() <= qsizetype(MaxIncoming) ? QJsonDocument::fromJson(body) : QJsonDocument();
    if (!document.isObject())
        return {400, json({{"ok", false}, {"reason", "a JSON object with the command is expected"}})};
    const ShowViewState::Result result = state_.carryOut(document.object());
    return {200, json({{"ok", result.ok}, {"reason", result.reason}})};
}

void ShowView::acceptClients()
{
    while (std::unique_ptr<QWebSocket> socket = http_->nextPendingWebSocketConnection())
        accept(std::move(socket));
}

void ShowView::accept(std::unique_ptr<QWebSocket> socket)
{
    if (auto* tcp = http_->servers().isEmpty() ? nullptr : qobject_cast<ViewTcpServer*>(http_->servers().first()))
        tcp->markWebSocket(socket->peerAddress(), socket->peerPort());
    // Checked again here, whatever the HTTP server asked before it handed the socket over.
    const QString refusal = !webSocketAllowed(socket->request().rawHeader("Host"), socket->origin().toLatin1())
                                ? QStringLiteral("origin refused")
                            : clients_.size() >= size_t(MaxClients) ? QStringLiteral("too many clients")
                                                                    : QString();
    if (!refusal.isEmpty()) {
        QWebSocket* refused = socket.release();
        connect(refused, &QWebSocket::disconnected, refused, &QObject::deleteLater);
        refused->close(QWebSocketProtocol::CloseCodePolicyViolated, refusal);
        // One that does not finish the closing handshake goes anyway.
        QTimer::singleShot(2000, refused, &QObject::deleteLater);
        return;
    }
    socket->setMaxAllowedIncomingFrameSize(MaxIncoming);
    socket->setMaxAllowedIncomingMessageSize(MaxIncoming);
    auto client = std::make_unique<Client>();
    client->address = socket->peerAddress().toString();
    client->answeredAt = clock_.elapsed();
    QWebSocket* raw = socket.get();
    client->socket = std::move(socket);
    connect(raw, &QWebSocket::textMessageReceived, this, [this, raw](const QString& text) {
        if (Client* c = find(raw))
            receive(c, text);
    });
    connect(raw, &QWebSocket::pong, this, [this, raw] {
        if (Client* c = find(raw))
            c->answeredAt = clock_.elapsed();
    });
    connect(raw, &QWebSocket::disconnected, this, [this, raw] {
        if (Client* c = find(raw))
            drop(c);
    });
    Client* added = clients_.emplace_back(std::move(client)).get();
    send(added, json({{"type", "hello"}, {"control", false}}));
    if (!pingTime_.isActive())
        pingTime_.start();
    if (!checkTime_.isActive())
        checkTime_.start();
    schedule();
}

ShowView::Client* ShowView::find(const QWebSocket* socket) const
{
    const auto it = std::find_if(clients_.begin(), clients_.end(), [socket](const auto& c) { return c->socket.get() == socket; });
    return it == clients_.end() ? nullptr : it->get();
}

void ShowView::receive(Client* client, const QString& text)
{
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString type = message.value("type").toString();
    if (type == u"auth" && token_.isEmpty()) {
        send(client, json({{"type", "auth"}, {"control", false}, {"reason", "control is off"}}));
    } else if (type == u"auth") {
        const qint64 now = clock_.elapsed();
        const TokenGate::Verdict verdict = gate_->check(client->address, message.value("token").toString().toLatin1(), now);
        client->control = verdict == TokenGate::Verdict::Accepted;
        QJsonObject answer{{"type", "auth"}, {"control", client->control}};
        if (verdict == TokenGate::Verdict::Wrong)
            answer.insert("reason", "wrong token");
        if (verdict == TokenGate::Verdict::Wait) {
            answer.insert("reason", "too many wrong tokens: wait");
            answer.insert("waitMs", gate_->waitLeft(client->address, now));
        }
        send(client, json(answer));
    } else if (type == u"command") {
        const QString command = message.value("command").toString().left(16);
        const ShowViewState::Result result = client->control ? state_.carryOut(message)
                                                             : ShowViewState::Result{false, QStringLiteral("view only")};
        send(client, json({{"type", "result"}, {"command", command}, {"ok", result.ok}, {"reason", result.reason}}));
    }
}

void ShowView::drop(Client* client)
{
    const auto it = std::find_if(clients_.begin(), clients_.end(), [client](const auto& c) { return c.get() == client; });
    if (it == clients_.end())
        return;
    QWebSocket* socket = (*it)->socket.release();
    clients_.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (clients_.empty()) {
        pingTime_.stop();
        checkTime_.stop();
        paceTime_.stop();
    }
}

void ShowView::send(Client* client, const QByteArray& message)
{
    // A client that does not read what it is sent is dropped rather than given more.
    if (client->socket->bytesToWrite() > MaxUnread) {
        QTimer::singleShot(0, this, [this, socket = client->socket.get()] {
            if (Client* c = find(socket))
                drop(c);
        });
        return;
    }
    client->socket->sendTextMessage(QString::fromUtf8(message));
}

void ShowView::rebuild()
{
    const QByteArray stands = state_.standsJson();
    if (stands != stands_) {
        stands_ = stands;
        ++standsVersion_;
    }
    const QByteArray show = state_.showJson();
    if (show != show_) {
        show_ = show;
        ++showVersion_;
    }
    schedule();
}

QByteArray ShowView::updateFor(const Client& client) const
{
    QByteArray message = "{\"type\":\"state\",\"lineWrongForMs\":" + QByteArray::number(state_.lineWrongFor());
    if (client.standsSent != standsVersion_)
        message += ",\"stands\":" + stands_;
    if (client.showSent != showVersion_)
        message += ",\"show\":" + show_;
    return message + '}';
}

void ShowView::sendDue()
{
    const qint64 now = clock_.elapsed();
    // Copied, since a send may drop a client.
    std::vector<Client*> due;
    for (const std::unique_ptr<Client>& client : clients_)
        if ((client->standsSent != standsVersion_ || client->showSent != showVersion_)
            && (!client->sentAt || now - *client->sentAt >= UpdateSpacing))
            due.push_back(client.get());
    for (Client* client : due) {
        send(client, updateFor(*client));
        client->standsSent = standsVersion_;
        client->showSent = showVersion_;
        client->sentAt = now;
    }
    schedule();
}

void ShowView::schedule()
{
    std::optional<qint64> earliest;
    for (const std::unique_ptr<Client>& client : clients_) {
        if (client->standsSent == standsVersion_ && client->showSent == showVersion_)
            continue;
        const qint64 at = client->sentAt ? *client->sentAt + UpdateSpacing : 0;
        if (!earliest || at < *earliest)
            earliest = at;
    }
    if (!earliest) {
        paceTime_.stop();
        return;
    }
    const int wait = int(std::max<qint64>(0, *earliest - clock_.elapsed()));
    if (!paceTime_.isActive() || paceTime_.remainingTime() > wait)
        paceTime_.start(wait);
}

void ShowView::ping()
{
    const qint64 now = clock_.elapsed();
    std::vector<Client*> silent;
    for (const std::unique_ptr<Client>& client : clients_) {
        if (now - client->answeredAt > PongTimeout)
            silent.push_back(client.get());
        else
            client->socket->ping();
    }
    for (Client* client : silent)
        drop(client);
}
