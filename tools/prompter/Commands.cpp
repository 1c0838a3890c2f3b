#include "Prompter.h"

#include "link/LinkConnection.h"
#include "link/LinkServer.h"
#include "link/LocalSocket.h"
#include "link/ServiceSocket.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void stopSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

} // namespace

int take(const QString& name, const QString& service)
{
    const ServiceSocket socket = ServiceSocket::For(service);
    const LocalSocket::Result connected =
        socket.error.isEmpty() ? LocalSocket::Connect(socket.path) : LocalSocket::Result{-1, socket.error.toStdString()};
    if (connected.fd < 0) {
        say(QString::fromStdString(connected.error));
        return 2;
    }
    LinkConnection conversation(connected.fd, MessageParser::Receiver::Client);
    int result = 2;
    bool poked = false;
    QObject::connect(&conversation, &LinkConnection::received, [&](const LinkMessage& message) {
        if (message.verb != LinkVerb::Ack && message.verb != LinkVerb::Nack)
            return;
        if (!poked && message.verb == LinkVerb::Ack) {
            poked = true;
            conversation.Send(EncodeMessage(LinkVerb::Poke, {"DdeVantoraServerItem", TextFormat}, TextPayload(name)));
            return;
        }
        if (message.verb == LinkVerb::Nack)
            say(poked ? QStringLiteral("the poke was not processed") : QStringLiteral("the program refused the topic"));
        result = message.verb == LinkVerb::Ack ? 0 : 1;
        QCoreApplication::exit(result);
    });
    QObject::connect(&conversation, &LinkConnection::closed, [&](const QString& reason) {
        say(reason);
        QCoreApplication::exit(result);
    });
    QTimer::singleShot(TakeTimeout, [] {
        say(QStringLiteral("no answer"));
        QCoreApplication::exit(2);
    });
    conversation.Send(EncodeMessage(LinkVerb::Connect, {"Conference Stand Control"}));
    return QCoreApplication::exec();
}

bool catchStopRequest()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) != 0)
        return false;
    std::signal(SIGTERM, stopSignal);
    std::signal(SIGINT, stopSignal);
    auto* stop = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(stop, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    return true;
}

QString servingPlace(const LinkServer& server, const QString&)
{
    return QString::fromStdString(server.SocketPath().string());
}
