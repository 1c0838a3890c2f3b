#pragma once

#include "shell/VersionInfo.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: the version values, a picture and the contact lines. Not modal; it deletes
// itself when its OK button closes it.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(const VersionInfo& version, QWidget* owner);

private:
    void FormCreate(const VersionInfo& version);
    void OKBtnClick();

    QWidget* TitlePanel = nullptr;
    QLabel* SoftwareVersionLabel = nullptr;
    QLabel* DateLabel = nullptr;
    QLabel* CopyrightLabel = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* OkPanel = nullptr;
    QPushButton* OKBtn = nullptr;
    QLabel* PhonePanelUK = nullptr;
    QLabel* PhonePanelUS = nullptr;
    QLabel* WebPanel = nullptr;
    QLabel* EMailPanel = nullptr;
};
