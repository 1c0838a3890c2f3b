#include "widgets/WindowQuestions.h"

#include "widgets/MessageBoxes.h"
#include "widgets/OperatorDialogs.h"

WindowQuestions::WindowQuestions(QWidget* window, Answers answers) : window_(window), answers_(answers)
{
}

bool WindowQuestions::confirm(const QString& question)
{
    if (unattended_)
        return false;
    return answers_ == Answers::YesNo ? MessageBoxes::askYesNo(window_, question)
                                      : MessageBoxes::askOkCancel(window_, question);
}

QString WindowQuestions::fileToOpen(const QString& folder)
{
    return unattended_ ? QString() : OperatorDialogs::askFileToOpen(window_, folder);
}

QString WindowQuestions::fileToSave(const QString& folder, const QString& proposed, Replace replace)
{
    if (unattended_)
        return {};
    return OperatorDialogs::askFileToSave(window_, folder, proposed,
                                          replace == Replace::WithoutAsking ? QFileDialog::DontConfirmOverwrite
                                                                            : QFileDialog::Options());
}

void WindowQuestions::showFailure(const QString& text)
{
    if (!unattended_)
        MessageBoxes::showWarning(window_, text);
}
