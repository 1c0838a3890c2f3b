#include "shell/ConfMain.h"

#include "config/Setup.h"
#include "config/UsbPortFinder.h"
#include "database/ConfData.h"
#include "link/PrompterServer.h"
#include "print/PrintSequence.h"
#include "runorder/ConfRun.h"
#include "runorder/RunGrid.h"
#include "shell/About.h"
#include "shell/HelpWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QShortcut>

// The windows that the main window owns or opens, and what they ask of it.

namespace {
// No Windows version class applies on this platform.
constexpr int WindowsVersion = 0;
constexpr const char* UsbDevicesFolder = "/sys/bus/usb/devices";
} // namespace

void TConferenceForm::createRunScreen()
{
    const RunOrderWindowStateLinks links{data_.runOrder, data_.Presets, data_.config, data_.paths.RunOrderFolder,
                                    *controller_, [this](int n) { return data_.Messages[n]; }, *this};
    runScreen_ = new TConfRunScreen(links, data_.runScreenLayout, this);
    RunOrderBtn->setChecked(runScreen_->isVisible());
    connect(RunOrderBtn, &QPushButton::clicked, runScreen_, &QWidget::setVisible);
    connect(runScreen_, &TConfRunScreen::closed, RunOrderBtn, [this] { RunOrderBtn->setChecked(false); });
    connect(runScreen_, &TConfRunScreen::printRequested, this,
            [this] { PrintRunOrder(data_.runOrder.RunOrderList, data_.Presets, runScreen_); });
}

void TConferenceForm::createDatabaseScreen()
{
    const DatabaseWindowStateLinks links{data_.Presets, data_.config, data_.paths.DatabaseFolder, *controller_,
                                    [this](int n) { return data_.Messages[n]; }, *this};
    dataScreen_ = new TConfDataScreen(links, data_.databaseLayout, this);
    DatabaseBtn->setChecked(dataScreen_->isVisible());
    connect(DatabaseBtn, &QPushButton::clicked, dataScreen_, &QWidget::setVisible);
    connect(dataScreen_, &TConfDataScreen::closed, DatabaseBtn, [this] { DatabaseBtn->setChecked(false); });
    connect(dataScreen_, &TConfDataScreen::printRequested, this, [this] { PrintDatabase(data_.Presets, dataScreen_); });
    // The run order shows the database's names, so it follows every change of the entries.
    connect(&dataScreen_->screen(), &DatabaseWindowState::entriesChanged, runScreen_, [this] {
        if (runScreen_->isVisible())
            runScreen_->grid().viewport()->update();
    });
    controller_->setTakeHandler(this);
}

void TConferenceForm::SetupBtnClick()
{
    if (setupScreen_) {
        setupScreen_->raise();
        setupScreen_->activateWindow();
        return;
    }
    // A reply still on its way restarts the timer, so polling goes on while the dialog is open.
    controller_->QueryTime().stop();
    const Configuration& c = data_.config;
    const SetupLinks links{{c.SerialHandControl, c.ComPortNumber, c.StandsDisplayed, c.DatabaseFromTarget,
                            c.PrompterLinkEnabled},
                           [this](int n) { return data_.Messages[n]; },
                           [folder = QFile::encodeName(data_.paths.DataFolder).toStdString()] {
                               return FindUsbAdapterPortName(UsbDevicesFolder, folder);
                           },
                           WindowsVersion};
    setupScreen_ = new TSetupScreen(links, this);
    connect(setupScreen_, &TSetupScreen::settingsAccepted, this, &TConferenceForm::applySetup);
    connect(setupScreen_, &QObject::destroyed, this, [this] {
        controller_->QueryTime().stop();
        controller_->QueryTime().start();
    });
}

void TConferenceForm::applySetup(const SetupSettings& settings, bool reopenPort)
{
    Configuration& c = data_.config;
    c.SerialHandControl = settings.SerialHandControl;
    if (reopenPort) {
        controller_->stopComms();
        // The closed port's last notifications run first. The operator's input waits, so that
        // a second press of OK cannot reopen the port inside this one.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        c.ComPortNumber = settings.ComPortNumber;
        controller_->setComPortNumber(c.ComPortNumber);
        controller_->StartComms(true);
    }
    c.StandsDisplayed = settings.StandsDisplayed;
    board_.SetStandsDisplayed(c.StandsDisplayed);
    c.DatabaseFromTarget = settings.DatabaseFromTarget;
    // The prompter link takes it up when it is next set up.
    c.PrompterLinkEnabled = settings.PrompterLinkEnabled;
}

void TConferenceForm::createShowControl()
{
    const ShowControlLinks links{*controller_, dataScreen_->screen(), runScreen_->screen(),
                                 [this](const QString& name) { return FindSpeaker(data_.Presets, name); }};
    showControl_ = std::make_unique<ShowControl>(links);
    showControlFailure_ = showControl_->start(data_.config.ShowControl);
}

void TConferenceForm::ExecuteDatabaseTake(bool local)
{
    dataScreen_->screen().ExecuteDatabaseTake(local);
}

void TConferenceForm::ExecuteRunOrderTake()
{
    runScreen_->screen().ExecuteRunOrderTake();
}

void TConferenceForm::DdeSend(const QString& text)
{
    prompterLink_.DdeSend(text);
}

void TConferenceForm::changeEvent(QEvent* event)
{
    // FormActivate: a visible window shows as a pressed button; nothing is released here.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (runScreen_ && runScreen_->isVisible())
            RunOrderBtn->setChecked(true);
        if (dataScreen_ && dataScreen_->isVisible())
            DatabaseBtn->setChecked(true);
    }
    QWidget::changeEvent(event);
}

void TConferenceForm::AboutBtnClick()
{
    new TAboutBox(VersionInfo::ofProgram(), this);
}

void TConferenceForm::HelpBtnClick()
{
    showHelpContext(10);
}

void TConferenceForm::showHelpContext(int context)
{
    if (!help_)
        help_ = new HelpWindow(data_.paths.HelpFileName, this);
    help_->showHelpContext(context);
}
