#include "osc/ShowControl.h"

#include "database/DatabaseWindowState.h"
#include "runorder/RunOrderWindowState.h"
#include "stand/StandController.h"

#include <QSocketNotifier>

#include <algorithm>

namespace {

std::optional<std::uint16_t> portNumber(qint64 value)
{
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

ShowControl::ShowControl(const ShowControlLinks& links, QObject* parent)
    : QObject(parent), links_(links)
{
    clock_.start();
    paceTime_.setSingleShot(true);
    connect(&paceTime_, &QTimer::timeout, this, &ShowControl::flushStands);
    queryTime_.setSingleShot(true);
    queryTime_.setTimerType(Qt::PreciseTimer);
    connect(&queryTime_, &QTimer::timeout, this, &ShowControl::answerQuery);
}

ShowControl::~ShowControl() = default;

QString ShowControl::readFeedbackSettings(const ShowControlSettings& settings)
{
    feedbackHost_ = settings.FeedbackHost.trimmed().toStdString();
    const QString port = settings.FeedbackPort.trimmed();
    if (!port.isEmpty()) {
        bool number = false;
        feedbackPort_ = portNumber(port.toLongLong(&number));
        if (!number || !feedbackPort_)
            return QStringLiteral("the feedback port \"%1\" is not a port number from 1 to 65535").arg(port);
    }
    if (!feedbackHost_.empty())
        if (const std::string reason = socket_.CheckPeer({feedbackHost_, feedbackPort_.value_or(1)}); !reason.empty())
            return QStringLiteral("the feedback host %1: %2")
                .arg(QString::fromStdString(feedbackHost_), QString::fromStdString(reason));
    return {};
}

QString ShowControl::start(const ShowControlSettings& settings)
{
    if (!settings.Enabled)
        return {};
    const std::optional<std::uint16_t> port = portNumber(settings.ListenPort);
    if (!port)
        return QStringLiteral("the listen port %1 is not a port number from 1 to 65535").arg(settings.ListenPort);
    QString sendersReason;
    allowed_ = AllowedSenders::Parse(settings.AllowedSenders, sendersReason);
    if (!allowed_)
        return sendersReason;
    const std::string address = settings.ListenAddress.trimmed().toStdString();
    const QString listener = QStringLiteral("%1 port %2").arg(
        address.empty() ? QStringLiteral("every interface") : QString::fromStdString(address), QString::number(*port));
    if (const std::string reason = socket_.Bind(address, *port); !reason.empty())
        return listener + QStringLiteral(": ") + QString::fromStdString(reason);
    if (const QString reason = readFeedbackSettings(settings); !reason.isEmpty()) {
        socket_.Close();
        return reason;
    }

    notifier_ = std::make_unique<QSocketNotifier>(socket_.Descriptor(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &ShowControl::readDatagrams);

    StandController& controller = links_.controller;
    connect(&controller.board(), &StandBoard::standChanged, this, &ShowControl::flushStand);
    connect(&controller, &StandController::commandCarriedOut, this, [this](quint8 command) {
        // These empty the current speaker panel.
        if (command == pcTake || command == pcHome)
            sendCurrent(0, QString());
    });
    connect(&links_.database, &DatabaseWindowState::speakerTaken, this,
            [this](const QString& name) { sendCurrent(0, name); });
    connect(&links_.runOrder, &RunOrderWindowState::speakerTaken, this, &ShowControl::sendCurrent);
    flushStands();
    if (!IsLoopbackAddress(address))
        networkNotice_ = QStringLiteral("Show control listens on the network (%1): the stands can be moved by %2")
                             .arg(listener, allowed_->Text());
    return {};
}

void ShowControl::readDatagrams()
{
    for (int i = 0; i < DatagramsPerTurn; ++i) {
        const std::optional<UdpDatagram> datagram = socket_.Receive();
        if (!datagram)
            return;
        handle(*datagram);
    }
}

void ShowControl::handle(const UdpDatagram& datagram)
{
    // Not even read: a stranger's datagram must cost as little as it can.
    if (!allowed_->Allows(datagram.from.host)) {
        ignore();
        return;
    }
    const std::optional<std::vector<OscMessage>> messages
        = datagram.truncated ? std::nullopt
                             : parseOscPacket(QByteArray(reinterpret_cast<const char*>(datagram.bytes.data()),
                                                         qsizetype(datagram.bytes.size())));
    if (!messages) {
        ignore();
        return;
    }
    const std::optional<UdpPeer> before = destination();
    bool asked = false;
    for (const OscMessage& message : *messages) {
        const ShowCommand command = interpretShowMessage(message);
        if (command.kind == ShowCommand::Ignored) {
            ignore();
            continue;
        }
        // Only a message this program understood may redirect the feedback.
        lastSender_ = datagram.from;
        // A bundle of queries is answered once, after everything else it holds.
        if (command.kind == ShowCommand::Query)
            asked = true;
        else
            carryOut(command);
    }
    if (destination() != before)
        flushStands();
    if (asked) {
        queries_.ask(datagram.bytes.size());
        answerQuery();
    }
}

void ShowControl::carryOut(const ShowCommand& command)
{
    StandController& controller = links_.controller;
    switch (command.kind) {
    case ShowCommand::SpeakerTakeByName:
        if (const int index = links_.findSpeaker(command.name); index >= 0)
            links_.database.SetDatabaseSelection(index);
        else
            ignore();
        break;
    case ShowCommand::SpeakerTakeByRow:
        links_.database.SetDatabaseSelection(command.row - 1);
        break;
    case ShowCommand::RunOrderTake:
        takeRunOrderRow(command.row);
        break;
    case ShowCommand::RunOrderNext:
        stepRunOrder(+1);
        break;
    case ShowCommand::RunOrderPrevious:
        stepRunOrder(-1);
        break;
    case ShowCommand::StandsTake:
        controller.TakeBtnClick();
        break;
    case ShowCommand::StandsHome:
        controller.HomeBtnClick();
        break;
    case ShowCommand::StandsAbort:
        controller.AbortBtnClick();
        break;
    case ShowCommand::Query:
    case ShowCommand::Ignored:
        break;
    }
}

void ShowControl::takeRunOrderRow(int row)
{
    RunOrderWindowState& runOrder = links_.runOrder;
    // While the operator carries an entry with the mouse, the current row is the one carried.
    if (runOrder.RowDragging() || row < 1 || row > runOrder.count()) {
        ignore();
        return;
    }
    runOrder.RunGridSelectCell(runOrder.currentColumn(), row);
    runOrder.RunOrderTakeBtnClick();
}

void ShowControl::stepRunOrder(int step)
{
    const RunOrderWindowState& runOrder = links_.runOrder;
    if (runOrder.count() == 0)
        return;
    const int position = runOrder.RunOrderPosition();
    const int row = std::clamp(position + step, 1, runOrder.count());
    // At either end the run order stops: nothing is taken again.
    if (row != position)
        takeRunOrderRow(row);
}

std::optional<UdpPeer> ShowControl::destination() const
{
    if (!lastSender_ && (feedbackHost_.empty() || !feedbackPort_))
        return std::nullopt;
    return UdpPeer{feedbackHost_.empty() ? lastSender_->host : feedbackHost_,
                   feedbackPort_ ? *feedbackPort_ : lastSender_->port};
}

void ShowControl::send(const char* address, const std::vector<std::variant<qint32, QString>>& arguments)
{
    if (const std::optional<UdpPeer> to = destination())
        socket_.Send(*to, encodeOscMessage(address, arguments));
}

void ShowControl::sendCurrent(int row, const QString& name)
{
    currentRow_ = row;
    currentName_ = name;
    send("/elevra/current", {row, name});
}

// The current speaker and the count when both fit the query's budget, else the count alone;
// the stands' values then follow as their paced feedback.
void ShowControl::answerQuery()
{
    const std::optional<std::size_t> budget = queries_.answer(clock_.elapsed());
    if (!budget) {
        if (const std::optional<qint64> due = queries_.dueAt())
            queryTime_.start(int(std::max<qint64>(0, *due - clock_.elapsed())));
        return;
    }
    const std::optional<UdpPeer> to = destination();
    if (!to)
        return;
    const std::vector<std::uint8_t> current = encodeOscMessage("/elevra/current", {currentRow_, currentName_});
    const std::vector<std::uint8_t> count = encodeOscMessage("/elevra/ignored", {ignored_});
    if (current.size() + count.size() <= *budget)
        socket_.Send(*to, current);
    if (count.size() <= *budget)
        socket_.Send(*to, count);
    pacer_.forget();
    flushStands();
}

StandFeedback ShowControl::stateOf(int i) const
{
    const StandBoard& board = links_.controller.board();
    const TStand& stand = board.stand(i);
    // The target panel, which is what a take sends and what the operator sees.
    return StandFeedback{{stand.online ? 1 : 0, board.ReadTargetHeight(i + 1), stand.actual}};
}

void ShowControl::sendDue(int i)
{
    const std::optional<UdpPeer> to = destination();
    if (!to || !links_.controller.board().isDisplayed(i))
        return;
    static const char* const Names[StandFeedback::ValueCount] = {"online", "target", "actual"};
    if (const auto message = pacer_.next(i, stateOf(i), clock_.elapsed())) {
        const QByteArray address = QStringLiteral("/elevra/stand/%1/%2").arg(i + 1).arg(Names[message->value]).toLatin1();
        socket_.Send(*to, encodeOscMessage(address.constData(), {message->number}));
    }
}

void ShowControl::flushStand(int i)
{
    sendDue(i);
    schedulePacing();
}

void ShowControl::flushStands()
{
    for (int i = 0; i < StandCount; ++i)
        sendDue(i);
    schedulePacing();
}

void ShowControl::schedulePacing()
{
    std::optional<qint64> earliest;
    const StandBoard& board = links_.controller.board();
    for (int i = 0; i < StandCount && board.isDisplayed(i); ++i)
        if (const std::optional<qint64> at = pacer_.owedAt(i, stateOf(i)); at && (!earliest || *at < *earliest))
            earliest = at;
    if (!earliest || !destination())
        paceTime_.stop();
    else
        paceTime_.start(int(std::max<qint64>(0, *earliest - clock_.elapsed())));
}
