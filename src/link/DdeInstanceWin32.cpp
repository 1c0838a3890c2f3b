#include "link/DdeInstanceWin32.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>

namespace {

// The callback tells no instance apart, so every instance has a callback of its own, bound to
// its party through a slot.
// The server's instance lives on the window thread and the client's on a thread of its own.
std::array<DdeParty*, DdeInstance::MaxInstances> parties{};
std::mutex partiesLock;

// Holds the slot of an abandoned instance, so that no new party takes its callback.
struct NoParty : DdeParty {
    HDDEDATA Transaction(const DdeCall&) override { return nullptr; }
} noParty;

template <int Slot>
HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR data1,
                           ULONG_PTR data2)
{
    DdeParty* party = parties[Slot];
    return party ? party->Transaction(DdeCall{type, format, conv, hsz1, hsz2, data, data1, data2}) : nullptr;
}

template <int... Slots>
constexpr std::array<PFNCALLBACK, sizeof...(Slots)> MakeCallbacks(std::integer_sequence<int, Slots...>)
{
    return {&Callback<Slots>...};
}

constexpr auto callbacks = MakeCallbacks(std::make_integer_sequence<int, DdeInstance::MaxInstances>{});

} // namespace

std::unique_ptr<DdeInstance> DdeInstance::Make(DdeParty& party, DWORD flags, QString* error)
{
    const std::lock_guard lock(partiesLock);
    const auto free = std::find(parties.begin(), parties.end(), nullptr);
    if (free == parties.end()) {
        *error = ErrorText(DMLERR_SYS_ERROR);
        return nullptr;
    }
    const int slot = static_cast<int>(free - parties.begin());
    *free = &party;
    DWORD id = 0;
    const UINT code = DdeInitializeW(&id, callbacks[static_cast<size_t>(slot)], APPCLASS_STANDARD | flags, 0);
    if (code != DMLERR_NO_ERROR) {
        *free = nullptr;
        *error = ErrorText(code);
        return nullptr;
    }
    return std::unique_ptr<DdeInstance>(new DdeInstance(id, slot));
}

DdeInstance::~DdeInstance()
{
    DdeUninitialize(id_);
    const std::lock_guard lock(partiesLock);
    parties[static_cast<size_t>(slot_)] = nullptr;
}

bool DdeInstance::PartnerTakesMessages(HCONV conv)
{
    CONVINFO info{};
    info.cb = sizeof info;
    if (!conv || !DdeQueryConvInfo(conv, QID_SYNC, &info) || !info.hwndPartner)
        return true;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(info.hwndPartner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 200, &result) != 0;
}

void DdeInstance::Abandon(std::unique_ptr<DdeInstance> instance)
{
    const std::lock_guard lock(partiesLock);
    if (instance)
        parties[static_cast<size_t>(instance.release()->slot_)] = &noParty;
}

HSZ DdeInstance::String(const QString& text) const
{
    return DdeCreateStringHandleW(id_, reinterpret_cast<LPCWSTR>(text.utf16()), CP_WINUNICODE);
}

void DdeInstance::Free(HSZ string) const
{
    if (string)
        DdeFreeStringHandle(id_, string);
}

QString DdeInstance::Text(HSZ string) const
{
    if (!string)
        return {};
    // DDE names are atoms: at most 255 characters.
    wchar_t buffer[256] = {};
    const DWORD length = DdeQueryStringW(id_, string, buffer, 256, CP_WINUNICODE);
    return QString::fromWCharArray(buffer, static_cast<qsizetype>(std::min<DWORD>(length, 255)));
}

bool DdeInstance::Data(HDDEDATA data, qsizetype limit, QByteArray* bytes) const
{
    const DWORD size = data ? DdeGetData(data, nullptr, 0, 0) : 0;
    if (size > static_cast<DWORD>(limit))
        return false;
    bytes->resize(static_cast<qsizetype>(size));
    if (size > 0)
        DdeGetData(data, reinterpret_cast<LPBYTE>(bytes->data()), size, 0);
    return true;
}

HDDEDATA DdeInstance::MakeData(const QByteArray& bytes, HSZ item, UINT format) const
{
    return DdeCreateDataHandle(id_, reinterpret_cast<LPBYTE>(const_cast<char*>(bytes.constData())),
                               static_cast<DWORD>(bytes.size()), 0, item, format, 0);
}

QString DdeInstance::ErrorText(UINT code)
{
    const QString hex = QString::number(code, 16);
    if (code == DMLERR_LOW_MEMORY || code == DMLERR_MEMORY_ERROR)
        return QStringLiteral("Error occurred when DDE ran out of memory ($0%1)").arg(hex);
    if (code == DMLERR_NO_CONV_ESTABLISHED)
        return QStringLiteral("DDE Error - conversation not established ($0%1)").arg(hex);
    return QStringLiteral("An error returned from DDE  ($0%1)").arg(hex);
}
