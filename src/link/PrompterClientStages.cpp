// The stages of the set-up and the announcements, whatever carries the conversation.
#include "link/PrompterClient.h"

#include <utility>

const QString PrompterClient::Topic = QStringLiteral("Telvio");
const QString PrompterClient::Item = QStringLiteral("DdeTelvioServerItem");

void PrompterClient::WireTimers()
{
    answerTimer_.setSingleShot(true);
    partnerTimer_.setSingleShot(true);
    connect(&answerTimer_, &QTimer::timeout, this, &PrompterClient::AnswerTimedOut);
    connect(&partnerTimer_, &QTimer::timeout, this, &PrompterClient::RequestConnection);
}

void PrompterClient::SetupPrompterLink()
{
    if (!config_.PrompterLinkEnabled) {
        up_ = false;
        return;
    }
    Disconnect();
    service_ = config_.PrompterLinkName;
    startAttempted_ = false;
    item_.clear();
    up_ = true;
    RequestConnection();
}

void PrompterClient::DdeSend(const QString& d_str)
{
    if (!up_)
        SetupPrompterLink();
    if (!up_)
        return;
    if (stage_ == Stage::Open)
        Poke(d_str);
    else if (SettingUp() && queued_.size() < MaxQueued)
        queued_ << d_str;
}

void PrompterClient::ConnectionFailed()
{
    answerTimer_.stop();
    DropConnection();
    if (!startAttempted_) {
        startAttempted_ = true;
        if (MayStartPartner() && StartPartner(service_ + u' ' + Topic)) {
            AwaitPartner();
            return;
        }
    }
    EndSetup();
}

bool PrompterClient::MayStartPartner() const
{
    const QString refusal = StartRefusal();
    if (refusal.isEmpty())
        return true;
    qWarning("The partner is not started: %s", qPrintable(refusal));
    return false;
}

void PrompterClient::ConversationReady()
{
    answerTimer_.stop();
    stage_ = Stage::Open;
    const QStringList texts = std::exchange(queued_, {});
    for (const QString& text : texts)
        Poke(text);
    if (stage_ == Stage::Open)
        emit setupFinished(true);
}

void PrompterClient::EndSetup()
{
    stage_ = Stage::Closed;
    service_.clear();
    item_.clear();
    queued_.clear();
    emit setupFinished(false);
}

void PrompterClient::AnswerTimedOut()
{
    switch (stage_) {
    case Stage::Connecting:
        ConnectionFailed();
        break;
    case Stage::Advising:
        item_.clear();
        ConversationReady();
        break;
    case Stage::Requesting:
        ConversationReady();
        break;
    default:
        break;
    }
}

void PrompterClient::DdeClientConv1Close()
{
    Disconnect();
    item_.clear();
    up_ = false;
    emit conversationClosed();
}

// The partner ended the conversation, or went before it was open.
void PrompterClient::PartnerClosed()
{
    const bool settingUp = SettingUp();
    DdeClientConv1Close();
    if (settingUp)
        emit setupFinished(false);
}
