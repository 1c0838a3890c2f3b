#include "shell/VersionInfo.h"

#include <windows.h>

#include <wchar.h>
#include <vector>

namespace {

QString programFile()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return QString::fromWCharArray(path.data(), int(length));
        path.resize(path.size() * 2);
    }
}

} // namespace

// Read back from the executable's own version resource, so that the about box shows what the
// file carries.
VersionInfo VersionInfo::ofProgram()
{
    const QString file = programFile();
    const auto* name = reinterpret_cast<const wchar_t*>(file.utf16());
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(name, &ignored);
    if (size == 0)
        return {};
    std::vector<char> data(size);
    if (!::GetFileVersionInfoW(name, 0, size, data.data()))
        return {};

    // The strings are kept per language and code page; the first translation names the block.
    QString block = QStringLiteral("\\StringFileInfo\\040904B0\\");
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
        && length >= sizeof(Translation))
        block = QString::asprintf("\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);

    const auto value = [&](const char* key) {
        const QString path = block + QLatin1String(key);
        wchar_t* text = nullptr;
        UINT characters = 0;
        if (!::VerQueryValueW(data.data(), reinterpret_cast<const wchar_t*>(path.utf16()), reinterpret_cast<void**>(&text),
                              &characters)
            || !text)
            return QString();
        return QString::fromWCharArray(text, int(::wcsnlen(text, characters)));
    };
    return {value("FileVersion"), value("InternalName"), value("LegalCopyright")};
}
