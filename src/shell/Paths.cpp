#include "shell/Paths.h"

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
    p.HelpFileName = p.ExeFolder + QStringLiteral(ELEVRA_HELP_FILE);
    return p;
}
