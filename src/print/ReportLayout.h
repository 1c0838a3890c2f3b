#pragma once

#include "database/SpeakerDatabase.h"

#include <QLine>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The three fonts of a printed report.
enum class ReportFont { Date, Table, PageNumber };

// Text metrics of the report fonts on the device being printed, in device pixels.
class ReportMetrics {
public:
    virtual ~ReportMetrics() = default;
    virtual int characterHeight(ReportFont font) const = 0;
    virtual int externalLeading(ReportFont font) const = 0;
    virtual int textWidth(ReportFont font, const QString& text) const = 0;
};

// Text whose top left corner is at (x, y).
struct ReportText {
    ReportFont font;
    int x;
    int y;
    QString text;

    bool operator==(const ReportText&) const = default;
};

struct ReportPage {
    QList<ReportText> texts;
    QList<QLine> lines;
};

// The pages of a report, positioned on the printable area of `pageSize` device pixels. The
// last page carries its page number too, so the document is complete.
using ReportDocument = QList<ReportPage>;

// Neither report is laid out on a page that cannot hold the date line, the column headings and
// one row: the page breaks would never end.
bool pageHoldsReport(const ReportMetrics& metrics, QSize pageSize);

// The text of a date line, asked for anew on every page, so that each page shows the time at
// which it was laid out.
using DateText = std::function<QString()>;

ReportDocument layoutRunOrder(const QStringList& RunOrderList, const PresetTable& Presets,
                              const ReportMetrics& metrics, QSize pageSize, const DateText& dateText);

ReportDocument layoutDatabase(const PresetTable& Presets, const ReportMetrics& metrics, QSize pageSize,
                              const DateText& dateText);

// The same date on every page.
inline ReportDocument layoutRunOrder(const QStringList& RunOrderList, const PresetTable& Presets,
                                     const ReportMetrics& metrics, QSize pageSize, const QString& date)
{
    return layoutRunOrder(RunOrderList, Presets, metrics, pageSize, DateText([date] { return date; }));
}

inline ReportDocument layoutDatabase(const PresetTable& Presets, const ReportMetrics& metrics, QSize pageSize,
                                     const QString& date)
{
    return layoutDatabase(Presets, metrics, pageSize, DateText([date] { return date; }));
}
