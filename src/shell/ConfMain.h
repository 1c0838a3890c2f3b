#pragma once

#include "link/PrompterClient.h"
#include "osc/ShowControl.h"
#include "shell/CloseSequence.h"
#include "shell/ProgramData.h"
#include "stand/CommStandPort.h"
#include "stand/PrompterAnnouncer.h"
#include "stand/StandBoard.h"
#include "stand/StandController.h"
#include "stand/TakeHandler.h"
#include "widgets/WindowQuestions.h"

#include <QFile>
#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

class GlassWidget;
class HelpWindow;
class QLabel;
class ShowView;
class QPushButton;
class QToolButton;
class ShapeWidget;
class TConfDataScreen;
class TConfRunScreen;
class TSetupScreen;
struct SetupSettings;

// The main window: it owns the program's data, draws the stands from their board and
// forwards the operator's input to the link cycle.
class TConferenceForm : public QWidget, private TakeHandler, private PrompterAnnouncer {
    Q_OBJECT
public:
    explicit TConferenceForm(const Paths& paths);
    ~TConferenceForm() override;

    ProgramData& programData() { return data_; }
    StandBoard& board() { return board_; }
    StandController& controller() { return *controller_; }
    CommStandPort& port() { return port_; }
    // The outbound prompter link, through which the takes are announced.
    PrompterClient& prompterLink() { return prompterLink_; }
    TConfDataScreen& databaseWindow() { return *dataScreen_; }
    TConfRunScreen& runOrderWindow() { return *runScreen_; }
    ShowControl& showControl() { return *showControl_; }
    // Why show control is off although enabled; empty when it listens or is disabled.
    const QString& showControlFailure() const { return showControlFailure_; }
    // What the show view says at the start (why it is off, what it warns of), and its control address.
    QStringList showViewNotices() const;
    QString showViewControlUrl() const;
    // The small window with the show view's control address; Ctrl+U opens it.
    void showViewAddressClick();

    // SIGTERM or SIGINT. The first closes the window like its Close button, questions included,
    // for an operator at a log-out to answer. A later one, with nobody at the desk, ends the
    // program at once: open questions are cancelled, what is unsaved goes beside its own file,
    // and the configuration is written.
    void terminationSignal();
    // The session ends and the system may end the process as soon as this returns: what the
    // unattended close keeps is kept before it returns, even while a close waits on a question.
    void sessionEnd();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct StandControls {
        GlassWidget* glass;
        ShapeWidget* position;
        ShapeWidget* column;
        QLabel* base;
        QLabel* data;
        QLabel* level;
        QToolButton* nudge_up;
        QToolButton* nudge_down;
    };

    void FormCreate();
    void createStandControls();
    void createRightHandControls();
    // Runs the close steps; an error from one of them leaves through here and stops the close.
    void FormCloseQuery();
    void ExitBtnClick();
    void AboutBtnClick();
    void HelpBtnClick();
    void showHelpContext(int context);
    void createRunScreen();
    void createDatabaseScreen();
    void SetupBtnClick();
    void applySetup(const SetupSettings& settings, bool reopenPort);
    void createShowControl();
    void createShowView();

    void ExecuteDatabaseTake(bool local) override;
    void ExecuteRunOrderTake() override;
    void DdeSend(const QString& text) override;

    void showStand(int i);
    void LayoutControls();
    void showPortFailure(int portNumber, const QString& failure);
    QColor colour(StandColour role) const;

    bool terminationRequested_ = false;
    bool unattended_ = false;
    bool closing_ = false;
    bool closed_ = false;
    WindowQuestions closeQuestions_{this, WindowQuestions::Answers::YesNo};

    ProgramData data_;
    StandBoard board_;
    CommStandPort port_;
    std::unique_ptr<StandController> controller_;
    PrompterClient prompterLink_{data_.config, QFile::encodeName(data_.paths.IniFileName).toStdString()};
    TConfRunScreen* runScreen_ = nullptr;
    TConfDataScreen* dataScreen_ = nullptr;
    QPointer<TSetupScreen> setupScreen_;  // set while the setup dialog is open
    std::unique_ptr<ShowControl> showControl_;
    QString showControlFailure_;
    // Shared, so that a build without the show view never needs its definition.
    std::shared_ptr<ShowView> showView_;
    QString showViewFailure_;
    QPointer<QWidget> showViewWindow_;

    QWidget* BasePanel = nullptr;
    std::array<StandControls, StandCount> stands_{};
    QLabel* ActualHeightLabel = nullptr;
    QLabel* TargetHeightLabel = nullptr;
    QLabel* CurrentSpeakerLabel = nullptr;
    QLabel* CurrentSpeaker = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* Panel2 = nullptr;
    QLabel* Panel3 = nullptr;
    QPushButton* RunOrderBtn = nullptr;
    QPushButton* DatabaseBtn = nullptr;
    QPushButton* TakeBtn = nullptr;
    QPushButton* HomeBtn = nullptr;
    QPushButton* AbortBtn = nullptr;
    QPushButton* SetupBtn = nullptr;
    QPushButton* HelpBtn = nullptr;
    QPushButton* AboutBtn = nullptr;
    QPushButton* ExitBtn = nullptr;
    HelpWindow* help_ = nullptr;
};
