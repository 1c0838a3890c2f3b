#include "shell/ProgramData.h"

void ProgramData::load()
{
    Messages.LoadMessages(paths.MessageFileName);
    config = RetrieveConfiguration(paths.IniFileName, paths.DefaultDatabaseFileName);
    RetrieveDatabase(Presets, config.DatabaseFileName);
    runScreenLayout = retrieveRunScreenLayout(paths.IniFileName);
    runOrder.RunOrderList = retrieveRunOrderList(paths.IniFileName);
    databaseLayout = retrieveDatabaseLayout(paths.IniFileName);
}
