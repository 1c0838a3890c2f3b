#pragma once

#include "config/Configuration.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <memory>

#ifdef Q_OS_WIN
#include "link/DdeConversationWin32.h"
#else
class LinkConnection;
class QFileSystemWatcher;
struct LinkMessage;
#endif

// The conversation with the prompting application, through which the operator's takes are
// announced. Setting it up never waits on the window thread: the connection and the partner's
// answers arrive as events, each answer within Timeout or not at all, and announcements made
// meanwhile go out in order once the conversation is ready.
class PrompterClient : public QObject {
    Q_OBJECT
public:
    static constexpr int Timeout = 1000;
    // How long a partner that was just started may take to offer its service.
    static constexpr int PartnerStartTimeout = 5000;
    static constexpr int MaxQueued = 32;

    // `configurationFile` is where `config` was read: whether the partner named there may be
    // started depends on who else may change it.
    PrompterClient(const Configuration& config, std::filesystem::path configurationFile, QObject* parent = nullptr);
    ~PrompterClient() override;

    // Opens the outbound link when it is enabled; PrompterLinkUp is true afterwards whatever
    // the outcome, false when the link is disabled.
    void SetupPrompterLink();
    // Announces `d_str`, setting the link up first when it is not up.
    void DdeSend(const QString& d_str);

    bool PrompterLinkUp() const { return up_; }
    bool SettingUp() const { return stage_ != Stage::Closed && stage_ != Stage::Open; }
    bool ConversationOpen() const { return stage_ == Stage::Advising || stage_ == Stage::Requesting || stage_ == Stage::Open; }
    // The client item's name; forgotten when the partner refuses the advise link.
    const QString& ItemName() const { return item_; }

signals:
    // The set-up has ended, with or without an open conversation.
    void setupFinished(bool conversationOpen);
    // The partner ended an open conversation.
    void conversationClosed();

private:
    enum class Stage { Closed, Connecting, AwaitingPartner, Advising, Requesting, Open };

    // The partner's topic and item.
    static const QString Topic;
    static const QString Item;

    void WireTimers();
    bool Connect();
    void RequestConnection();
    void ConnectionFailed();
    bool MayStartPartner() const;
    void AwaitPartner();
    void ConversationReady();
    void EndSetup();
    void AnswerTimedOut();
    void DdeClientConv1Close();
    void PartnerClosed();
    void Poke(const QString& text);
    void Disconnect();
    // The platform's: drops the connection being set up; the reason the partner named in the
    // configuration may not be run, else ""; runs a partner's command line.
    void DropConnection();
    QString StartRefusal() const;
    static bool StartPartner(const QString& commandLine);

    const Configuration& config_;
    const std::filesystem::path configurationFile_;
    bool up_ = false;
    Stage stage_ = Stage::Closed;
    QString service_;
    bool startAttempted_ = false;
    QString item_;
    QTimer answerTimer_;
    QTimer partnerTimer_;
#ifdef Q_OS_WIN
    void ConversationOpened(bool adviseStarted);
    void Connected(int setup, bool opened, bool adviseStarted);
    void PartnerRegistered();
    void Answered(int setup, DdeConversation::Answer answer, bool done);

    // The conversation under DDEML (PrompterClientWin32.cpp).
    struct Dde;
    friend struct Dde;
    std::unique_ptr<Dde> dde_;
#else
    void ConversationOpened();
    void PartnerFolderChanged();
    void Received(const LinkMessage& message);
    void ConnectionClosed();

    LinkConnection* conversation_ = nullptr;
    std::filesystem::path socketPath_;
    QFileSystemWatcher* partnerFolder_ = nullptr;
#endif
    QStringList queued_;
};
