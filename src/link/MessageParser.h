#pragma once

#include "link/LinkMessage.h"

#include <QString>

// Assembles the messages that one side of a conversation receives, one byte at a time, so a
// message may arrive split anywhere. A message that breaks the rules (a header over 1 KiB,
// a payload above 64 KiB, a verb this side does not receive, wrong fields) refuses it and
// everything after it.
class MessageParser {
public:
    enum class Receiver { Server, Client };
    enum class Step { More, Message, Refused };

    explicit MessageParser(Receiver receiver) : receiver_(receiver) {}

    Step Push(char byte);

    // The message completed by the last Push that returned Step::Message.
    const LinkMessage& Message() const { return message_; }
    // Why the stream was refused, for the log.
    const QString& Refusal() const { return refusal_; }

private:
    Step EndHeader();
    Step Refuse(const QString& reason);

    Receiver receiver_;
    QByteArray header_;
    LinkMessage message_;
    qsizetype payloadLeft_ = 0;
    bool inPayload_ = false;
    bool refused_ = false;
    QString refusal_;
};
