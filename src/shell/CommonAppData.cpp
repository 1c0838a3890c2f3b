#include "shell/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

} // namespace

QString commonAppDataFolder(const QString& searchPath)
{
    QStringList folders;
    for (const QString& folder : searchPath.split(':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    if (folders.isEmpty())
        folders = QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    for (const QString& folder : folders)
        if (QFileInfo(withSlash(folder) + QStringLiteral("Quillon/Vantora")).isDir())
            return folder;
    return folders.first();
}

QString commonAppDataFolder()
{
    return commonAppDataFolder(qEnvironmentVariable("XDG_DATA_DIRS"));
}
