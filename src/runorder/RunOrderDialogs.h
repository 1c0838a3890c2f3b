#pragma once

#include <QString>

// What the run order window asks and tells the operator.
class RunOrderDialogs {
public:
    virtual ~RunOrderDialogs() = default;
    // An OK/Cancel question; true for OK.
    virtual bool Confirm(const QString& question) = 0;
    // A file to read in `folder`, which need not exist; empty when cancelled.
    virtual QString OpenRunOrderDialog(const QString& folder) = 0;
    // A file to write in `folder`, proposing `proposed`, asking before replacing an existing
    // one; empty when cancelled.
    virtual QString SaveRunOrderDialog(const QString& folder, const QString& proposed) = 0;
    virtual void ShowFailure(const QString& text) = 0;
};
