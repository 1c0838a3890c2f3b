#include "shell/ProgramData.h"

void ProgramData::load()
{
    Messages.LoadMessages(paths.MessageFileName);
    config = RetrieveConfiguration(paths.IniFileName, paths.DefaultDatabaseFileName);
    RetrieveDatabase(Presets, config.DatabaseFileName);
    runScreenLayout = RetrieveRunScreenLayout(paths.IniFileName);
    runOrder.RunOrderList = RetrieveRunOrderList(paths.IniFileName);
    databaseLayout = RetrieveDatabaseLayout(paths.IniFileName);
}
