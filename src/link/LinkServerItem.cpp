#include "link/LinkServer.h"

#include <algorithm>

bool LinkServer::AcceptsTopic(const QString& topic) const
{
    if (!OtherTopics)
        return false;
    const QStringList others = OtherTopics();
    return std::any_of(others.begin(), others.end(),
                       [&](const QString& other) { return other.compare(topic, Qt::CaseInsensitive) == 0; });
}

// The lines of the last poke, each followed by CR LF, as a text. Line breaks of a poke grow
// into CR LF and bytes that the code page cannot decode into several each, so the lines that would take
// the answer beyond the largest payload a partner accepts are left off.
QByteArray LinkServer::RequestAnswer() const
{
    QByteArray text;
    for (const QString& line : lines_) {
        const QByteArray next = line.toLocal8Bit() + "\r\n";
        if (text.size() + next.size() + 1 > LinkLimits::MaxPayload)
            break;
        text += next;
    }
    return text + '\0';
}
