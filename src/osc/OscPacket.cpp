#include "osc/OscPacket.h"

#include <QtEndian>

#include <cstdlib>
#include <cstring>
#include <lo/lo.h>

namespace {

const QByteArray BundleTag("#bundle\0", 8);
// Nesting is allowed, but a datagram of nested headers must not run the stack out.
constexpr int MaxBundleDepth = 8;

bool parseMessage(const QByteArray& bytes, std::vector<OscMessage>& messages)
{
    // liblo checks the padding, the strings and that the arguments fill the message exactly.
    QByteArray copy = bytes;
    int result = 0;
    lo_message parsed = lo_message_deserialise(copy.data(), size_t(copy.size()), &result);
    if (!parsed)
        return false;
    OscMessage message;
    message.address = QByteArray(copy.constData(), qstrnlen(copy.constData(), size_t(copy.size())));
    message.types = lo_message_get_types(parsed);
    lo_arg** argv = lo_message_get_argv(parsed);
    for (int i = 0; i < lo_message_get_argc(parsed); ++i) {
        const char type = message.types[i];
        // The arguments are four-byte aligned, lo_arg's union eight: read them as bytes.
        const char* argument = reinterpret_cast<const char*>(argv[i]);
        if (type == LO_INT32) {
            qint32 number = 0;
            std::memcpy(&number, argument, sizeof number);
            message.arguments.emplace_back(number);
        } else if (type == LO_STRING || type == LO_SYMBOL) {
            message.arguments.emplace_back(QString::fromUtf8(argument));
        } else {
            message.arguments.emplace_back(type);
        }
    }
    lo_message_free(parsed);
    messages.push_back(std::move(message));
    return true;
}

bool parseElement(const QByteArray& bytes, int depth, std::vector<OscMessage>& messages)
{
    if (!bytes.startsWith(BundleTag))
        return parseMessage(bytes, messages);
    // "#bundle", a time tag, then elements, each a big-endian size and that many bytes.
    if (depth >= MaxBundleDepth || bytes.size() < 16)
        return false;
    qsizetype at = 16;
    while (at < bytes.size()) {
        if (bytes.size() - at < 4)
            return false;
        const qint32 size = qFromBigEndian<qint32>(bytes.constData() + at);
        at += 4;
        if (size <= 0 || size % 4 != 0 || size > bytes.size() - at)
            return false;
        if (!parseElement(bytes.mid(at, size), depth + 1, messages))
            return false;
        at += size;
    }
    return true;
}

} // namespace

std::optional<std::vector<OscMessage>> parseOscPacket(const QByteArray& packet)
{
    std::vector<OscMessage> messages;
    if (!parseElement(packet, 0, messages))
        return std::nullopt;
    return messages;
}

std::vector<std::uint8_t> encodeOscMessage(const char* address, const std::vector<std::variant<qint32, QString>>& arguments)
{
    lo_message message = lo_message_new();
    for (const auto& argument : arguments) {
        if (const qint32* number = std::get_if<qint32>(&argument))
            lo_message_add_int32(message, *number);
        else
            lo_message_add_string(message, std::get<QString>(argument).toUtf8().constData());
    }
    size_t size = 0;
    void* bytes = lo_message_serialise(message, address, nullptr, &size);
    std::vector<std::uint8_t> encoded;
    if (bytes) {
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        encoded.assign(first, first + size);
        std::free(bytes);
    }
    lo_message_free(message);
    return encoded;
}
