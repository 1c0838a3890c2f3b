#pragma once

#include "common/StandCount.h"
#include "stand/FailureLog.h"
#include "stand/ReplyParser.h"
#include "stand/StandBoard.h"
#include "stand/StandPort.h"

#include <QObject>
#include <QString>
#include <QTimer>

class TakeHandler;

// The one command waiting for the next link cycle. Other windows set 6 to 8.
enum TPendingCommand : quint8 {
    pcNone = 0,
    pcNudgeUp = 1,
    pcNudgeDown = 2,
    pcHome = 3,
    pcTake = 4,
    pcAbort = 5,
    pcDatabaseTakeLocal = 6,
    pcDatabaseTakeRemote = 7,
    pcRunOrderTake = 8,
};

// The link cycle: every QueryTime tick and every complete reply either carries out the
// pending command or polls the next stand, so frames never interleave with a poll.
class StandController : public QObject {
    Q_OBJECT

public:
    static constexpr int QueryInterval = 500;
    static constexpr int BaudRate = 9600;
    static constexpr int DataBits = 8;
    static constexpr int ReadTimeout = 20;
    // After a hang-up the same port is tried again this often, until it opens.
    static constexpr int RetryInterval = 1000;

    // PollStand starts at the board's StandsDisplayed − 1, so set that first.
    StandController(StandBoard& board, StandPort& port, QObject* parent = nullptr);
    ~StandController() override;

    void setTakeHandler(TakeHandler* handler) { takes_ = handler; }
    void setScaleFactor(int value) { scaleFactor_ = value; }
    int ScaleFactor() const { return scaleFactor_; }
    void setComPortNumber(int value) { comPortNumber_ = value; }
    int ComPortNumber() const { return comPortNumber_; }

    StandBoard& board() { return board_; }
    const StandBoard& board() const { return board_; }

    bool CommsOpen() const { return commsOpen_; }
    quint8 PendingCommand() const { return pendingCommand_; }
    // Values above pcRunOrderTake are kept but treated as pcNone.
    void setPendingCommand(quint8 command) { pendingCommand_ = command; }
    int NudgeStand() const { return nudgeStand_; }
    quint8 PollStand() const { return pollStand_; }
    bool AwaitingReply() const { return awaitingReply_; }
    // Created disabled; the owner starts it as the last step of its start-up.
    QTimer& QueryTime() { return queryTime_; }
    const ReplyParser& parser() const { return parser_; }
    // Runs while a port that hung up is being tried again.
    const QTimer& retryTime() const { return retryTime_; }
    // Where the failures that the cycle swallows are said.
    FailureLog& failures() { return failures_; }

    // Hidden diagnostic panels: the last frame sent to stand 1, the last received block,
    // the last received block that began with "=".
    const QString& Panel1() const { return panel1_; }
    const QString& Panel2() const { return panel2_; }
    const QString& Panel3() const { return panel3_; }

    // Also ends the retries after a hang-up: the port it opens is the one that counts now.
    void StartComms(bool p_message);
    // Closes the port before a change of port. The retries after a hang-up end first, so none
    // reopens the old port before StartComms opens the new one; the link counts as closed, so
    // a pending command waits for the new port instead of going to the closed one.
    void stopComms();
    // buffer holds the received bytes followed by one 0 byte; bufferLength is not needed.
    void Comms1ReceiveData(const char* buffer, int bufferLength);
    void Comms1ReceiveError();
    // The open line has gone: the port is closed at once and tried again every
    // RetryInterval, silently; the first cycle runs as soon as it opens.
    void comms1Hangup();
    void retryTimeTimer();

    void QueryTimeTimer();
    void RunLinkCycle();
    void NextPollStand();
    void ProcessReply();
    void ExecuteNudgeUp();
    void ExecuteNudgeDown();

    void TakeBtnClick();
    void HomeBtnClick();
    void AbortBtnClick();
    void nudgeUpBtnClick(int stand);
    void nudgeDownBtnClick(int stand);

    // What the takes of the other windows use, inside the cycle.
    void storeTarget(int n, int height) { board_.storeTarget(n, height); }
    void SetTargetHeight(int n) { board_.SetTargetHeight(n); }
    void SendHeightCommand(int n);
    void setCurrentSpeaker(const QString& text) { board_.setCurrentSpeaker(text); }
    void setDataText(int n, const QString& text) { board_.setDataText(n, text); }

    // What a take shows besides the targets: the run order shows the heights in the data panels too.
    enum class TakeShows { Targets, TargetsAndData };
    // The take of the database and run order windows: for each displayed stand in ascending order
    // the target is stored, shown and sent; then the current speaker panel shows `speaker`.
    void takeHeights(const StandHeights& heights, const QString& speaker, TakeShows shows = TakeShows::Targets);

    void SendCommandToAll(QChar letter);

signals:
    void commsOpenChanged(bool open);
    // The port did not open; the window shows message 16, a blank and the number.
    void commsFailed(int portNumber, const QString& failure);
    void diagnosticPanelsChanged();
    // The cycle has just carried out this pending command.
    void commandCarriedOut(quint8 command);

private:
    StandPort::Opened openPort();
    QString PortName() const;
    void setCommsOpen(bool open);
    void write(const QString& frame);
    void executePendingCommand();
    void nudge(int step);

    StandBoard& board_;
    StandPort& port_;
    TakeHandler* takes_ = nullptr;
    ReplyParser parser_;
    QTimer queryTime_;
    QTimer retryTime_;
    FailureLog failures_;

    int scaleFactor_ = 94;
    int comPortNumber_ = 1;
    bool commsOpen_ = false;
    quint8 pendingCommand_ = pcNone;
    int nudgeStand_ = -1;
    quint8 pollStand_ = 0;
    bool awaitingReply_ = false;

    QString panel1_;
    QString panel2_;
    QString panel3_;
};
