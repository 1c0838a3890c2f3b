#pragma once

#include "CloseSequence.h"
#include "ProgramData.h"

#include <QWidget>

class QPushButton;

// The main window: it owns the program's data and runs the close sequence.
class TConferenceForm : public QWidget, private CloseQuestions {
    Q_OBJECT
public:
    explicit TConferenceForm(const Paths& paths);

    ProgramData& programData() { return data_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    // Runs the close steps; an error from one of them leaves through here and stops the close.
    void FormCloseQuery();
    void ExitBtnClick();

    bool confirm(const QString& question) override;
    QString saveFileName(const QString& folder, const QString& proposed) override;

    ProgramData data_;
    QWidget* BasePanel = nullptr;
    QPushButton* ExitBtn = nullptr;
};
