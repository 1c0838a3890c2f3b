#pragma once

#include <QString>

struct ProgramData;

// What the close asks the operator.
class CloseQuestions {
public:
    virtual ~CloseQuestions() = default;
    // A Yes/No confirmation; true for Yes.
    virtual bool confirm(const QString& question) = 0;
    // The save dialog in `folder` proposing `proposed`; empty when cancelled.
    virtual QString saveFileName(const QString& folder, const QString& proposed) = 0;
};

// The steps of an orderly close, in order. Each lets an AppError through when something cannot
// be written, which stops the close with the window still open.
void closeDatabase(ProgramData& data, CloseQuestions& questions);
void closeRunOrder(ProgramData& data, CloseQuestions& questions);
void saveConfiguration(const ProgramData& data);

// For a close that nobody attends: the changed database and run order are saved beside their
// own files, with ".unsaved" appended to the name, never over them. Failures are absorbed.
void saveUnsavedWork(const ProgramData& data);
