#pragma once

#include <QString>

struct ProgramData;

// What the close asks the operator.
class CloseQuestions {
public:
    virtual ~CloseQuestions() = default;
    // A Yes/No confirmation; true for Yes.
    virtual bool confirm(const QString& question) = 0;
    // The database's save dialog in `folder` proposing `proposed`, which replaces an existing
    // file without asking; empty when cancelled.
    virtual QString saveDatabaseFileName(const QString& folder, const QString& proposed) = 0;
    // The run order's save dialog, which asks before replacing an existing file; empty when
    // cancelled.
    virtual QString saveRunOrderFileName(const QString& folder, const QString& proposed) = 0;
};

// The steps of an orderly close, in order. Each lets an AppError through when something cannot
// be written, which stops the close with the window still open. A changed database whose save
// dialog is cancelled is kept beside its file as saveUnsavedWork keeps it, so that the close,
// which goes on, does not lose it.
void closeDatabase(ProgramData& data, CloseQuestions& questions);
void closeRunOrder(ProgramData& data, CloseQuestions& questions);
void saveConfiguration(const ProgramData& data);

// For a close that nobody attends: the changed database and run order are saved beside their
// own files, with ".unsaved" appended to the name, never over them. Failures are absorbed.
// Where the work went, or that it could not be kept, is said on standard error.
void saveUnsavedWork(const ProgramData& data);
