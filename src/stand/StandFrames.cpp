#include "stand/StandFrames.h"

#include "common/Trim.h"

#include <algorithm>

namespace StandFrames {

namespace {

QString Finish(QString body)
{
    AppendChecksum(body);
    return QLatin1Char('*') + body + QLatin1String("\r\n");
}

QString Hex4(qint64 value)
{
    return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

bool IsHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

} // namespace

void AppendChecksum(QString& s)
{
    unsigned sum = 0;
    for (QChar c : s)
        sum += c.unicode();
    s += QString::number(sum & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString HeightFrame(int standNumber, int height, int scaleFactor)
{
    // A fifth hex digit would shift the checksum and CR LF out of place on the wire.
    const qint64 value = std::clamp<qint64>(qint64(height) * scaleFactor, 0, MaxHeightValue);
    return Finish(QString::number(standNumber) + QLatin1Char('A') + Hex4(value));
}

QString CommandFrame(int standNumber, QChar letter)
{
    return Finish(QString::number(standNumber) + letter + QLatin1String("0000"));
}

QString PollFrame(int standNumber)
{
    return Finish(QString::number(standNumber) + QLatin1String("Q1234"));
}

QByteArray ToWire(const QString& frame)
{
    return frame.toLatin1();
}

int ParseHeightText(const QString& text)
{
    QString number = text;
    RemoveLeadingSpaces(number);
    RemoveTrailingSpaces(number);

    // QString::toInt would also skip tabs and other white space; only blanks are allowed here.
    qsizetype digitsFrom = 0;
    if (!number.isEmpty() && (number[0] == QLatin1Char('+') || number[0] == QLatin1Char('-')))
        digitsFrom = 1;
    if (digitsFrom == number.size())
        return 0;
    for (qsizetype i = digitsFrom; i < number.size(); ++i) {
        if (number[i] < QLatin1Char('0') || number[i] > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const int value = number.toInt(&ok, 10);
    return ok ? value : 0;
}

int DecodeHeight(const QString& data, int scaleFactor)
{
    // No scale means no way to convert; report the bottom rather than divide by zero.
    if (scaleFactor < 1)
        return 0;
    if (data.isEmpty() || !std::all_of(data.begin(), data.end(), IsHexDigit))
        return 0;

    qint64 value = data.toLongLong(nullptr, 16);
    const qint64 top = 99LL * scaleFactor;
    if (value > 65000)
        value = 0;
    else if (value > top)
        value = top;

    // Round to nearest, exact halves to the even neighbour.
    qint64 height = value / scaleFactor;
    const qint64 twiceRest = 2 * (value % scaleFactor);
    if (twiceRest > scaleFactor || (twiceRest == scaleFactor && height % 2 == 1))
        ++height;
    return int(height);
}

} // namespace StandFrames
