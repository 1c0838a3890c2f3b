#include "view/ViewHttpServer.h"

#include "view/ShowView.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace {

using Status = QHttpServerResponder::StatusCode;

// Everything the page needs comes from here; nothing may frame it or be fetched elsewhere.
const QByteArray PagePolicy = "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
                              "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

struct Resource {
    const char* path;
    const char* file;
    const char* type;
};
const Resource Resources[] = {
    {"/", ":/view/index.html", "text/html; charset=utf-8"},
    {"/view.js", ":/view/view.js", "text/javascript; charset=utf-8"},
    {"/view.css", ":/view/view.css", "text/css; charset=utf-8"},
};

void answer(const QHttpServerRequest& request, QHttpServerResponder responder, Status status, const QByteArray& type,
            const QByteArray& body, qint64 retryAfterMs = 0)
{
    responder.writeStatusLine(status);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(request.method() == QHttpServerRequest::Method::Head ? 0 : body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("X-Frame-Options", "DENY");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    responder.writeHeader("Content-Security-Policy", PagePolicy);
    if (retryAfterMs > 0)
        responder.writeHeader("Retry-After", QByteArray::number((retryAfterMs + 999) / 1000));
    responder.writeBody(request.method() == QHttpServerRequest::Method::Head ? QByteArray() : body);
}

void answerText(const QHttpServerRequest& request, QHttpServerResponder responder, Status status, const QByteArray& text)
{
    answer(request, std::move(responder), status, "text/plain; charset=utf-8", text + '\n');
}

} // namespace

void ViewTcpServer::markWebSocket(const QHostAddress& peer, quint16 port)
{
    for (const QPointer<QTcpSocket>& socket : sockets_)
        if (socket && socket->peerPort() == port && socket->peerAddress() == peer)
            socket->setProperty("webSocket", true);
}

void ViewTcpServer::incomingConnection(qintptr descriptor)
{
    std::erase_if(sockets_, [](const QPointer<QTcpSocket>& s) { return !s || s->state() == QAbstractSocket::UnconnectedState; });
    if (int(sockets_.size()) >= MaxConnections) {
        ::close(int(descriptor));
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    socket->setReadBufferSize(ReadBuffer);
    QTimer::singleShot(Lifetime, socket, [socket] {
        if (!socket->property("webSocket").toBool())
            socket->abort();
    });
    sockets_.emplace_back(socket);
    addPendingConnection(socket);
}

bool ViewHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    using Method = QHttpServerRequest::Method;
    // Asked before a WebSocket is handed over: nothing is written, and a refusal is answered
    // by missingHandler before the connection closes.
    if (request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return request.url().path() == u"/ws" && view_.webSocketAllowed(request.value("Host"), request.value("Origin"));
    if (!view_.hostAllowed(request.value("Host"))) {
        answerText(request, makeResponder(request, socket), Status::Forbidden, "This page is served under the address of this machine only.");
        return true;
    }
    const QString path = request.url().path();
    if (path == u"/api/command") {
        if (request.method() != Method::Post) {
            answerText(request, makeResponder(request, socket), Status::MethodNotAllowed, "Commands are posted, with the token in a header.");
            return true;
        }
        const ShowView::CommandAnswer outcome = view_.headerCommand(socket->peerAddress(), request.value("Authorization"),
                                                                    request.value("Content-Type").startsWith("application/json")
                                                                        ? request.body()
                                                                        : QByteArray());
        answer(request, makeResponder(request, socket), Status(outcome.status), "application/json", outcome.body, outcome.retryAfterMs);
        return true;
    }
    for (const Resource& resource : Resources) {
        if (path != QLatin1String(resource.path))
            continue;
        if (request.method() != Method::Get && request.method() != Method::Head) {
            answerText(request, makeResponder(request, socket), Status::MethodNotAllowed, "Only GET.");
            return true;
        }
        QFile file(QString::fromLatin1(resource.file));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        answer(request, makeResponder(request, socket), Status::Ok, resource.type, file.readAll());
        return true;
    }
    return false;
}

void ViewHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0) {
        answerText(request, makeResponder(request, socket), Status::Forbidden, "Only this program's own page may connect.");
        return;
    }
    answerText(request, makeResponder(request, socket), Status::NotFound, "Not found.");
}
