#include "Paths.h"

#include <QDir>

namespace {
QString withSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}
} // namespace

Paths Paths::forFolders(const QString& exeFolder, const QString& commonDataFolder)
{
    Paths p;
    p.ExeFolder = withSlash(exeFolder);
    p.DataFolder = withSlash(commonDataFolder) + QStringLiteral("Quillon/Vantora/");
    p.DatabaseFolder = p.DataFolder + QStringLiteral("Database");
    p.RunOrderFolder = p.DataFolder + QStringLiteral("RunOrder");
    p.IniFileName = p.DataFolder + QStringLiteral("elevra.ini");
    p.MessageFileName = p.DataFolder + QStringLiteral("elevra.msg");
    p.DefaultDatabaseFileName = p.DataFolder + QStringLiteral("DBase0.db");
    return p;
}

QString commonAppDataFolder()
{
    const QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    const QString first = dirs.section(':', 0, 0);
    return first.isEmpty() ? QStringLiteral("/usr/local/share") : first;
}
