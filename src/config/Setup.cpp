#include "config/Setup.h"

#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

namespace {

template <typename T>
T* control(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

QLabel* label(QWidget* parent, const char* name, int left, int top)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(left, top);
    return l;
}

// Radio buttons exclude each other; clearing the selected one leaves neither selected.
void deselect(QRadioButton* button)
{
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

void setCaption(QLabel* l, const QString& text)
{
    l->setText(text);
    l->adjustSize();
}

} // namespace

TSetupScreen::TSetupScreen(const SetupLinks& links, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
    , links_(links)
{
    setObjectName(QStringLiteral("SetupScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFont(QFont(QStringLiteral("Arial"), 8));

    // Created in their tab order: OK, Cancel, the two fields, the database choice, the
    // hand-control choice, the link flag.
    OkBtn = control<QPushButton>(this, "OkBtn", {200, 8, 49, 25});
    OkBtn->setText(QStringLiteral("OK"));
    OkBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    OkBtn->setDefault(true);
    CancelBtn = control<QPushButton>(this, "CancelBtn", {200, 40, 49, 25});
    CancelBtn->setText(QStringLiteral("Cancel"));
    CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    for (QPushButton* b : {OkBtn, CancelBtn})
        b->setIconSize(QSize(12, 12));
    ComPortNumberData = control<QLineEdit>(this, "ComPortNumberData", {8, 60, 29, 21});
    ComPortNumberData->setInputMask(QStringLiteral("000; "));
    ComPortNumberLabel = label(this, "ComPortNumberLabel", 48, 64);
    StandCountData = control<QLineEdit>(this, "StandCountData", {8, 84, 32, 21});
    StandCountData->setInputMask(QStringLiteral("0; "));
    StandCountLabel = label(this, "StandCountLabel", 48, 88);
    DbBox = control<QGroupBox>(this, "DbBox", {8, 108, 185, 54});
    DatabaseFromPresetBox = control<QRadioButton>(DbBox, "DatabaseFromPresetBox", {8, 16, 169, 17});
    DatabaseFromTargetBox = control<QRadioButton>(DbBox, "DatabaseFromTargetBox", {8, 34, 169, 17});
    HcBox = control<QGroupBox>(this, "HcBox", {8, 2, 185, 54});
    SerialHandControlBtn = control<QRadioButton>(HcBox, "SerialHandControlBtn", {8, 16, 113, 17});
    UsbHandControlBtn = control<QRadioButton>(HcBox, "UsbHandControlBtn", {8, 34, 113, 17});
    TelvioLinkEnabledCheckBox = control<QCheckBox>(this, "TelvioLinkEnabledCheckBox", {8, 168, 241, 17});

    connect(SerialHandControlBtn, &QRadioButton::clicked, this, &TSetupScreen::UpdateHandControl);
    connect(UsbHandControlBtn, &QRadioButton::clicked, this, &TSetupScreen::UpdateHandControl);
    connect(OkBtn, &QPushButton::clicked, this, &TSetupScreen::OkBtnClick);
    // Cancel, like Esc, stores nothing.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
}

void TSetupScreen::FormCreate()
{
    const SetupSettings& s = links_.settings;
    setWindowTitle(links_.message(29));
    setCaption(ComPortNumberLabel, links_.message(1));
    setCaption(StandCountLabel, links_.message(19));
    HcBox->setTitle(links_.message(33));
    SerialHandControlBtn->setText(links_.message(34));
    UsbHandControlBtn->setText(links_.message(35));

    deselect(SerialHandControlBtn);
    deselect(UsbHandControlBtn);
    (s.SerialHandControl ? SerialHandControlBtn : UsbHandControlBtn)->setChecked(true);
    UpdateHandControl();

    DbBox->setTitle(links_.message(30));
    DatabaseFromTargetBox->setText(links_.message(31));
    DatabaseFromPresetBox->setText(links_.message(32));

    // The stored port, not the adapter's that UpdateHandControl may have put there.
    startPort_ = s.ComPortNumber;
    ComPortNumberData->setText(QString::number(startPort_));
    StandCountData->setText(QString::number(s.StandsDisplayed));
    (s.DatabaseFromTarget ? DatabaseFromTargetBox : DatabaseFromPresetBox)->setChecked(true);
    TelvioLinkEnabledCheckBox->setText(links_.message(36));
    TelvioLinkEnabledCheckBox->setChecked(s.PrompterLinkEnabled);

    setFixedSize(ClientWidth, ClientHeight);
    OkBtn->setFocus();
    show();
    // Windows version class 7 sizes the outer window, whose frame is known once it is shown.
    // No other platform has that class.
    if (links_.windowsVersion == 7)
        setFixedSize(QSize(270, 202) - (frameGeometry().size() - size()));
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect frame = frameGeometry();
    move(screen->geometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void TSetupScreen::UpdateHandControl()
{
    const std::optional<std::string> portName = links_.usbPortName();
    if (!portName && UsbHandControlBtn->isChecked())
        deselect(UsbHandControlBtn);
    UsbHandControlBtn->setEnabled(portName.has_value());
    if (UsbHandControlBtn->isChecked()) {
        if (const std::optional<QString> field = portFieldFromPortName(*portName))
            ComPortNumberData->setText(*field);
        ComPortNumberLabel->setEnabled(false);
        ComPortNumberData->setEnabled(false);
    } else {
        ComPortNumberLabel->setEnabled(SerialHandControlBtn->isChecked());
        ComPortNumberData->setEnabled(SerialHandControlBtn->isChecked());
    }
}

void TSetupScreen::OkBtnClick()
{
    SetupSettings s = links_.settings;
    s.SerialHandControl = SerialHandControlBtn->isChecked();
    const std::optional<int> port = portNumberFromField(ComPortNumberData->text());
    if (port) {
        s.ComPortNumber = *port;
    } else {
        s.ComPortNumber = startPort_;
        ComPortNumberData->setText(QString::number(startPort_));
        MessageBoxes::showCritical(this, QStringLiteral("Com Port Number Out Of Range"));
    }
    s.StandsDisplayed = standCountFromField(StandCountData->text());
    s.DatabaseFromTarget = DatabaseFromTargetBox->isChecked();
    s.PrompterLinkEnabled = TelvioLinkEnabledCheckBox->isChecked();
    if (!port) {
        emit settingsAccepted(s, false);
        return;
    }
    // Out of the way before the port reopens, so that a failure box is not hidden behind it.
    hide();
    emit settingsAccepted(s, true);
    accept();
}
