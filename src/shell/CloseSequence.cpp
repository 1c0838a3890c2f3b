#include "CloseSequence.h"

#include "ProgramData.h"

#include <QFileInfo>

void closeDatabase(ProgramData& data, CloseQuestions& questions)
{
    QString& fileName = data.config.DatabaseFileName;
    if (!QFileInfo(fileName).isFile()) {
        fileName = data.paths.DefaultDatabaseFileName;
        SaveDatabase(data.Presets, fileName);
        return;
    }
    if (!DatabaseChanged(data.Presets, fileName) || !questions.confirm(data.Messages[15] + u'?'))
        return;
    const QString chosen = questions.saveFileName(data.paths.DatabaseFolder, fileName);
    if (chosen.isEmpty())
        return;
    fileName = chosen;
    SaveDatabase(data.Presets, fileName);
}

void closeRunOrder(ProgramData& data, CloseQuestions& questions)
{
    RunOrder& runOrder = data.runOrder;
    if (!runOrder.RunOrderChanged || !questions.confirm(data.Messages[28] + u'?'))
        return;
    const QString chosen = questions.saveFileName(data.paths.RunOrderFolder, data.config.RunOrderFileName);
    if (chosen.isEmpty())
        return;
    data.config.RunOrderFileName = chosen;
    WriteRunOrderFile(runOrder.RunOrderList, chosen);
}

void saveConfiguration(const ProgramData& data)
{
    SaveConfiguration(data.paths.IniFileName,
                      ConfigurationSnapshot{data.config, data.runScreenLayout, data.databaseLayout, data.runOrder.RunOrderList});
}
