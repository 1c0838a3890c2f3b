#pragma once

// A DDEML client of the test's own, for traffic that the prompter tool never sends. It runs on a
// thread with an instance of its own, so its synchronous transactions wait there while the
// server under test answers from the test's event loop.

#include <QByteArray>
#include <QString>
#include <QTest>

#include <windows.h>
#include <ddeml.h>

#include <atomic>
#include <functional>
#include <thread>

class DdePeer {
public:
    // Runs `script` on the peer's thread in a conversation on `service` and `topic`; false when
    // the conversation could not be opened or the script did not end in time.
    static bool Converse(const QString& service, const QString& topic, const std::function<void(DdePeer&)>& script)
    {
        std::atomic<bool> done = false;
        bool opened = false;
        std::thread thread([&] {
            DdePeer peer;
            if (DdeInitializeW(&peer.id_, &DdePeer::Callback, APPCLASS_STANDARD | APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR) {
                current = &peer;
                peer.item_ = peer.String(QStringLiteral("DdeVantoraServerItem"));
                const HSZ s = peer.String(service);
                const HSZ t = peer.String(topic);
                peer.conv_ = DdeConnect(peer.id_, s, t, nullptr);
                if (peer.conv_) {
                    opened = true;
                    script(peer);
                    DdeDisconnect(peer.conv_);
                }
                DdeFreeStringHandle(peer.id_, s);
                DdeFreeStringHandle(peer.id_, t);
                DdeFreeStringHandle(peer.id_, peer.item_);
                DdeUninitialize(peer.id_);
            }
            done = true;
        });
        const bool ended = QTest::qWaitFor([&] { return done.load(); }, 30000);
        if (ended)
            thread.join();
        else
            thread.detach();
        return ended && opened;
    }

    // The DDEML error of a poke, 0 when it was processed. Wine answers a refused poke as a
    // transaction done, with the refusal only in the partner's acknowledgement.
    UINT Poke(const QByteArray& data, const QString& item = QStringLiteral("DdeVantoraServerItem"), UINT format = CF_TEXT)
    {
        const HSZ name = String(item);
        QByteArray bytes = data;
        DWORD status = 0;
        const bool done = DdeClientTransaction(reinterpret_cast<LPBYTE>(bytes.data()), static_cast<DWORD>(bytes.size()),
                                               conv_, name, format, XTYP_POKE, Timeout, &status);
        DdeFreeStringHandle(id_, name);
        if (done && (status & DDE_FACK))
            return 0;
        return done ? UINT(DMLERR_NOTPROCESSED) : DdeGetLastError(id_);
    }

    // The item's value, or "refused".
    QByteArray Request(const QString& item = QStringLiteral("DdeVantoraServerItem"), UINT format = CF_TEXT)
    {
        const HSZ name = String(item);
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conv_, name, format, XTYP_REQUEST, Timeout, nullptr);
        DdeFreeStringHandle(id_, name);
        if (!data)
            return "refused";
        QByteArray bytes(static_cast<qsizetype>(DdeGetData(data, nullptr, 0, 0)), '\0');
        DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), static_cast<DWORD>(bytes.size()), 0);
        DdeFreeDataHandle(data);
        return bytes;
    }

    bool AdviseStart(UINT type = XTYP_ADVSTART | XTYPF_NODATA, UINT format = CF_TEXT)
    {
        return DdeClientTransaction(nullptr, 0, conv_, item_, format, type, Timeout, nullptr) != nullptr;
    }

    bool Execute(const QByteArray& command)
    {
        QByteArray bytes = command;
        return DdeClientTransaction(reinterpret_cast<LPBYTE>(bytes.data()), static_cast<DWORD>(bytes.size()), conv_,
                                    nullptr, 0, XTYP_EXECUTE, Timeout, nullptr) != nullptr;
    }

    // Pumps this thread's messages until a change notice of the item has come, or a while.
    bool AwaitNotice()
    {
        Pump([this] { return notices_ > 0; });
        return std::exchange(notices_, 0) > 0;
    }

    // Takes messages for `ms` milliseconds, sending nothing.
    void Wait(DWORD ms)
    {
        const DWORD until = GetTickCount() + ms;
        Pump([until] { return GetTickCount() >= until; });
    }

    static constexpr DWORD Timeout = 5000;

private:
    void Pump(const std::function<bool()>& done)
    {
        const DWORD until = GetTickCount() + Timeout;
        while (!done() && GetTickCount() < until) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(5);
        }
    }

    HSZ String(const QString& text) const
    {
        return DdeCreateStringHandleW(id_, reinterpret_cast<LPCWSTR>(text.utf16()), CP_WINUNICODE);
    }

    static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
    {
        if (type == XTYP_ADVDATA) {
            ++current->notices_;
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
        }
        return nullptr;
    }

    static inline thread_local DdePeer* current = nullptr;
    DWORD id_ = 0;
    HCONV conv_ = nullptr;
    HSZ item_ = nullptr;
    int notices_ = 0;
};
