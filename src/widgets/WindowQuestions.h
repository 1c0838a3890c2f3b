#pragma once

#include "common/OperatorQuestions.h"

class QWidget;

// The operator's questions as boxes and file dialogs over a window.
class WindowQuestions : public OperatorQuestions {
public:
    enum class Answers { OkCancel, YesNo };

    explicit WindowQuestions(QWidget* window, Answers answers = Answers::OkCancel);

    // Once nobody attends, nothing more is shown: a question is answered No, a file dialog
    // cancelled and a failure left unsaid.
    void setUnattended(bool unattended) { unattended_ = unattended; }

    bool confirm(const QString& question) override;
    QString fileToOpen(const QString& folder) override;
    QString fileToSave(const QString& folder, const QString& proposed, Replace replace) override;
    void showFailure(const QString& text) override;

private:
    QWidget* window_;
    Answers answers_;
    bool unattended_ = false;
};
