#pragma once

#include "config/Configuration.h"
#include "osc/AllowedSenders.h"
#include "osc/FeedbackPacer.h"
#include "osc/QueryPacer.h"
#include "osc/ShowCommand.h"
#include "osc/UdpSocket.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class DatabaseWindowState;
class QSocketNotifier;
class RunOrderWindowState;
class StandController;

// What the show control works on; all of it is owned by the main window.
struct ShowControlLinks {
    StandController& controller;
    DatabaseWindowState& database;
    RunOrderWindowState& runOrder;
    // The index of the speaker of that name, as the prompter link finds it, or -1.
    std::function<int(const QString&)> findSpeaker;
};

// OSC from a control surface, on the window thread: every message only asks, as the buttons
// do, and the link cycle carries the take out. The surface is told the current speaker after
// every take and each displayed stand's values as they change. Only the allowed senders are
// obeyed, and the feedback goes only to one of them or to the configured host.
class ShowControl : public QObject {
    Q_OBJECT
public:
    // Read at one turn of the event loop, so that a flood leaves the window its turn.
    static constexpr int DatagramsPerTurn = 64;

    explicit ShowControl(const ShowControlLinks& links, QObject* parent = nullptr);
    ~ShowControl() override;

    // Listens when the settings enable it. The reason when it cannot, and nothing listens
    // then; empty otherwise.
    QString start(const ShowControlSettings& settings);
    bool listening() const { return notifier_ != nullptr; }
    // What the operator is told once at start when other computers may reach the listener,
    // else empty.
    const QString& networkNotice() const { return networkNotice_; }
    // Messages and datagrams left aside: malformed, unknown, with wrong arguments or out of
    // range, and every datagram from a sender that is not allowed.
    int ignoredCount() const { return ignored_; }

private:
    QString readFeedbackSettings(const ShowControlSettings& settings);
    void readDatagrams();
    void handle(const UdpDatagram& datagram);
    void carryOut(const ShowCommand& command);
    void takeRunOrderRow(int row);
    void stepRunOrder(int step);
    void ignore() { ++ignored_; }

    std::optional<UdpPeer> destination() const;
    void send(const char* address, const std::vector<std::variant<qint32, QString>>& arguments);
    void sendCurrent(int row, const QString& name);
    void answerQuery();
    StandFeedback stateOf(int i) const;
    void sendDue(int i);
    void flushStand(int i);
    void flushStands();
    void schedulePacing();

    ShowControlLinks links_;
    UdpSocket socket_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QElapsedTimer clock_;
    QTimer paceTime_;
    QTimer queryTime_;
    FeedbackPacer pacer_;
    QueryPacer queries_;
    std::optional<AllowedSenders> allowed_;
    QString networkNotice_;
    std::string feedbackHost_;
    std::optional<std::uint16_t> feedbackPort_;
    std::optional<UdpPeer> lastSender_;
    int currentRow_ = 0;
    QString currentName_;
    int ignored_ = 0;
};
