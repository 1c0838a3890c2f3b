// dde_poker COUNT NAME...: pokes the names in turn, COUNT pokes in all with pauses between them,
// into the running program's service "Elevra", and prints each poke's wall-clock time as
// "poke MS NAME" (milliseconds since 1970), so that a test can find the frames it caused.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HDDEDATA CALLBACK Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

long long NowMs()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000LL;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 64;
    const int count = _wtoi(argv[1]);
    DWORD id = 0;
    if (DdeInitializeW(&id, Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 2;
    HSZ service = DdeCreateStringHandleW(id, L"Elevra", CP_WINUNICODE);
    HSZ topic = DdeCreateStringHandleW(id, L"Conference Stand Control", CP_WINUNICODE);
    HSZ item = DdeCreateStringHandleW(id, L"DdeVantoraServerItem", CP_WINUNICODE);
    HCONV conv = DdeConnect(id, service, topic, nullptr);
    if (!conv)
        return 2;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        // A while between pokes, so that each take has gone out before the next.
        Sleep(700 + 37 * (i % 7));
        const std::wstring name = argv[2 + i % (argc - 2)];
        std::vector<char> text(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr)));
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
        const long long at = NowMs();
        if (!DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()), static_cast<DWORD>(text.size()), conv, item,
                                  CF_TEXT, XTYP_POKE, 5000, nullptr))
            ++failed;
        std::printf("poke %lld %s\n", at, text.data());
        std::fflush(stdout);
    }
    DdeDisconnect(conv);
    DdeUninitialize(id);
    return failed == 0 ? 0 : 1;
}
