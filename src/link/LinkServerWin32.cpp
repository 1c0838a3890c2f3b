#include "link/LinkServer.h"

#include "link/DdeInstanceWin32.h"

#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

namespace {

HDDEDATA Answer(bool done)
{
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(done ? DDE_FACK : DDE_FNOTPROCESSED));
}

HDDEDATA Accept(bool accepted)
{
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(accepted ? TRUE : FALSE));
}

// Whether a program answers `service` already. Connecting asks every top-level window and waits
// for each, so it is done on a thread of its own with an instance of its own, for at most
// CheckWait; meanwhile this thread answers what is sent to its own windows. A window that holds
// the check up longer cannot tell that another program serves it, and the service is taken.
bool ServedElsewhere(const QString& service)
{
    constexpr DWORD CheckWait = 1000;
    enum : int { Checking, Free, Served };
    const auto result = std::make_shared<std::atomic<int>>(Checking);
    std::thread([result, name = service.toStdWString()] {
        DWORD id = 0;
        if (DdeInitializeW(&id, [](UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) -> HDDEDATA { return nullptr; },
                           APPCLASS_STANDARD | APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR) {
            *result = Free;
            return;
        }
        const HSZ hsz = DdeCreateStringHandleW(id, name.c_str(), CP_WINUNICODE);
        const HCONV other = DdeConnect(id, hsz, nullptr, nullptr);
        *result = other ? Served : Free;
        if (other)
            DdeDisconnect(other);
        DdeFreeStringHandle(id, hsz);
        DdeUninitialize(id);
    }).detach();
    const DWORD until = GetTickCount() + CheckWait;
    while (*result == Checking && GetTickCount() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return *result == Served;
}

} // namespace

// The service under the DDE name service. A conversation is DDEML's: the server sees a connect,
// its confirmation, the transactions in it and the partner's disconnect, all on the window
// thread while its event loop dispatches messages.
struct LinkServer::Dde : DdeParty {
    struct Conversation {
        bool ownsItem = false;
        QTimer* idle = nullptr;
    };

    explicit Dde(LinkServer& owner) : server(owner) {}
    ~Dde() override { Withdraw(); }

    QString Register(const QString& serviceName);
    void Withdraw();
    HDDEDATA Transaction(const DdeCall& call) override;
    HDDEDATA Offered(const DdeCall& call);
    HDDEDATA InConversation(const DdeCall& call);

    bool IsItem(HCONV conv, HSZ item) const;
    HDDEDATA Poke(const DdeCall& call);
    void Close(HCONV conv, const QString& reason);

    LinkServer& server;
    std::unique_ptr<DdeInstance> instance;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    std::map<HCONV, Conversation> conversations;
};

QString LinkServer::Dde::Register(const QString& serviceName)
{
    if (serviceName.isEmpty() || serviceName.size() > 255)
        return QStringLiteral("\"%1\" cannot name a DDE service").arg(serviceName);
    QString error;
    instance = DdeInstance::Make(*this, CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, &error);
    if (!instance)
        return error;
    service = instance->String(serviceName);
    topic = instance->String(server.topic_);
    item = instance->String(QString::fromUtf8(server.item_));
    // A service that another program answers already is left to it.
    if (ServedElsewhere(serviceName)) {
        Withdraw();
        return QStringLiteral("another program serves \"%1\"").arg(serviceName);
    }
    if (!DdeNameService(instance->Id(), service, nullptr, DNS_REGISTER)) {
        error = DdeInstance::ErrorText(DdeGetLastError(instance->Id()));
        Withdraw();
        return error;
    }
    return {};
}

void LinkServer::Dde::Withdraw()
{
    if (!instance)
        return;
    bool partnerHung = false;
    while (!conversations.empty()) {
        const HCONV conv = conversations.begin()->first;
        if (DdeInstance::PartnerTakesMessages(conv))
            DdeDisconnect(conv);
        else
            partnerHung = true;
        Close(conv, QStringLiteral("the service ends"));
    }
    DdeNameService(instance->Id(), service, nullptr, DNS_UNREGISTER);
    if (partnerHung) {
        DdeInstance::Abandon(std::move(instance));
    } else {
        instance->Free(service);
        instance->Free(topic);
        instance->Free(item);
        instance.reset();
    }
    service = topic = item = nullptr;
}

HDDEDATA LinkServer::Dde::Transaction(const DdeCall& call)
{
    switch (call.type) {
    case XTYP_CONNECT:
    case XTYP_WILDCONNECT:
    case XTYP_CONNECT_CONFIRM:
        return Offered(call);
    default:
        if (conversations.count(call.conv) == 0)
            return call.type == XTYP_POKE || call.type == XTYP_EXECUTE ? Answer(false) : nullptr;
        return InConversation(call);
    }
}

HDDEDATA LinkServer::Dde::Offered(const DdeCall& call)
{
    switch (call.type) {
    case XTYP_CONNECT: {
        if (!instance->SameName(call.hsz2, service) || conversations.size() >= MaxConversations)
            return nullptr;
        const QString asked = instance->Text(call.hsz1);
        return Accept(instance->SameName(call.hsz1, topic) || server.AcceptsTopic(asked));
    }
    case XTYP_WILDCONNECT: {
        // Only the item's topic is listed; the others are reached by name.
        if ((call.hsz2 && !instance->SameName(call.hsz2, service)) || (call.hsz1 && !instance->SameName(call.hsz1, topic))
            || conversations.size() >= MaxConversations)
            return nullptr;
        HSZPAIR pairs[2] = {{service, topic}, {nullptr, nullptr}};
        return DdeCreateDataHandle(instance->Id(), reinterpret_cast<LPBYTE>(pairs), sizeof pairs, 0, nullptr, 0, 0);
    }
    case XTYP_CONNECT_CONFIRM: {
        const HCONV conv = call.conv;
        auto* idle = new QTimer(&server);
        idle->setSingleShot(true);
        // A partner that takes no messages keeps its place until it does again or goes: ending
        // the conversation now would hold the window thread.
        QObject::connect(idle, &QTimer::timeout, &server, [this, conv, idle] {
            if (!DdeInstance::PartnerTakesMessages(conv)) {
                idle->start(server.idleTimeout_);
                return;
            }
            DdeDisconnect(conv);
            Close(conv, QStringLiteral("the partner sent nothing"));
        });
        idle->start(server.idleTimeout_);
        conversations[conv] = Conversation{instance->SameName(call.hsz1, topic), idle};
        emit server.conversationOpened(instance->Text(call.hsz1));
        return nullptr;
    }
    default:
        return nullptr;
    }
}

// DDE names are atoms, one for all spellings of a name: the text of an atom is the spelling it was
// made with first, whoever made it, so the item's name can only match ignoring case.
bool LinkServer::Dde::IsItem(HCONV conv, HSZ asked) const
{
    const auto found = conversations.find(conv);
    return found != conversations.end() && found->second.ownsItem && instance->SameName(asked, item);
}

HDDEDATA LinkServer::Dde::InConversation(const DdeCall& call)
{
    if (const auto found = conversations.find(call.conv); found != conversations.end())
        found->second.idle->start(server.idleTimeout_);
    switch (call.type) {
    case XTYP_POKE:
        return Poke(call);
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
        if (call.format != CF_TEXT || !IsItem(call.conv, call.hsz2))
            return nullptr;
        return instance->MakeData(server.RequestAnswer(), call.hsz2, CF_TEXT);
    case XTYP_ADVSTART:
        return Accept(call.format == CF_TEXT && IsItem(call.conv, call.hsz2));
    case XTYP_EXECUTE:
        return Answer(false);
    case XTYP_DISCONNECT:
        Close(call.conv, QStringLiteral("the partner ended the conversation"));
        return nullptr;
    default:
        return nullptr;
    }
}

HDDEDATA LinkServer::Dde::Poke(const DdeCall& call)
{
    QByteArray bytes;
    if (call.format != CF_TEXT || !IsItem(call.conv, call.hsz2) || !instance->Data(call.data, LinkLimits::MaxPayload, &bytes))
        return Answer(false);
    server.lines_ = TextLines(bytes);
    if (server.PokeData)
        server.PokeData(server.lines_.value(0));
    // Posted once the poke has been answered, as a change notice follows its acknowledgement.
    QTimer::singleShot(0, &server, [this] {
        if (instance)
            DdePostAdvise(instance->Id(), topic, item);
    });
    return Answer(true);
}

void LinkServer::Dde::Close(HCONV conv, const QString& reason)
{
    const auto found = conversations.find(conv);
    if (found == conversations.end())
        return;
    found->second.idle->deleteLater();
    conversations.erase(found);
    emit server.conversationClosed(reason);
}

LinkServer::LinkServer(QString topic, QString item, QObject* parent)
    : QObject(parent), dde_(std::make_unique<Dde>(*this)), topic_(std::move(topic)), item_(item.toUtf8())
{
}

LinkServer::~LinkServer()
{
    Unregister();
}

QString LinkServer::Register(const QString& serviceName)
{
    Unregister();
    return dde_->Register(serviceName);
}

void LinkServer::Unregister()
{
    dde_->Withdraw();
}

bool LinkServer::IsRegistered() const
{
    return dde_->service != nullptr;
}
