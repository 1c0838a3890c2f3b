#include "shell/ConfMain.h"

#include "common/AppError.h"
#include "database/ConfData.h"
#include "runorder/ConfRun.h"
#include "shell/ElevraApplication.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QScopedValueRollback>

// The close: the questions about unsaved work, the configuration, the port; and the close that
// termination signals ask for.

void TConferenceForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
    FormCloseQuery();
    event->accept();
    closed_ = true;
}

void TConferenceForm::FormCloseQuery()
{
    const QScopedValueRollback closing(closing_, true);
    if (!unattended_) {
        closeDatabase(data_, closeQuestions_);
        closeRunOrder(data_, closeQuestions_);
    }
    data_.config.mainWindow = {y(), x()};
    data_.runScreenLayout = runScreen_->windowLayout();
    data_.runScreenLayout.visible = RunOrderBtn->isChecked();
    data_.databaseLayout = dataScreen_->windowLayout();
    data_.databaseLayout.visible = DatabaseBtn->isChecked();
    if (unattended_) {
        saveUnsavedWork(data_);
        // Nobody is there to read an error box, and nothing may keep the program from ending.
        try {
            saveConfiguration(data_);
        } catch (const AppError&) {
        }
    } else {
        saveConfiguration(data_);
    }
    port_.StopComm();
}

void TConferenceForm::terminationSignal()
{
    if (closed_)
        return;
    if (!terminationRequested_) {
        terminationRequested_ = true;
        close();
        return;
    }
    unattended_ = true;
    closeQuestions_.setUnattended(true);
    // A close waiting on a question goes on when its box is cancelled; otherwise (an error box
    // of a close that failed, say) the close is started again here.
    ElevraApplication::cancelModalWindows();
    if (!closing_)
        close();
}

void TConferenceForm::sessionEnd()
{
    if (closed_)
        return;
    terminationRequested_ = true;
    unattended_ = true;
    closeQuestions_.setUnattended(true);
    ElevraApplication::cancelModalWindows();
    if (!closing_) {
        close();
        return;
    }
    // The close below this call goes on only once it returns, which may be too late; it then
    // repeats these writes with the same content.
    FormCloseQuery();
}
