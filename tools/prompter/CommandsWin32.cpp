#include "Prompter.h"

#include "link/DdeInstanceWin32.h"
#include "link/LinkMessage.h"

#include <QCoreApplication>

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
        const bool done = DdeClientTransaction(reinterpret_cast<LPBYTE>(data.data()), static_cast<DWORD>(data.size()),
                                               conv, item, CF_TEXT, XTYP_POKE, TakeTimeout, &status);
        // Some DDEMLs answer a refused poke as done, with the refusal in the acknowledgement.
        if (done && (status & DDE_FACK)) {
            result = 0;
        } else if (const UINT code = done ? UINT(DMLERR_NOTPROCESSED) : DdeGetLastError(dde.Id()); code == DMLERR_NOTPROCESSED) {
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

bool catchStopRequest()
{
    // Without the handler Ctrl+C still ends the tool, only less tidily, so serving goes on.
    SetConsoleCtrlHandler(stopSignal, TRUE);
    return true;
}

QString servingPlace(const LinkServer&, const QString& service)
{
    return QStringLiteral("the DDE service \"%1\"").arg(service);
}
