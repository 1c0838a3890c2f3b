#include "Prompter.h"

#include "link/DdeInstanceWin32.h"
#include "link/LinkMessage.h"
#include "link/LinkServer.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// The tool's place in DDE: it serves nothing and opens conversations only while it waits.
struct Tool : DdeParty {
    HDDEDATA Transaction(const DdeCall&) override { return nullptr; }
};

int poke(DdeInstance& dde, const QString& name, const QString& service)
{
    const HSZ serviceName = dde.String(service);
    const HSZ topic = dde.String(QStringLiteral("Conference Stand Control"));
    const HSZ item = dde.String(QStringLiteral("DdeVantoraServerItem"));
    int result = 2;
    if (HCONV conv = DdeConnect(dde.Id(), serviceName, topic, nullptr)) {
        QByteArray data = TextPayload(name);
        DWORD status = 0;
        if (DdeClientTransaction(reinterpret_cast<LPBYTE>(data.data()), static_cast<DWORD>(data.size()), conv, item,
                                 CF_TEXT, XTYP_POKE, TakeTimeout, &status)) {
            result = 0;
        } else if (const UINT code = DdeGetLastError(dde.Id()); code == DMLERR_NOTPROCESSED) {
            say(QStringLiteral("the poke was not processed"));
            result = 1;
        } else {
            say(code == DMLERR_POKEACKTIMEOUT ? QStringLiteral("no answer") : DdeInstance::ErrorText(code));
        }
        DdeDisconnect(conv);
    } else if (HCONV other = DdeConnect(dde.Id(), serviceName, nullptr, nullptr)) {
        DdeDisconnect(other);
        say(QStringLiteral("the program refused the topic"));
        result = 1;
    } else {
        say(QStringLiteral("no program serves \"%1\"").arg(service));
    }
    dde.Free(serviceName);
    dde.Free(topic);
    dde.Free(item);
    return result;
}

BOOL WINAPI stopSignal(DWORD)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

int take(const QString& name, const QString& service)
{
    Tool tool;
    QString error;
    const std::unique_ptr<DdeInstance> dde = DdeInstance::Make(tool, APPCMD_CLIENTONLY, &error);
    if (!dde) {
        say(error);
        return 2;
    }
    return poke(*dde, name, service);
}

int serve(const QString& service)
{
    SetConsoleCtrlHandler(stopSignal, TRUE);
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
    say(QStringLiteral("serving at the DDE service \"%1\"").arg(service));
    return QCoreApplication::exec();
}
