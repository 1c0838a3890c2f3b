#include "link/LinkConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

LinkConnection::LinkConnection(int fd, MessageParser::Receiver receiver, QObject* parent)
    : QObject(parent),
      fd_(fd),
      parser_(receiver),
      answersRefusals_(receiver == MessageParser::Receiver::Server),
      readable_(new QSocketNotifier(fd, QSocketNotifier::Read, this)),
      writable_(new QSocketNotifier(fd, QSocketNotifier::Write, this))
{
    writable_->setEnabled(false);
    connect(readable_, &QSocketNotifier::activated, this, &LinkConnection::ReadAvailable);
    connect(writable_, &QSocketNotifier::activated, this, &LinkConnection::Flush);
}

LinkConnection::~LinkConnection()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void LinkConnection::Send(const QByteArray& bytes)
{
    if (fd_ < 0 || closing_)
        return;
    outbox_ += bytes;
    if (outbox_.size() > OutboxLimit) {
        Close(QStringLiteral("the partner does not read its answers"));
        return;
    }
    Flush();
}

void LinkConnection::CloseAfterSending(const QString& reason)
{
    if (fd_ < 0 || closing_)
        return;
    closing_ = true;
    closingReason_ = reason;
    readable_->setEnabled(false);
    Flush();
    // A partner that takes nothing more is not waited for.
    if (fd_ >= 0)
        QTimer::singleShot(CloseTimeout, this, [this] { Close(closingReason_); });
}

void LinkConnection::Close(const QString& reason)
{
    if (fd_ < 0)
        return;
    readable_->setEnabled(false);
    writable_->setEnabled(false);
    ::close(fd_);
    fd_ = -1;
    outbox_.clear();
    emit closed(reason);
}

void LinkConnection::Flush()
{
    while (fd_ >= 0 && !outbox_.isEmpty()) {
        const ssize_t n = ::send(fd_, outbox_.constData(), size_t(outbox_.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            outbox_.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            writable_->setEnabled(true);
            return;
        } else {
            Close(systemReason(errno));
            return;
        }
    }
    if (fd_ < 0)
        return;
    writable_->setEnabled(false);
    if (closing_)
        Close(closingReason_);
}

void LinkConnection::ReadAvailable()
{
    // One read per wake-up, so a partner that floods the socket still shares the window thread.
    char buffer[16 * 1024];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) {
        Close(QStringLiteral("the partner closed the conversation"));
        return;
    }
    if (n < 0) {
        if (errno != EAGAIN && errno != EINTR)
            Close(systemReason(errno));
        return;
    }
    for (ssize_t i = 0; i < n && fd_ >= 0 && !closing_; ++i) {
        switch (parser_.Push(buffer[i])) {
        case MessageParser::Step::More:
            break;
        case MessageParser::Step::Message:
            emit received(parser_.Message());
            break;
        case MessageParser::Step::Refused:
            if (answersRefusals_)
                Send(EncodeMessage(LinkVerb::Nack));
            CloseAfterSending(QStringLiteral("refused: ") + parser_.Refusal());
            break;
        }
    }
}
