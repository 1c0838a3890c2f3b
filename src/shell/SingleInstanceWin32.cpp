#include "shell/SingleInstance.h"

#include <windows.h>

SingleInstance::~SingleInstance()
{
    if (held_ >= 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(held_));
}

QString SingleInstance::lockName()
{
    return QStringLiteral("Elevra Control");
}

bool SingleInstance::acquire()
{
    // The mutex is never owned: its existence alone marks a running instance.
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(lockName().utf16()));
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    // Without a mutex (one of that name that this user may not open, say) there is no way to
    // tell; starting beats refusing to start.
    if (mutex)
        held_ = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}
