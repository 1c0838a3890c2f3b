#include "CloseSequence.h"

#include "AppError.h"
#include "ProgramData.h"

#include <QFileInfo>

void closeDatabase(ProgramData& data, CloseQuestions& questions)
{
    QString& fileName = data.config.DatabaseFileName;
    const QString& fallback = data.paths.DefaultDatabaseFileName;
    const bool gone = !QFileInfo(fileName).isFile();
    if (gone && (!QFileInfo(fallback).isFile() || !DatabaseChanged(data.Presets, fallback))) {
        fileName = fallback;
        SaveDatabase(data.Presets, fileName);
        return;
    }
    // A named file that is only away for a while (an unmounted share) must not cost the operator
    // a different default database either: that case is asked like a changed database.
    if (!gone && !DatabaseChanged(data.Presets, fileName))
        return;
    if (!questions.confirm(data.Messages[15] + u'?'))
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

namespace {

// Writes beside `fileName` under its name with ".unsaved" appended, or, when its folder cannot
// take it (a share that is away), into the data folder under that name.
template <typename Write>
void saveBeside(const QString& fileName, const QString& dataFolder, Write write)
{
    const QString unsaved = fileName + QStringLiteral(".unsaved");
    try {
        write(unsaved);
        return;
    } catch (const AppError&) {
    }
    try {
        write(dataFolder + QFileInfo(unsaved).fileName());
    } catch (const AppError&) {
    }
}

} // namespace

void saveUnsavedWork(const ProgramData& data)
{
    const QString& databaseFile = data.config.DatabaseFileName;
    if (!QFileInfo(databaseFile).isFile() || DatabaseChanged(data.Presets, databaseFile))
        saveBeside(databaseFile, data.paths.DataFolder,
                   [&](const QString& path) { SaveDatabase(data.Presets, path); });
    if (data.runOrder.RunOrderChanged) {
        const QString runOrderFile = data.config.RunOrderFileName.isEmpty()
                                         ? data.paths.RunOrderFolder + QStringLiteral("/Run Order")
                                         : data.config.RunOrderFileName;
        saveBeside(runOrderFile, data.paths.DataFolder,
                   [&](const QString& path) { WriteRunOrderFile(data.runOrder.RunOrderList, path); });
    }
}

void saveConfiguration(const ProgramData& data)
{
    SaveConfiguration(data.paths.IniFileName,
                      ConfigurationSnapshot{data.config, data.runScreenLayout, data.databaseLayout, data.runOrder.RunOrderList});
}
