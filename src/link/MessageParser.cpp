#include "link/MessageParser.h"

#include <array>

namespace {

struct VerbRule {
    const char* name;
    LinkVerb verb;
    MessageParser::Receiver receiver;
    int fields;  // after the verb, the length included
    bool length;  // the last field is the payload's length
};

constexpr std::array<VerbRule, 9> Rules{{
    {"CONNECT", LinkVerb::Connect, MessageParser::Receiver::Server, 1, false},
    {"POKE", LinkVerb::Poke, MessageParser::Receiver::Server, 3, true},
    {"REQUEST", LinkVerb::Request, MessageParser::Receiver::Server, 2, false},
    {"ADVSTART", LinkVerb::AdvStart, MessageParser::Receiver::Server, 3, false},
    {"ADVSTOP", LinkVerb::AdvStop, MessageParser::Receiver::Server, 1, false},
    {"ACK", LinkVerb::Ack, MessageParser::Receiver::Client, 0, false},
    {"NACK", LinkVerb::Nack, MessageParser::Receiver::Client, 0, false},
    {"DATA", LinkVerb::Data, MessageParser::Receiver::Client, 1, true},
    {"ADVISE", LinkVerb::Advise, MessageParser::Receiver::Client, 1, false},
}};

// Decimal digits only; -1 for anything else or a value above the payload limit.
qsizetype payloadLength(const QByteArray& field)
{
    if (field.isEmpty() || field.size() > 6)
        return -1;
    qsizetype n = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n <= LinkLimits::MaxPayload ? n : -1;
}

} // namespace

MessageParser::Step MessageParser::Push(char byte)
{
    if (refused_)
        return Step::Refused;
    if (inPayload_) {
        message_.payload += byte;
        if (--payloadLeft_ > 0)
            return Step::More;
        inPayload_ = false;
        return Step::Message;
    }
    if (byte == '\n')
        return EndHeader();
    if (header_.size() == LinkLimits::MaxHeader)
        return Refuse(QStringLiteral("header over %1 bytes").arg(LinkLimits::MaxHeader));
    header_ += byte;
    return Step::More;
}

MessageParser::Step MessageParser::EndHeader()
{
    QList<QByteArray> fields = header_.split('\t');
    header_.clear();
    const QByteArray verb = fields.takeFirst();
    for (const VerbRule& rule : Rules) {
        if (rule.receiver != receiver_ || verb != rule.name)
            continue;
        if (fields.size() != rule.fields)
            return Refuse(QStringLiteral("%1 with %2 fields").arg(QLatin1String(rule.name)).arg(fields.size()));
        message_ = LinkMessage{rule.verb, fields, {}};
        if (!rule.length)
            return Step::Message;
        const QByteArray lengthField = message_.fields.takeLast();
        payloadLeft_ = payloadLength(lengthField);
        if (payloadLeft_ < 0)
            return Refuse(QStringLiteral("payload length \"%1\"").arg(QString::fromLatin1(lengthField.left(20))));
        inPayload_ = payloadLeft_ > 0;
        return inPayload_ ? Step::More : Step::Message;
    }
    return Refuse(QStringLiteral("unknown verb \"%1\"").arg(QString::fromLatin1(verb.left(20))));
}

MessageParser::Step MessageParser::Refuse(const QString& reason)
{
    refused_ = true;
    refusal_ = reason;
    return Step::Refused;
}
