#include "stand/StandFrames.h"

#include "common/Trim.h"

#include <algorithm>

namespace StandFrames {

namespace {

QString finish(QString body)
{
    AppendChecksum(body);
    return QLatin1Char('*') + body + QLatin1String("\r\n");
}

QString hex4(qint64 value)
{
    return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

bool isHexDigit(QChar c)
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

QString heightFrame(int standNumber, int height, int scaleFactor)
{
    // A fifth hex digit would shift the checksum and CR LF out of place on the wire.
    const qint64 value = std::clamp<qint64>(qint64(height) * scaleFactor, 0, MaxHeightValue);
    return finish(QString::number(standNumber) + QLatin1Char('A') + hex4(value));
}

QString commandFrame(int standNumber, QChar letter)
{
    return finish(QString::number(standNumber) + letter + QLatin1String("0000"));
}

QString pollFrame(int standNumber)
{
    return finish(QString::number(standNumber) + QLatin1String("Q1234"));
}

QByteArray toWire(const QString& frame)
{
    return frame.toLatin1();
}

int parseHeightText(const QString& text)
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

int decodeHeight(const QString& data, int scaleFactor)
{
    // No scale means no way to convert; report the bottom rather than divide by zero.
    if (scaleFactor < 1)
        return 0;
    if (data.isEmpty() || !std::all_of(data.begin(), data.end(), isHexDigit))
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
