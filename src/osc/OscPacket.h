#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// One argument as this program reads it: an int32, a string (or symbol), or a type it does
// not use, kept by its tag so that a message that carries it can be told apart.
using OscArgument = std::variant<qint32, QString, char>;

struct OscMessage {
    QByteArray address;
    QByteArray types;  // the type tags without the leading ","
    std::vector<OscArgument> arguments;
};

// The messages of one datagram: a message, or a bundle whose elements are messages and
// bundles, in their order. Nothing when any part of it is malformed: a packet is carried out
// whole or not at all. Time tags are not waited for: a bundle is carried out when it arrives.
std::optional<std::vector<OscMessage>> parseOscPacket(const QByteArray& packet);

// A message with int32 and string arguments, ready to send.
std::vector<std::uint8_t> encodeOscMessage(const char* address, const std::vector<std::variant<qint32, QString>>& arguments);
