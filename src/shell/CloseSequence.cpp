#include "shell/CloseSequence.h"

#include "common/AppError.h"
#include "common/OperatorQuestions.h"
#include "shell/ProgramData.h"

#include <QFileInfo>

namespace {

// Writes `what` beside `fileName` under its name with ".unsaved" appended, or, when its folder
// cannot take it (a share that is away), into the data folder under that name, and says where.
template <typename Write>
void saveBeside(const char* what, const QString& fileName, const QString& dataFolder, Write write)
{
    const QString unsaved = fileName + QStringLiteral(".unsaved");
    QString failure;
    for (const QString& path : {unsaved, dataFolder + QFileInfo(unsaved).fileName()}) {
        try {
            write(path);
            qWarning("The %s was not saved; it is kept in %s", what, qPrintable(path));
            return;
        } catch (const AppError& error) {
            failure = error.text();
        }
    }
    qWarning("The %s was not saved and could not be kept: %s", what, qPrintable(failure));
}

void saveDatabaseBeside(const ProgramData& data)
{
    saveBeside("changed speaker database", data.config.DatabaseFileName, data.paths.DataFolder,
               [&](const QString& path) { SaveDatabase(data.Presets, path); });
}

} // namespace

void closeDatabase(ProgramData& data, OperatorQuestions& questions)
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
    const QString chosen = questions.fileToSave(data.paths.DatabaseFolder, fileName, OperatorQuestions::Replace::WithoutAsking);
    if (chosen.isEmpty()) {
        // Unlike the run order, which the configuration carries to the next start, the
        // database has no other copy: the close must not take the edits with it.
        saveDatabaseBeside(data);
        return;
    }
    fileName = chosen;
    SaveDatabase(data.Presets, fileName);
}

void closeRunOrder(ProgramData& data, OperatorQuestions& questions)
{
    RunOrder& runOrder = data.runOrder;
    if (!runOrder.RunOrderChanged || !questions.confirm(data.Messages[28] + u'?'))
        return;
    const QString chosen = questions.fileToSave(data.paths.RunOrderFolder, data.config.RunOrderFileName,
                                                OperatorQuestions::Replace::AfterAsking);
    if (chosen.isEmpty())
        return;
    data.config.RunOrderFileName = chosen;
    writeRunOrderFile(runOrder.RunOrderList, chosen);
}

void saveUnsavedWork(const ProgramData& data)
{
    const QString& databaseFile = data.config.DatabaseFileName;
    if (!QFileInfo(databaseFile).isFile() || DatabaseChanged(data.Presets, databaseFile))
        saveDatabaseBeside(data);
    if (data.runOrder.RunOrderChanged) {
        const QString runOrderFile = data.config.RunOrderFileName.isEmpty()
                                         ? data.paths.RunOrderFolder + QStringLiteral("/Run Order")
                                         : data.config.RunOrderFileName;
        saveBeside("changed run order", runOrderFile, data.paths.DataFolder,
                   [&](const QString& path) { writeRunOrderFile(data.runOrder.RunOrderList, path); });
    }
}

void saveConfiguration(const ProgramData& data)
{
    SaveConfiguration(data.paths.IniFileName,
                      ConfigurationSnapshot{data.config, data.runScreenLayout, data.databaseLayout, data.runOrder.RunOrderList});
}
