#include "print/PrintDate.h"

#include <QRegularExpression>

QChar timeSeparator(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype i = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (i < 0)
        return u':';
    while (i < format.size() && (format[i] == u'h' || format[i] == u'H'))
        ++i;
    if (i < format.size() && !format[i].isLetterOrNumber() && !format[i].isSpace() && format[i] != u'\'')
        return format[i];
    return u':';
}

QString printDateText(const QDateTime& when, const QLocale& locale)
{
    const QDate date = when.date();
    const QTime time = when.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return locale.dayName(date.dayOfWeek(), QLocale::LongFormat) + QStringLiteral(", ")
           + locale.monthName(date.month(), QLocale::LongFormat) + u' ' + QString::number(date.day())
           + QStringLiteral(", ") + QString::number(date.year()).rightJustified(4, u'0') + QStringLiteral(", ")
           + QString::number(hour12).rightJustified(2, u'0') + timeSeparator(locale)
           + QString::number(time.minute()).rightJustified(2, u'0')
           + (time.hour() < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
}
