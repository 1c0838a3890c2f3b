#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// The messages of one conversation: a header line of TAB-separated fields ending in LF, then
// exactly `length` bytes of payload for the verbs that carry one (POKE and DATA).
enum class LinkVerb {
    // sent by the client
    Connect,   // CONNECT topic
    Poke,      // POKE item format length, payload
    Request,   // REQUEST item format
    AdvStart,  // ADVSTART item format warm
    AdvStop,   // ADVSTOP item
    // sent by the server
    Ack,     // ACK
    Nack,    // NACK
    Data,    // DATA length, payload
    Advise,  // ADVISE item
};

struct LinkMessage {
    LinkVerb verb = LinkVerb::Nack;
    QList<QByteArray> fields;  // the header fields after the verb, without the length
    QByteArray payload;

    bool operator==(const LinkMessage&) const = default;
};

namespace LinkLimits {
constexpr int MaxHeader = 1024;       // bytes before the LF
constexpr int MaxPayload = 64 * 1024;
}

// The only data format: 8-bit text in the system's code page (UTF-8 on Linux, the ANSI code
// page on Windows), ending at its first NUL when it holds one.
constexpr char TextFormat[] = "TEXT";

// The header and payload of a message; POKE and DATA get their length field here.
QByteArray EncodeMessage(LinkVerb verb, const QList<QByteArray>& fields = {}, const QByteArray& payload = {});

QByteArray VerbName(LinkVerb verb);

// A text payload's lines: the text ends at its first NUL; CR LF, CR and LF each end a line, and
// a break at the very end opens no further line.
QStringList TextLines(const QByteArray& payload);

// The text and its terminating NUL.
QByteArray TextPayload(const QString& text);
