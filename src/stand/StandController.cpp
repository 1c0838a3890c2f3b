#include "stand/StandController.h"

#include "stand/StandFrames.h"
#include "stand/StandPort.h"
#include "stand/TakeHandler.h"

#include <QCoreApplication>

StandController::StandController(StandBoard& board, StandPort& port, QObject* parent)
    : QObject(parent)
    , board_(board)
    , port_(port)
    , pollStand_(static_cast<quint8>(board.StandsDisplayed() - 1))
{
    queryTime_.setInterval(QueryInterval);
    connect(&queryTime_, &QTimer::timeout, this, &StandController::QueryTimeTimer);
    retryTime_.setInterval(RetryInterval);
    connect(&retryTime_, &QTimer::timeout, this, &StandController::retryTimeTimer);
    port_.OnHangup = [this] { comms1Hangup(); };
}

StandController::~StandController()
{
    port_.OnHangup = nullptr;
}

void StandController::setCommsOpen(bool open)
{
    const bool changed = open != commsOpen_;
    commsOpen_ = open;
    if (changed)
        emit commsOpenChanged(open);
}

QString StandController::PortName() const
{
    return QStringLiteral("COM") + QString::number(comPortNumber_);
}

StandPort::Opened StandController::openPort()
{
    return port_.StartComm(PortName(), BaudRate, DataBits, ReadTimeout);
}

void StandController::StartComms(bool p_message)
{
    retryTime_.stop();
    // A failure raised while opening leaves CommsOpen as it was.
    try {
        const StandPort::Opened port = openPort();
        setCommsOpen(port.opened);
        if (!port.opened && p_message)
            emit commsFailed(comPortNumber_, port.failure);
    } catch (...) {
        failures_.report(QStringLiteral("opening ") + PortName());
    }
}

void StandController::stopComms()
{
    retryTime_.stop();
    try {
        port_.StopComm();
    } catch (...) {
        failures_.report(QStringLiteral("closing ") + PortName());
    }
    setCommsOpen(false);
}

void StandController::Comms1ReceiveError()
{
    try {
        port_.StopComm();
        QCoreApplication::processEvents();
        const StandPort::Opened port = openPort();
        setCommsOpen(port.opened);
        if (!port.opened)
            emit commsFailed(comPortNumber_, port.failure);
    } catch (...) {
        failures_.report(QStringLiteral("reopening %1 after a line error").arg(PortName()));
    }
}

void StandController::comms1Hangup()
{
    // Giving the device back at once lets a replugged adapter come back under its old name.
    stopComms();
    retryTime_.start();
}

void StandController::retryTimeTimer()
{
    try {
        if (!openPort().opened)
            return;
    } catch (...) {
        failures_.report(QStringLiteral("reopening %1 after a hang-up").arg(PortName()));
        return;
    }
    retryTime_.stop();
    setCommsOpen(true);
    // Poll now rather than at the next tick, up to 500 ms later.
    RunLinkCycle();
}

void StandController::Comms1ReceiveData(const char* buffer, int)
{
    if (buffer == nullptr || buffer[0] == '\0')
        return;
    try {
        const QByteArray block(buffer);
        if (block.startsWith('='))
            panel3_ = QString::fromLatin1(block);
        else
            panel2_ = QString::fromLatin1(block);
        emit diagnosticPanelsChanged();

        for (char ch : block) {
            if (!parser_.ParseReplyChar(ch))
                continue;
            if (ReplyParser::ReplyAccepted(parser_.Reply()))
                ProcessReply();
            RunLinkCycle();
        }
    } catch (...) {
        failures_.report(QStringLiteral("handling the data received on ") + PortName());
    }
}

void StandController::QueryTimeTimer()
{
    queryTime_.stop();
    if (awaitingReply_)
        board_.SetStandOffline(pollStand_);
    RunLinkCycle();
}

void StandController::RunLinkCycle()
{
    if (commsOpen_) {
        awaitingReply_ = false;
        if (pendingCommand_ >= pcNudgeUp && pendingCommand_ <= pcRunOrderTake) {
            const quint8 command = pendingCommand_;
            executePendingCommand();
            pendingCommand_ = pcNone;
            emit commandCarriedOut(command);
        } else {
            awaitingReply_ = true;
            NextPollStand();
            write(StandFrames::pollFrame(pollStand_ + 1));
        }
    } else {
        NextPollStand();
        awaitingReply_ = true;
    }
    queryTime_.stop();
    queryTime_.start();
}

