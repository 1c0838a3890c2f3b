#pragma once

#include <QString>

// What the database window asks and tells the operator.
class DatabaseDialogs {
public:
    virtual ~DatabaseDialogs() = default;
    // An OK/Cancel question; true for OK.
    virtual bool Confirm(const QString& question) = 0;
    // A file to read in `folder`, which need not exist; empty when cancelled.
    virtual QString OpenDatabaseDialog(const QString& folder) = 0;
    // A file to write in `folder`, proposing `proposed`, without a question before replacing
    // one; empty when cancelled.
    virtual QString SaveDatabaseDialog(const QString& folder, const QString& proposed) = 0;
    virtual void ShowFailure(const QString& text) = 0;
};
