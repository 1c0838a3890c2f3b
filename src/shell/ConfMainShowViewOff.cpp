#include "shell/ConfMain.h"

// A build without Qt's HTTP server (the Windows one) has no show view; the program says so once.
void TConferenceForm::createShowView()
{
    qWarning("The show view is not part of this build.");
}

QStringList TConferenceForm::showViewNotices() const
{
    return {};
}

QString TConferenceForm::showViewControlUrl() const
{
    return {};
}