void StandController::executePendingCommand()
{
    switch (pendingCommand_) {
    case pcNudgeUp:
        ExecuteNudgeUp();
        break;
    case pcNudgeDown:
        ExecuteNudgeDown();
        break;
    case pcHome:
        SendCommandToAll(QLatin1Char('L'));
        break;
    case pcTake:
        for (int i = 0; i < board_.StandsDisplayed(); ++i)
            SendHeightCommand(i);
        board_.setCurrentSpeaker(QString());
        break;
    case pcAbort:
        SendCommandToAll(QLatin1Char('X'));
        break;
    case pcDatabaseTakeLocal:
    case pcDatabaseTakeRemote:
        if (takes_)
            takes_->ExecuteDatabaseTake(pendingCommand_ == pcDatabaseTakeLocal);
        break;
    case pcRunOrderTake:
        if (takes_)
            takes_->ExecuteRunOrderTake();
        break;
    default:
        break;
    }
}

void StandController::NextPollStand()
{
    // Signed on purpose: with no stands displayed every poll goes to stand 1.
    if (int(pollStand_) < board_.StandsDisplayed() - 1)
        ++pollStand_;
    else
        pollStand_ = 0;
}

void StandController::ProcessReply()
{
    const TCommData& reply = parser_.Reply();
    const int height = StandFrames::decodeHeight(reply.data, scaleFactor_);
    if (reply.address < StandCount) {
        const int n = reply.address;
        queryTime_.stop();
        board_.setActual(n, height);
        if (!board_.stand(n).online) {
            board_.SetStandOnline(n);
            board_.storeTarget(n, height);
            board_.SetTargetHeight(n);
        }
    }
    board_.SetStandHeights(true);
}

void StandController::nudge(int step)
{
    const int s = nudgeStand_;
    if (s < 0 || s >= StandCount)
        return;
    const int target = board_.stand(s).actual + step;
    if (target < 0 || target > 99)
        return;
    board_.storeTarget(s, target);
    board_.SetTargetHeight(s);
    SendHeightCommand(s);
}

void StandController::ExecuteNudgeUp()
{
    nudge(+1);
}

void StandController::ExecuteNudgeDown()
{
    nudge(-1);
}

void StandController::TakeBtnClick()
{
    if (commsOpen_)
        pendingCommand_ = pcTake;
}

void StandController::HomeBtnClick()
{
    if (!commsOpen_)
        return;
    pendingCommand_ = pcHome;
    board_.ClearTargets();
    board_.setCurrentSpeaker(QString());
}

void StandController::AbortBtnClick()
{
    if (commsOpen_)
        pendingCommand_ = pcAbort;
}

void StandController::nudgeUpBtnClick(int stand)
{
    nudgeStand_ = stand;
    pendingCommand_ = pcNudgeUp;
}

void StandController::nudgeDownBtnClick(int stand)
{
    nudgeStand_ = stand;
    pendingCommand_ = pcNudgeDown;
}

void StandController::takeHeights(const StandHeights& heights, const QString& speaker, TakeShows shows)
{
    for (int n = 0; n < board_.StandsDisplayed() && n < StandCount; ++n) {
        const int height = heights[static_cast<size_t>(n)];
        if (shows == TakeShows::TargetsAndData)
            setDataText(n, QString::number(height));
        storeTarget(n, height);
        SetTargetHeight(n);
        SendHeightCommand(n);
    }
    setCurrentSpeaker(speaker);
}

void StandController::SendHeightCommand(int n)
{
    if (n < 0 || n >= StandCount)
        return;
    const QString frame = StandFrames::heightFrame(n + 1, board_.ReadTargetHeight(n + 1), scaleFactor_);
    write(frame);
    if (n == 0) {
        panel1_ = frame;
        emit diagnosticPanelsChanged();
    }
}

void StandController::SendCommandToAll(QChar letter)
{
    if (!commsOpen_)
        return;
    for (int i = 1; i <= board_.StandsDisplayed(); ++i)
        write(StandFrames::commandFrame(i, letter));
}

void StandController::write(const QString& frame)
{
    port_.WriteCommData(StandFrames::toWire(frame));
}
