#pragma once

#include <QString>

// What the windows and the close ask and tell the operator. The program shows boxes and file
// dialogs over a window (WindowQuestions); tests answer from a script.
class OperatorQuestions {
public:
    enum class Replace { WithoutAsking, AfterAsking };

    virtual ~OperatorQuestions() = default;
    // True for OK, or Yes where the window asks Yes or No.
    virtual bool confirm(const QString& question) = 0;
    // A file to read in `folder`, which need not exist; empty when cancelled.
    virtual QString fileToOpen(const QString& folder) = 0;
    // A file to write in `folder`, proposing `proposed`; empty when cancelled. An existing file
    // is replaced as `replace` says.
    virtual QString fileToSave(const QString& folder, const QString& proposed, Replace replace) = 0;
    virtual void showFailure(const QString& text) = 0;
};
