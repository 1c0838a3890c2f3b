#include "print/ReportDrawing.h"

#include <QPagedPaintDevice>
#include <QPainter>

QFont reportFontOf(ReportFont font)
{
    QFont f;
    if (font == ReportFont::PageNumber)
        f.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    else
        f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPointSize(10);
    f.setBold(font == ReportFont::Date);
    return f;
}

DeviceMetrics::DeviceMetrics(QPaintDevice* device)
    : metrics_{QFontMetrics(reportFontOf(ReportFont::Date), device), QFontMetrics(reportFontOf(ReportFont::Table), device),
               QFontMetrics(reportFontOf(ReportFont::PageNumber), device)}
{
}

int DeviceMetrics::characterHeight(ReportFont font) const
{
    return of(font).height();
}

int DeviceMetrics::externalLeading(ReportFont font) const
{
    return of(font).leading();
}

int DeviceMetrics::textWidth(ReportFont font, const QString& text) const
{
    return of(font).horizontalAdvance(text);
}

int DeviceMetrics::ascent(ReportFont font) const
{
    return of(font).ascent();
}

void drawReport(const ReportDocument& document, QPainter& painter, QPagedPaintDevice& device)
{
    const DeviceMetrics metrics(&device);
    painter.setPen(QPen(Qt::black, 1));
    for (qsizetype i = 0; i < document.size(); ++i) {
        if (i > 0)
            device.newPage();
        const ReportPage& page = document[i];
        painter.drawLines(page.lines);
        for (const ReportText& t : page.texts) {
            painter.setFont(reportFontOf(t.font));
            painter.drawText(t.x, t.y + metrics.ascent(t.font), t.text);
        }
    }
}
