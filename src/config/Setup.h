#pragma once

#include "config/SetupSettings.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

struct SetupLinks {
    SetupSettings settings;                 // a copy of the present values
    std::function<QString(int)> message;    // the message table
    // The USB adapter's port name; nothing when no adapter is plugged in.
    std::function<std::optional<std::string>()> usbPortName;
    int windowsVersion = 0;
};

// The setup dialog: on top, not modal, and it frees itself when it closes. OK hands the edited
// settings back; the owner stores them and reopens the port.
class TSetupScreen : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 252;
    static constexpr int ClientHeight = 189;

    TSetupScreen(const SetupLinks& links, QWidget* parent = nullptr);

signals:
    // reopenPort is false when the port field was refused; ComPortNumber is then the start port.
    void settingsAccepted(const SetupSettings& settings, bool reopenPort);

private:
    void FormCreate();
    void UpdateHandControl();
    void OkBtnClick();

    SetupLinks links_;
    int startPort_ = 1;

    QGroupBox* HcBox = nullptr;
    QRadioButton* SerialHandControlBtn = nullptr;
    QRadioButton* UsbHandControlBtn = nullptr;
    QLineEdit* ComPortNumberData = nullptr;
    QLabel* ComPortNumberLabel = nullptr;
    QLineEdit* StandCountData = nullptr;
    QLabel* StandCountLabel = nullptr;
    QGroupBox* DbBox = nullptr;
    QRadioButton* DatabaseFromPresetBox = nullptr;
    QRadioButton* DatabaseFromTargetBox = nullptr;
    QCheckBox* TelvioLinkEnabledCheckBox = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};
