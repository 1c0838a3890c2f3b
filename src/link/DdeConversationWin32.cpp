#include "link/DdeConversationWin32.h"

#include "link/DdeInstanceWin32.h"

#include <QObject>
#include <QThread>

#include <algorithm>

namespace {

// Announcements that the partner has not answered yet; a partner that lets more pile up has
// stopped reading and is let go, as a full outbox lets it go elsewhere.
constexpr int MaxUnanswered = 64;
// How long the end waits for the conversation's thread, in milliseconds.
constexpr unsigned long EndWait = 2000;

} // namespace

struct DdeConversation::Worker : DdeParty {
    // On the thread that made the conversation.
    QObject relay;
    bool alive = true;
    Events events;
    // The conversation's own thread, and what only it touches.
    QThread thread;
    QObject context;
    // Made for each set-up and ended with it, so that nothing a partner left behind (one that
    // ended without a word) stands in the way of the next conversation.
    std::unique_ptr<DdeInstance> instance;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    HCONV conv = nullptr;
    int setup = 0;
    UINT format = CF_TEXT;
    DWORD advise = 0;  // the transactions whose answers the set-up waits for
    DWORD request = 0;
    int unanswered = 0;

    void Run(std::function<void()> work) { QMetaObject::invokeMethod(&context, std::move(work), Qt::QueuedConnection); }
    void Report(std::function<void(const Events&)> report)
    {
        QMetaObject::invokeMethod(&relay, [this, report = std::move(report)] {
            if (alive)
                report(events);
        }, Qt::QueuedConnection);
    }
    bool Transact(UINT type, const QByteArray& data, DWORD* id) const
    {
        *id = 0;
        auto* bytes = reinterpret_cast<LPBYTE>(const_cast<char*>(data.constData()));
        return conv && DdeClientTransaction(data.isEmpty() ? nullptr : bytes, static_cast<DWORD>(data.size()), conv,
                                            item, format, type, TIMEOUT_ASYNC, id);
    }
    void Open(int number, const QString& serviceName, const QString& topicName, const QString& itemName);
    void Drop();
    void Close();
    HDDEDATA Transaction(const DdeCall& call) override;
};

void DdeConversation::Worker::Open(int number, const QString& serviceName, const QString& topicName, const QString& itemName)
{
    Drop();
    setup = number;
    if (!instance) {
        QString error;
        instance = DdeInstance::Make(*this, APPCMD_CLIENTONLY | CBF_SKIP_UNREGISTRATIONS, &error);
        if (!instance) {
            qWarning("The prompter link is not set up: %s", qPrintable(error));
            Report([number](const Events& e) { e.connected(number, false, false); });
            return;
        }
        service = instance->String(serviceName);
        topic = instance->String(topicName);
        item = instance->String(itemName);
    }
    conv = DdeConnect(instance->Id(), service, topic, nullptr);
    if (!conv) {
        Report([number](const Events& e) { e.connected(number, false, false); });
        return;
    }
    CONVINFO info{};
    info.cb = sizeof info;
    format = DdeQueryConvInfo(conv, QID_SYNC, &info) && info.wFmt ? info.wFmt : CF_TEXT;
    const bool adviseStarted = Transact(XTYP_ADVSTART | XTYPF_NODATA, {}, &advise);
    Report([number, adviseStarted](const Events& e) { e.connected(number, true, adviseStarted); });
}

// Ends the conversation; one with a partner that takes no messages is left behind with its
// instance, and the next set-up makes a new one.
void DdeConversation::Worker::Drop()
{
    if (conv && DdeInstance::PartnerTakesMessages(conv)) {
        DdeDisconnect(conv);
    } else if (conv) {
        DdeInstance::Abandon(std::move(instance));
        service = topic = item = nullptr;
    }
    conv = nullptr;
    advise = request = 0;
    unanswered = 0;
}

void DdeConversation::Worker::Close()
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

HDDEDATA DdeConversation::Worker::Transaction(const DdeCall& call)
{
    switch (call.type) {
    case XTYP_REGISTER:
        // A partner that was just started announces its service when it registers it.
        if (instance && instance->SameName(call.hsz1, service))
            Report([](const Events& e) { e.registered(); });
        return nullptr;
    case XTYP_XACT_COMPLETE: {
        const DWORD id = static_cast<DWORD>(call.data1);
        const bool done = call.data != nullptr;
        const int number = setup;
        if (id != 0 && id == advise) {
            advise = 0;
            Report([number, done](const Events& e) { e.answered(number, Answer::Advise, done); });
        } else if (id != 0 && id == request) {
            request = 0;
            Report([number, done](const Events& e) { e.answered(number, Answer::Request, done); });
        } else {
            unanswered = std::max(0, unanswered - 1);
        }
        return nullptr;
    }
    case XTYP_DISCONNECT:
        if (call.conv == conv) {
            conv = nullptr;
            const int number = setup;
            Report([number](const Events& e) { e.closed(number); });
        }
        return nullptr;
    case XTYP_ADVDATA:
        // Change notices are not used.
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
    default:
        return nullptr;
    }
}

DdeConversation::DdeConversation(Events events) : worker_(new Worker)
{
    worker_->events = std::move(events);
    worker_->context.moveToThread(&worker_->thread);
    worker_->thread.start();
}

DdeConversation::~DdeConversation()
{
    worker_->alive = false;
    End();
    // Quit once the end has run.
    worker_->Run([w = worker_] { w->thread.quit(); });
    if (worker_->thread.wait(EndWait))
        delete worker_;
}

void DdeConversation::Open(int setup, const QString& service, const QString& topic, const QString& item)
{
    worker_->Run([w = worker_, setup, service, topic, item] { w->Open(setup, service, topic, item); });
}

void DdeConversation::Request(int setup)
{
    worker_->Run([w = worker_, setup] {
        if (w->setup == setup && w->Transact(XTYP_REQUEST, {}, &w->request))
            return;
        w->Report([setup](const Events& e) { e.answered(setup, Answer::Request, false); });
    });
}

void DdeConversation::Poke(int setup, const QByteArray& text)
{
    worker_->Run([w = worker_, setup, text] {
        if (!w->conv || w->setup != setup)
            return;
        DWORD id = 0;
        if (w->unanswered < MaxUnanswered && w->Transact(XTYP_POKE, text, &id)) {
            ++w->unanswered;
            return;
        }
        // Unanswered too long, or the partner's side has gone without a word.
        w->Report([setup](const Events& e) { e.closed(setup); });
    });
}

void DdeConversation::Drop()
{
    worker_->Run([w = worker_] { w->Drop(); });
}

void DdeConversation::End()
{
    worker_->Run([w = worker_] { w->Close(); });
}
