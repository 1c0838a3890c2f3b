#pragma once

#include <QString>

#include <windows.h>
#include <ddeml.h>

#include <memory>

// One DDEML transaction as the callback received it.
struct DdeCall {
    UINT type;
    UINT format;
    HCONV conv;
    HSZ hsz1;
    HSZ hsz2;
    HDDEDATA data;
    ULONG_PTR data1;
    ULONG_PTR data2;
};

// What owns a DDEML instance: a server's service or a client's conversation.
class DdeParty {
public:
    virtual ~DdeParty() = default;
    virtual HDDEDATA Transaction(const DdeCall& call) = 0;
};

// A DDEML instance of its own for one party, made on the thread that uses it (the server's on the
// window thread, the client's on its conversation's thread), whose messages that thread's event
// loop dispatches: every callback runs there, from inside that loop. Each party
// has its own, so ending one (and whatever conversations DDEML still keeps in it) leaves the
// others alone. Its string handles are made in UTF-16 and compared as DDEML does, ignoring case.
class DdeInstance {
public:
    // A process holds at most this many at once.
    static constexpr int MaxInstances = 8;

    // The instance, or null with `error` set when DDEML refused it. Never freed inside its
    // own callback.
    static std::unique_ptr<DdeInstance> Make(DdeParty& party, DWORD flags, QString* error);
    ~DdeInstance();
    DdeInstance(const DdeInstance&) = delete;
    DdeInstance& operator=(const DdeInstance&) = delete;

    DWORD Id() const { return id_; }

    // A string handle that the caller frees with Free.
    HSZ String(const QString& text) const;
    void Free(HSZ string) const;
    QString Text(HSZ string) const;
    bool SameName(HSZ a, HSZ b) const { return a && b && DdeCmpStringHandles(a, b) == 0; }

    // The data of a handle, at most `limit` bytes; false when it holds more.
    bool Data(HDDEDATA data, qsizetype limit, QByteArray* bytes) const;
    HDDEDATA MakeData(const QByteArray& bytes, HSZ item, UINT format) const;

    // The error text for a DDEML error code, as the program reports it.
    static QString ErrorText(UINT code);

    // Whether the partner's side of `conv` takes messages, asked with a wait of at most 200 ms.
    // Ending a conversation with a partner that does not, or the instance that holds it, would
    // wait up to ten seconds for the partner's acknowledgement.
    static bool PartnerTakesMessages(HCONV conv);
    // Lets the instance go without ending it, for a partner that takes no messages. What DDEML
    // still calls back reaches no party; the instance and its slot go with the process.
    static void Abandon(std::unique_ptr<DdeInstance> instance);

private:
    DdeInstance(DWORD id, int slot) : id_(id), slot_(slot) {}

    DWORD id_;
    int slot_;
};
