#pragma once

// A partner of the test's own that serves the "Telvio" topic on a thread with an instance of its
// own, answers the set-up and the first poke, then stops taking messages as a hung prompting
// application does: every later poke stays unanswered.

#include <QString>
#include <QTest>

#include <windows.h>
#include <ddeml.h>

#include <atomic>
#include <thread>

class HungPartner {
public:
    explicit HungPartner(const QString& service)
    {
        thread_ = std::thread([this, service] { Run(service); });
    }
    ~HungPartner()
    {
        stop_ = true;
        thread_.join();
    }

    bool Registered() { return QTest::qWaitFor([this] { return registered_.load(); }, 5000); }
    bool Hung() { return QTest::qWaitFor([this] { return hung_.load(); }, 5000); }
    void HangNow() { hung_ = true; }

private:
    void Run(const QString& service)
    {
        current = this;
        if (DdeInitializeW(&id_, &HungPartner::Callback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR)
            return;
        const HSZ name = DdeCreateStringHandleW(id_, reinterpret_cast<LPCWSTR>(service.utf16()), CP_WINUNICODE);
        registered_ = DdeNameService(id_, name, nullptr, DNS_REGISTER) != nullptr;
        while (!stop_) {
            MSG message;
            while (!hung_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(5);
        }
        DdeNameService(id_, name, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(id_, name);
        DdeUninitialize(id_);
    }

    static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR, ULONG_PTR)
    {
        wchar_t text[16] = {};
        switch (type) {
        case XTYP_CONNECT:
            DdeQueryStringW(current->id_, topic, text, 16, CP_WINUNICODE);
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(lstrcmpiW(text, L"Telvio") == 0));
        case XTYP_ADVSTART:
            return reinterpret_cast<HDDEDATA>(TRUE);
        case XTYP_REQUEST:
            return DdeCreateDataHandle(current->id_, reinterpret_cast<LPBYTE>(const_cast<char*>("")), 1, 0, item, format, 0);
        case XTYP_POKE:
            current->hung_ = true;
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
        default:
            return nullptr;
        }
    }

    static inline thread_local HungPartner* current = nullptr;
    std::thread thread_;
    DWORD id_ = 0;
    std::atomic<bool> registered_ = false;
    std::atomic<bool> hung_ = false;
    std::atomic<bool> stop_ = false;
};
