#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The report's date line: "dddd, mmmm d, yyyy, hh:mm AM/PM" with the locale's day and month
// names and time separator, on the 12-hour clock.
QString printDateText(const QDateTime& when, const QLocale& locale);

// The character between hours and minutes in the locale's short time format; ":" when it has none.
QChar timeSeparator(const QLocale& locale);
