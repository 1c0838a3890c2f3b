#include "Prompter.h"

#include "link/LinkServer.h"

#include <QCoreApplication>

#include <cstdio>

int serve(const QString& service)
{
    if (!catchStopRequest())
        return 1;
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
    say(QStringLiteral("serving at %1").arg(servingPlace(server, service)));
    return QCoreApplication::exec();
}
