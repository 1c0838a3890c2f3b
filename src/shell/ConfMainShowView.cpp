#include "shell/ConfMain.h"

#include "database/ConfData.h"
#include "runorder/ConfRun.h"
#include "view/ShowView.h"
#include "view/ShowViewWindow.h"
#include "view/TokenFile.h"

#include <QShortcut>

// The show view: the crew's live page, and the window (Ctrl+U) that shows its address.
void TConferenceForm::createShowView()
{
    const ShowViewLinks links{*controller_, dataScreen_->screen(), runScreen_->screen(), data_.runOrder, data_.Presets,
                              [this](const QString& name) { return FindSpeaker(data_.Presets, name); }};
    showView_ = std::make_shared<ShowView>(links);
    showViewFailure_ = showView_->start(data_.config.ShowView, userConfigFolder());
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_U), this);
    connect(shortcut, &QShortcut::activated, this, &TConferenceForm::showViewAddressClick);
}

void TConferenceForm::showViewAddressClick()
{
    if (!showViewWindow_) {
        const QString why = !showViewFailure_.isEmpty()       ? QStringLiteral("The show view is off: ") + showViewFailure_
                            : !data_.config.ShowView.Enabled ? QStringLiteral("The show view is off: \"Show View Enabled\" is 0 in the section \"Show View\" of elevra.ini.")
                            : showView_->notices().join(u'\n');
        showViewWindow_ = new ShowViewWindow(showView_->controlUrl(), showView_->viewUrl(), why, this);
    }
    showViewWindow_->show();
    showViewWindow_->raise();
    showViewWindow_->activateWindow();
}

QStringList TConferenceForm::showViewNotices() const
{
    QStringList notices;
    if (!showViewFailure_.isEmpty())
        notices << QStringLiteral("Show view is off: ") + showViewFailure_;
    return notices + showView_->notices();
}

QString TConferenceForm::showViewControlUrl() const
{
    return showView_->controlUrl();
}
