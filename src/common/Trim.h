#pragma once

#include <QString>

// Only the blank U+0020 is removed; tabs and other white space stay.
inline void RemoveLeadingSpaces(QString& t_str)
{
    qsizetype n = 0;
    while (n < t_str.size() && t_str[n] == u' ')
        ++n;
    t_str.remove(0, n);
}

inline void RemoveTrailingSpaces(QString& t_str)
{
    qsizetype n = t_str.size();
    while (n > 0 && t_str[n - 1] == u' ')
        --n;
    t_str.truncate(n);
}
