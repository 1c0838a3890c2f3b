#pragma once

#include <QString>

class OperatorQuestions;
struct ProgramData;

// The steps of an orderly close, in order. The database's save dialog replaces an existing file
// without asking, the run order's asks first, as the windows' own Save does. Each lets an AppError through when something cannot
// be written, which stops the close with the window still open. A changed database whose save
// dialog is cancelled is kept beside its file as saveUnsavedWork keeps it, so that the close,
// which goes on, does not lose it.
void closeDatabase(ProgramData& data, OperatorQuestions& questions);
void closeRunOrder(ProgramData& data, OperatorQuestions& questions);
void saveConfiguration(const ProgramData& data);

// For a close that nobody attends: the changed database and run order are saved beside their
// own files, with ".unsaved" appended to the name, never over them. Failures are absorbed.
// Where the work went, or that it could not be kept, is said on standard error.
void saveUnsavedWork(const ProgramData& data);
