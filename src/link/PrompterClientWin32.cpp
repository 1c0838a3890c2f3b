#include "link/PrompterClient.h"

#include "link/DdeConversationWin32.h"
#include "link/LinkMessage.h"
#include "link/WriteAccess.h"

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

#include <windows.h>

namespace {

// Between the attempts to reach a partner that registered, in milliseconds.
constexpr int PartnerRetry = 250;

QString Quoted(QString word)
{
    if (!word.isEmpty() && !word.contains(u' ') && !word.contains(u'\t') && !word.contains(u'"'))
        return word;
    return u'"' + word.replace(u'"', QStringLiteral("\\\"")) + u'"';
}

} // namespace

// Runs the command line detached and minimised without taking the focus, its first word being
// the program, looked for on PATH only: never in the current folder, which may be a shared one.
bool PrompterClient::StartPartner(const QString& commandLine)
{
    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = QStandardPaths::findExecutable(words.first());
    if (program.isEmpty())
        return false;
    QStringList quoted;
    for (const QString& word : words)
        quoted << Quoted(word);
    std::wstring line = quoted.join(u' ').toStdWString();
    const std::wstring application = QString(program).replace(u'/', u'\\').toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                        nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

// The conversation under DDEML, on its own thread (DdeConversation); the window thread keeps the
// stages and counts the set-ups, so that what a dropped conversation still reports is ignored.
struct PrompterClient::Dde {
    explicit Dde(PrompterClient& client)
        : conversation({[&client](int setup, bool opened, bool adviseStarted) { client.Connected(setup, opened, adviseStarted); },
                        [&client](int setup, DdeConversation::Answer answer, bool done) { client.Answered(setup, answer, done); },
                        [&client] { client.PartnerRegistered(); },
                        [&client](int setup) {
                            if (setup == client.dde_->setup)
                                client.PartnerClosed();
                        }})
    {
    }

    DdeConversation conversation;
    int setup = 0;
};

PrompterClient::PrompterClient(const Configuration& config, std::filesystem::path configurationFile, QObject* parent)
    : QObject(parent), config_(config), configurationFile_(std::move(configurationFile)), dde_(std::make_unique<Dde>(*this))
{
    WireTimers();
}

PrompterClient::~PrompterClient()
{
    Disconnect();
}

// A connection on its way, or false with nothing sent. Waiting for a partner that was just
// started, a failed connection leaves the wait to its timer.
bool PrompterClient::Connect()
{
    if (service_.isEmpty() || service_.size() > 255)
        return false;
    if (stage_ == Stage::Connecting)
        answerTimer_.start(Timeout);
    dde_->conversation.Open(++dde_->setup, service_, Topic, Item);
    return true;
}

void PrompterClient::RequestConnection()
{
    partnerTimer_.stop();
    stage_ = Stage::Connecting;
    if (!Connect())
        ConnectionFailed();
}

void PrompterClient::Connected(int setup, bool opened, bool adviseStarted)
{
    if (setup != dde_->setup)
        return;
    if (stage_ == Stage::Connecting && !opened) {
        ConnectionFailed();
    } else if (stage_ == Stage::AwaitingPartner && !opened) {
        // A partner that has just registered may not take a conversation yet: asked again in
        // a moment, until the wait for it ends.
        QTimer::singleShot(PartnerRetry, this, [this] {
            if (stage_ == Stage::AwaitingPartner)
                Connect();
        });
    } else if ((stage_ == Stage::Connecting || stage_ == Stage::AwaitingPartner) && opened) {
        answerTimer_.stop();
        partnerTimer_.stop();
        ConversationOpened(adviseStarted);
    }
}

void PrompterClient::PartnerRegistered()
{
    if (stage_ == Stage::AwaitingPartner)
        Connect();
}

void PrompterClient::Answered(int setup, DdeConversation::Answer answer, bool done)
{
    if (setup != dde_->setup)
        return;
    if (answer == DdeConversation::Answer::Advise && stage_ == Stage::Advising) {
        if (done) {
            stage_ = Stage::Requesting;
            answerTimer_.start(Timeout);
            dde_->conversation.Request(setup);
        } else {
            item_.clear();
            ConversationReady();
        }
    } else if (answer == DdeConversation::Answer::Request && stage_ == Stage::Requesting) {
        // The value itself is not used.
        ConversationReady();
    }
}

void PrompterClient::DropConnection()
{
    dde_->conversation.Drop();
    ++dde_->setup;
}

// The partner's name is a command line, so it is run only when nobody but this user, the
// Administrators and SYSTEM could have chosen it: a configuration in a folder that other
// operators may write names a partner to talk to, never a program to run.
QString PrompterClient::StartRefusal() const
{
    if (service_.isEmpty() || service_.size() > 255
        || std::any_of(service_.begin(), service_.end(), [](QChar c) { return !c.isPrint(); }))
        return QStringLiteral("\"%1\" cannot name a service").arg(service_);
    return QString::fromStdString(OthersMayChange(configurationFile_));
}

// The started partner registers its service some time later, which DDEML tells every instance;
// when none has registered in time, one more connection is requested all the same.
void PrompterClient::AwaitPartner()
{
    stage_ = Stage::AwaitingPartner;
    partnerTimer_.start(PartnerStartTimeout);
}

void PrompterClient::ConversationOpened(bool adviseStarted)
{
    stage_ = Stage::Advising;
    item_ = Item;
    if (adviseStarted) {
        answerTimer_.start(Timeout);
        return;
    }
    item_.clear();
    ConversationReady();
}

void PrompterClient::Poke(const QString& text)
{
    // Without the item's name there is nowhere to poke.
    if (!item_.isEmpty())
        dde_->conversation.Poke(dde_->setup, TextPayload(text));
}

void PrompterClient::Disconnect()
{
    answerTimer_.stop();
    partnerTimer_.stop();
    dde_->conversation.End();
    ++dde_->setup;
    stage_ = Stage::Closed;
    queued_.clear();
}
