// What the system does to a running elevra.exe, for the tests under Wine:
//   session_probe query | end   asks every top-level window of the process whose main window is
//                               shown whether the session may end, or tells them that it ends,
//                               as a log-off does; prints "allowed" or "refused" for a query
//   session_probe windows TITLE prints how many visible windows of that process have TITLE
//   session_probe version EXE   prints the version resource's strings and whether IDI_ICON1 is there
// Exit code 2 when the program's main window is not shown.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Windows {
    DWORD pid = 0;
    std::vector<HWND> all;
};

BOOL CALLBACK collect(HWND window, LPARAM context)
{
    auto& found = *reinterpret_cast<Windows*>(context);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == found.pid)
        found.all.push_back(window);
    return TRUE;
}

bool programWindows(Windows& found)
{
    const HWND main = ::FindWindowW(nullptr, L"Conference Stand Control");
    if (!main || !::IsWindowVisible(main))
        return false;
    ::GetWindowThreadProcessId(main, &found.pid);
    ::EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    return true;
}

void printVersion(const wchar_t* exe)
{
    DWORD ignored = 0;
    std::vector<char> data(::GetFileVersionInfoSizeW(exe, &ignored));
    if (data.empty() || !::GetFileVersionInfoW(exe, 0, DWORD(data.size()), data.data()))
        return;
    for (const wchar_t* key : {L"FileVersion", L"InternalName", L"LegalCopyright", L"ProductName"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        wchar_t* text = nullptr;
        UINT length = 0;
        if (::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) {
            char utf8[512] = {};
            ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
            std::printf("%ls=%s\n", key, utf8);
        }
    }
    const HMODULE module = ::LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::printf("icon=%s\n", module && ::FindResourceW(module, L"IDI_ICON1", MAKEINTRESOURCEW(14)) ? "yes" : "no");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"version" && argc > 2) {
        printVersion(argv[2]);
        return 0;
    }
    Windows found;
    if (!programWindows(found))
        return 2;
    if (command == L"windows" && argc > 2) {
        int count = 0;
        for (HWND window : found.all) {
            wchar_t title[256] = {};
            ::GetWindowTextW(window, title, 255);
            count += ::IsWindowVisible(window) && std::wcscmp(title, argv[2]) == 0;
        }
        std::printf("%d\n", count);
    } else if (command == L"query") {
        bool allowed = true;
        // A window that went away while the others were asked (the close has begun) has no say.
        for (HWND window : found.all)
            if (!::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) && ::IsWindow(window)) {
                wchar_t name[256] = {};
                ::GetClassNameW(window, name, 255);
                std::fprintf(stderr, "refused by a window of class %ls\n", name);
                allowed = false;
            }
        std::printf("%s\n", allowed ? "allowed" : "refused");
    } else if (command == L"end") {
        for (HWND window : found.all)
            ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        std::printf("ended\n");
    } else {
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
