#include "link/PrompterClient.h"

#include "link/DdeInstanceWin32.h"
#include "link/LinkMessage.h"
#include "link/WriteAccess.h"

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace {

// Announcements that the partner has not answered yet; a partner that lets more pile up has
// stopped reading and is dropped, as a full outbox drops it elsewhere.
constexpr int MaxUnanswered = 64;

QString Quoted(QString word)
{
    if (!word.isEmpty() && !word.contains(u' ') && !word.contains(u'\t') && !word.contains(u'"'))
        return word;
    return u'"' + word.replace(u'"', QStringLiteral("\\\"")) + u'"';
}

} // namespace

// Runs the command line detached and minimised without taking the focus, its first word being
// the program, looked for on PATH only: never in the current folder, which may be a shared one.
bool PrompterClient::StartPartner(const QString& commandLine)
{
    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = QStandardPaths::findExecutable(words.first());
    if (program.isEmpty())
        return false;
    QStringList quoted;
    for (const QString& word : words)
        quoted << Quoted(word);
    std::wstring line = quoted.join(u' ').toStdWString();
    const std::wstring application = QString(program).replace(u'/', u'\\').toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                        nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

// The conversation under DDEML. Connecting is DDEML's one synchronous step; the advise start,
// the request and the pokes are asynchronous transactions whose completions, like the partner's
// disconnect, arrive in the callback and are handled once the callback has returned.
struct PrompterClient::Dde : DdeParty {
    explicit Dde(PrompterClient& owner) : client(owner) {}
    ~Dde() override { End(); }

    // Connects, in the instance of this set-up.
    bool Open();
    // Ends the conversation; one with a partner that takes no messages is left behind with its
    // instance, and the next set-up makes a new one.
    void Drop();
    // Ends the conversation and the instance.
    void End();
    HDDEDATA Transaction(const DdeCall& call) override;
    bool Transact(UINT type, const QByteArray& data, DWORD* id);
    void Completed(DWORD id, bool done);

    PrompterClient& client;
    // Made for each set-up and ended with it, so that nothing a partner left behind (one that
    // ended without a word) stands in the way of the next conversation.
    std::unique_ptr<DdeInstance> instance;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    HCONV conv = nullptr;
    UINT format = CF_TEXT;
    DWORD awaited = 0;  // the advise start or request whose answer the set-up waits for
    int unanswered = 0;
};

bool PrompterClient::Dde::Open()
{
    Drop();
    if (client.service_.isEmpty() || client.service_.size() > 255)
        return false;
    if (!instance) {
        QString error;
        instance = DdeInstance::Make(*this, APPCMD_CLIENTONLY | CBF_SKIP_UNREGISTRATIONS, &error);
        if (!instance) {
            qWarning("The prompter link is not set up: %s", qPrintable(error));
            return false;
        }
        service = instance->String(client.service_);
        topic = instance->String(Topic);
        item = instance->String(Item);
    }
    conv = DdeConnect(instance->Id(), service, topic, nullptr);
    if (!conv)
        return false;
    CONVINFO info{};
    info.cb = sizeof info;
    format = DdeQueryConvInfo(conv, QID_SYNC, &info) && info.wFmt ? info.wFmt : CF_TEXT;
    return true;
}

void PrompterClient::Dde::Drop()
{
    if (conv && DdeInstance::PartnerTakesMessages(conv)) {
        DdeDisconnect(conv);
    } else if (conv) {
        DdeInstance::Abandon(std::move(instance));
        service = topic = item = nullptr;
    }
    conv = nullptr;
    awaited = 0;
    unanswered = 0;
}

void PrompterClient::Dde::End()
{
    Drop();
    if (!instance)
        return;
    instance->Free(service);
    instance->Free(topic);
    instance->Free(item);
    service = topic = item = nullptr;
    instance.reset();
}

bool PrompterClient::Dde::Transact(UINT type, const QByteArray& data, DWORD* id)
{
    *id = 0;
    auto* bytes = reinterpret_cast<LPBYTE>(const_cast<char*>(data.constData()));
    return conv && DdeClientTransaction(data.isEmpty() ? nullptr : bytes, static_cast<DWORD>(data.size()), conv, item,
                                        format, type, TIMEOUT_ASYNC, id);
}

HDDEDATA PrompterClient::Dde::Transaction(const DdeCall& call)
{
    switch (call.type) {
    case XTYP_REGISTER:
        // A partner that was just started announces its service when it registers it.
        if (client.stage_ == Stage::AwaitingPartner && instance->SameName(call.hsz1, service))
            QMetaObject::invokeMethod(&client, [this] {
                if (client.stage_ == Stage::AwaitingPartner && client.Connect())
                    client.partnerTimer_.stop();
            }, Qt::QueuedConnection);
        return nullptr;
    case XTYP_XACT_COMPLETE: {
        const DWORD id = static_cast<DWORD>(call.data1);
        const bool done = call.data != nullptr;
        QMetaObject::invokeMethod(&client, [this, id, done] { Completed(id, done); }, Qt::QueuedConnection);
        return nullptr;
    }
    case XTYP_DISCONNECT:
        if (call.conv == conv) {
            conv = nullptr;
            QMetaObject::invokeMethod(&client, [this] {
                if (conv)
                    return;
                client.PartnerClosed();
            }, Qt::QueuedConnection);
        }
        return nullptr;
    case XTYP_ADVDATA:
        // Change notices are not used.
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
    default:
        return nullptr;
    }
}

void PrompterClient::Dde::Completed(DWORD id, bool done)
{
    if (id == 0 || id != awaited) {
        unanswered = std::max(0, unanswered - 1);
        return;
    }
    awaited = 0;
    if (client.stage_ == Stage::Advising && done) {
        client.stage_ = Stage::Requesting;
        if (Transact(XTYP_REQUEST, {}, &awaited))
            client.answerTimer_.start(Timeout);
        else
            client.ConversationReady();
    } else if (client.stage_ == Stage::Advising) {
        client.item_.clear();
        client.ConversationReady();
    } else if (client.stage_ == Stage::Requesting) {
        // The value itself is not used.
        client.ConversationReady();
    }
}

PrompterClient::PrompterClient(const Configuration& config, std::filesystem::path configurationFile, QObject* parent)
    : QObject(parent), config_(config), configurationFile_(std::move(configurationFile)), dde_(std::make_unique<Dde>(*this))
{
    WireTimers();
}

PrompterClient::~PrompterClient()
{
    Disconnect();
}

// An open conversation with its advise start on its way, or false with nothing left open.
bool PrompterClient::Connect()
{
    if (!dde_->Open())
        return false;
    ConversationOpened();
    return true;
}

void PrompterClient::RequestConnection()
{
    partnerTimer_.stop();
    if (!Connect())
        ConnectionFailed();
}

void PrompterClient::DropConnection()
{
    dde_->Drop();
}

// The partner's name is a command line, so it is run only when nobody but this user, the
// Administrators and SYSTEM could have chosen it: a configuration in a folder that other
// operators may write names a partner to talk to, never a program to run.
QString PrompterClient::StartRefusal() const
{
    if (service_.isEmpty() || service_.size() > 255
        || std::any_of(service_.begin(), service_.end(), [](QChar c) { return !c.isPrint(); }))
        return QStringLiteral("\"%1\" cannot name a service").arg(service_);
    return QString::fromStdString(OthersMayChange(configurationFile_));
}

// The started partner registers its service some time later, which DDEML tells every instance;
// when none has registered in time, one more connection is requested all the same.
void PrompterClient::AwaitPartner()
{
    stage_ = Stage::AwaitingPartner;
    partnerTimer_.start(PartnerStartTimeout);
}

void PrompterClient::ConversationOpened()
{
    stage_ = Stage::Advising;
    item_ = Item;
    if (dde_->Transact(XTYP_ADVSTART | XTYPF_NODATA, {}, &dde_->awaited)) {
        answerTimer_.start(Timeout);
        return;
    }
    item_.clear();
    ConversationReady();
}

void PrompterClient::Poke(const QString& text)
{
    // Without the item's name there is nowhere to poke.
    if (item_.isEmpty() || !dde_->conv)
        return;
    if (dde_->unanswered >= MaxUnanswered) {
        DdeClientConv1Close();
        return;
    }
    DWORD id = 0;
    if (dde_->Transact(XTYP_POKE, TextPayload(text), &id))
        ++dde_->unanswered;
    else  // the partner's side of the conversation has gone, without a word
        DdeClientConv1Close();
}

void PrompterClient::Disconnect()
{
    answerTimer_.stop();
    partnerTimer_.stop();
    dde_->End();
    stage_ = Stage::Closed;
    queued_.clear();
}
