#pragma once

#include "common/OperatorQuestions.h"

#include <QStringList>

// Answers the operator's questions from a script and keeps what was asked and said.
struct ScriptedQuestions : OperatorQuestions {
    QStringList questions;
    QStringList failures;
    bool answer = true;
    QString fileName;  // what every file dialog chooses

    bool confirm(const QString& question) override
    {
        questions << question;
        return answer;
    }
    QString fileToOpen(const QString&) override { return fileName; }
    QString fileToSave(const QString&, const QString&, Replace) override { return fileName; }
    void showFailure(const QString& text) override { failures << text; }
};
