#include "link/LinkMessage.h"

QByteArray VerbName(LinkVerb verb)
{
    switch (verb) {
    case LinkVerb::Connect: return QByteArrayLiteral("CONNECT");
    case LinkVerb::Poke: return QByteArrayLiteral("POKE");
    case LinkVerb::Request: return QByteArrayLiteral("REQUEST");
    case LinkVerb::AdvStart: return QByteArrayLiteral("ADVSTART");
    case LinkVerb::AdvStop: return QByteArrayLiteral("ADVSTOP");
    case LinkVerb::Ack: return QByteArrayLiteral("ACK");
    case LinkVerb::Nack: return QByteArrayLiteral("NACK");
    case LinkVerb::Data: return QByteArrayLiteral("DATA");
    case LinkVerb::Advise: return QByteArrayLiteral("ADVISE");
    }
    return {};
}

QByteArray EncodeMessage(LinkVerb verb, const QList<QByteArray>& fields, const QByteArray& payload)
{
    QByteArray bytes = VerbName(verb);
    for (const QByteArray& field : fields)
        bytes += '\t' + field;
    const bool carriesPayload = verb == LinkVerb::Poke || verb == LinkVerb::Data;
    if (carriesPayload)
        bytes += '\t' + QByteArray::number(payload.size());
    bytes += '\n';
    if (carriesPayload)
        bytes += payload;
    return bytes;
}

QStringList TextLines(const QByteArray& payload)
{
    const qsizetype nul = payload.indexOf('\0');
    const QString text = QString::fromLocal8Bit(nul < 0 ? payload : payload.left(nul));
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QByteArray TextPayload(const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes += '\0';
    return bytes;
}
