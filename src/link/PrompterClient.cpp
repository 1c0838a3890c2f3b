#include "link/PrompterClient.h"

#include "link/LinkConnection.h"
#include "link/LocalSocket.h"
#include "link/ServiceSocket.h"
#include "link/WriteAccess.h"

#include <QFileSystemWatcher>
#include <QProcess>

#include <utility>

#include <unistd.h>

// Runs the command line detached, its first word being the program.
bool PrompterClient::StartPartner(const QString& commandLine)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

PrompterClient::PrompterClient(const Configuration& config, std::filesystem::path configurationFile, QObject* parent)
    : QObject(parent), config_(config), configurationFile_(std::move(configurationFile))
{
    WireTimers();
}

PrompterClient::~PrompterClient()
{
    Disconnect();
}

// A connected socket with CONNECT on its way, or false with nothing left open.
bool PrompterClient::Connect()
{
    const ServiceSocket socket = ServiceSocket::For(service_);
    socketPath_ = socket.path;
    if (!socket.error.isEmpty())
        return false;
    const LocalSocket::Result connected = LocalSocket::Connect(socket.path);
    if (connected.fd < 0)
        return false;
    conversation_ = new LinkConnection(connected.fd, MessageParser::Receiver::Client, this);
    connect(conversation_, &LinkConnection::received, this, &PrompterClient::Received);
    connect(conversation_, &LinkConnection::closed, this, &PrompterClient::ConnectionClosed);
    stage_ = Stage::Connecting;
    conversation_->Send(EncodeMessage(LinkVerb::Connect, {Topic.toUtf8()}));
    answerTimer_.start(Timeout);
    return true;
}

void PrompterClient::RequestConnection()
{
    partnerTimer_.stop();
    delete partnerFolder_;
    partnerFolder_ = nullptr;
    if (!Connect())
        ConnectionFailed();
}

void PrompterClient::DropConnection()
{
    if (!conversation_)
        return;
    conversation_->disconnect(this);
    conversation_->Close({});
    conversation_->deleteLater();
    conversation_ = nullptr;
}

// The partner's name is a command line, so it is run only when nobody but this user and root
// could have chosen it: a configuration that others may write (a data folder shared by a group)
// names a partner to talk to, never a program to run.
QString PrompterClient::StartRefusal() const
{
    const QString refusal = ServiceSocket::NameError(service_);
    return refusal.isEmpty() ? QString::fromStdString(OthersMayChange(configurationFile_, ::geteuid())) : refusal;
}

// The started partner offers its service some time later; whenever its folder changes, a
// server that answers there is taken. When none has answered in time, one more connection is
// requested all the same.
void PrompterClient::AwaitPartner()
{
    stage_ = Stage::AwaitingPartner;
    partnerTimer_.start(PartnerStartTimeout);
    if (socketPath_.empty())
        return;
    partnerFolder_ = new QFileSystemWatcher(this);
    connect(partnerFolder_, &QFileSystemWatcher::directoryChanged, this, &PrompterClient::PartnerFolderChanged);
    partnerFolder_->addPath(QString::fromStdString(socketPath_.parent_path().string()));
}

void PrompterClient::PartnerFolderChanged()
{
    if (stage_ != Stage::AwaitingPartner || !Connect())
        return;
    partnerTimer_.stop();
    partnerFolder_->deleteLater();
    partnerFolder_ = nullptr;
}

void PrompterClient::ConversationOpened()
{
    stage_ = Stage::Advising;
    item_ = Item;
    conversation_->Send(EncodeMessage(LinkVerb::AdvStart, {item_.toUtf8(), TextFormat, "warm"}));
    answerTimer_.start(Timeout);
}

void PrompterClient::Received(const LinkMessage& message)
{
    switch (stage_) {
    case Stage::Connecting:
        if (message.verb == LinkVerb::Ack)
            ConversationOpened();
        else
            ConnectionFailed();
        break;
    case Stage::Advising:
        if (message.verb == LinkVerb::Ack) {
            stage_ = Stage::Requesting;
            conversation_->Send(EncodeMessage(LinkVerb::Request, {item_.toUtf8(), TextFormat}));
            answerTimer_.start(Timeout);
        } else if (message.verb == LinkVerb::Nack) {
            item_.clear();
            ConversationReady();
        }
        break;
    case Stage::Requesting:
        // The value itself is not used.
        if (message.verb == LinkVerb::Data || message.verb == LinkVerb::Nack)
            ConversationReady();
        break;
    default:
        // Answers to announcements and change notices are not used.
        break;
    }
}

void PrompterClient::ConnectionClosed()
{
    if (stage_ == Stage::Connecting) {
        ConnectionFailed();
        return;
    }
    PartnerClosed();
}

void PrompterClient::Poke(const QString& text)
{
    // A send that finds the partner gone closes the conversation on the spot.
    if (conversation_)
        conversation_->Send(EncodeMessage(LinkVerb::Poke, {item_.toUtf8(), TextFormat}, TextPayload(text)));
}

void PrompterClient::Disconnect()
{
    answerTimer_.stop();
    partnerTimer_.stop();
    delete partnerFolder_;
    partnerFolder_ = nullptr;
    DropConnection();
    stage_ = Stage::Closed;
    queued_.clear();
}
