#include "config/SetupSettings.h"

#include "common/Trim.h"

#include <algorithm>

std::optional<int> portNumberFromField(QString text)
{
    RemoveLeadingSpaces(text);
    RemoveTrailingSpaces(text);
    bool ok = false;
    int n = text.toInt(&ok);
    if (!ok)
        n = 1;
    if (n < 1 || n > 255)
        return std::nullopt;
    return n;
}

int standCountFromField(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? std::clamp(n, 0, StandCount) : StandCount;
}

std::optional<QString> portFieldFromPortName(const std::string& portName)
{
    const QString name = QString::fromStdString(portName).toUpper();
    if (!name.startsWith(QLatin1String("COM")))
        return std::nullopt;
    return name.mid(3);
}
