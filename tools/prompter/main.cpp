// prompter: the prompting application's side of the link, for users and tests.
//   prompter take NAME [--service S]   pokes NAME into a running program
//   prompter serve [--service S]       serves "Telvio" and prints every announcement

#include "link/LinkConnection.h"
#include "link/LinkServer.h"
#include "link/LocalSocket.h"
#include "link/ServiceSocket.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const Usage =
    "usage: prompter take NAME [--service SERVICE]\n"
    "         pokes NAME into the running program (service \"Elevra\"); exit code 0 when it\n"
    "         was processed, 1 when refused, 2 when the program could not be reached\n"
    "       prompter serve [--service SERVICE]\n"
    "         serves the topic \"Telvio\" under SERVICE (\"Telvio - Vantora\") and prints every\n"
    "         announcement it receives on a line of its own, until SIGTERM or SIGINT\n";

constexpr int TakeTimeout = 5000;

void say(const QString& text)
{
    std::fprintf(stderr, "prompter: %s\n", qPrintable(text));
}

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

int stopPipe[2] = {-1, -1};

void stopSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

int serve(const QString& service)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) != 0)
        return 1;
    std::signal(SIGTERM, stopSignal);
    std::signal(SIGINT, stopSignal);
    QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });

    LinkServer server(QStringLiteral("Telvio"), QStringLiteral("DdeTelvioServerItem"));
    server.PokeData = [](const QString& text) {
        std::printf("%s\n", text.toLocal8Bit().constData());
        std::fflush(stdout);
    };
    QObject::connect(&server, &LinkServer::conversationOpened,
                     [](const QString& topic) { say(QStringLiteral("conversation on \"%1\"").arg(topic)); });
    QObject::connect(&server, &LinkServer::conversationClosed,
                     [](const QString& reason) { say(QStringLiteral("conversation ended: %1").arg(reason)); });
    if (const QString error = server.Register(service); !error.isEmpty()) {
        say(error);
        return 1;
    }
    say(QStringLiteral("serving at %1").arg(QString::fromStdString(server.SocketPath().string())));
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString service;
    if (const qsizetype at = args.indexOf(QStringLiteral("--service")); at >= 0 && at + 1 < args.size()) {
        service = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() == 2 && args[0] == u"take")
        return take(args[1], service.isEmpty() ? QStringLiteral("Elevra") : service);
    if (args.size() == 1 && args[0] == u"serve")
        return serve(service.isEmpty() ? QStringLiteral("Telvio - Vantora") : service);
    std::fputs(Usage, args.isEmpty() || args[0] == u"--help" ? stdout : stderr);
    return args.isEmpty() || args[0] == u"--help" ? 0 : 64;
}
