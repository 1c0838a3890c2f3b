#include "shell/Paths.h"

#include <QDir>

#include <shlobj.h>
#include <windows.h>

QString commonAppDataFolder()
{
    // MAX_PATH characters and the terminator; on failure the buffer stays empty, and the
    // required files are then looked for, and missed, under "\Quillon\Vantora\".
    wchar_t folder[MAX_PATH + 1] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    return QDir::fromNativeSeparators(QString::fromWCharArray(folder));
}
