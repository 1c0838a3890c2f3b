#include "print/ReportLayout.h"

namespace {

constexpr int DateLeft = 50;
constexpr int TopOfPage = 20;

// Walks down the pages as the printer would: a current font, a current line position y and a
// page number, with the page breaks of both reports.
class ReportComposer {
public:
    ReportComposer(const ReportMetrics& metrics, QSize pageSize, DateText dateText)
        : metrics_(metrics), width_(pageSize.width()), height_(pageSize.height()), dateText_(std::move(dateText))
    {
        document_.append(ReportPage{});
    }

    // Character height + external leading + 8 of the font in use, as an unsigned 16-bit value.
    int PrintLineHeight() const
    {
        return static_cast<quint16>(metrics_.characterHeight(font_) + metrics_.externalLeading(font_) + 8);
    }

    // The date line only ever starts a page, so a page break after it could only repeat itself
    // on the next page; pageHoldsReport keeps such pages out instead.
    void PrintDateLine(int n)
    {
        font_ = ReportFont::Date;
        int h = PrintLineHeight();
        text(DateLeft, y_, dateText_());
        y_ += n * h;
        h = PrintLineHeight();
        y_ += h;
    }

    void PrintPageNumber()
    {
        const ReportFont previous = font_;
        font_ = ReportFont::PageNumber;
        const int h = PrintLineHeight();
        const QString number = QString::number(pageNumber_).left(8);
        text((width_ - width(number)) / 2, height_ - h, number);
        font_ = previous;
        ++pageNumber_;
    }

    // A rule at y: the line drawn 4 pixels above the text line position.
    void rule(int y) { page().lines.append(QLine(DateLeft, y - 4, width_ - DateLeft, y - 4)); }

    void verticalRule(int x) { page().lines.append(QLine(x, y_, x, height_ - PrintLineHeight())); }

    void text(int x, int y, const QString& s) { page().texts.append(ReportText{font_, x, y, s}); }
    void textEndingAt(int right, const QString& s) { text(right - width(s), y_, s); }
    int width(const QString& s) const { return metrics_.textWidth(font_, s); }

    void setTableFont() { font_ = ReportFont::Table; }

    // After each row; a full page ends, and the next begins with the date line, the column
    // headings and the column rules.
    void rowStep(const std::function<void()>& headingsAndRules)
    {
        const int h = PrintLineHeight();
        y_ += h;
        rule(y_);
        if (y_ > height_ - 2 * h) {
            PrintPageNumber();
            y_ = TopOfPage;
            document_.append(ReportPage{});
            PrintDateLine(1);
            headingsAndRules();
        }
    }

    void ruleRestOfPage()
    {
        const int h = PrintLineHeight();
        for (int y = y_; y < height_ - h; y += h)
            rule(y);
    }

    ReportDocument finish()
    {
        PrintPageNumber();
        return std::move(document_);
    }

    int y_ = TopOfPage;

private:
    ReportPage& page() { return document_.last(); }

    const ReportMetrics& metrics_;
    const int width_;
    const int height_;
    const DateText dateText_;
    ReportFont font_ = ReportFont::Table;
    int pageNumber_ = 1;
    ReportDocument document_;
};

// The number column's right edge and the name column of one page.
struct Columns {
    int R = 0;
    int C = 0;  // base of the height columns (database report only)
};

int heightColumn(const Columns& c, int k) { return c.C + 150 * (k - 1); }

Columns runOrderHeadings(ReportComposer& p)
{
    Columns c;
    const int w = p.width(QStringLiteral("888888"));
    p.text(100, p.y_, QStringLiteral("Number"));
    c.R = 100 + w;
    p.text(c.R + 50, p.y_, QStringLiteral("ID"));
    p.y_ += 2 * p.PrintLineHeight();
    p.rule(p.y_);
    p.verticalRule(c.R + 30);
    return c;
}

Columns databaseHeadings(ReportComposer& p)
{
    Columns c;
    p.text(100, p.y_, QStringLiteral("Number"));
    c.R = 100 + p.width(QStringLiteral("Number"));
    p.text(c.R + 50, p.y_, QStringLiteral("ID"));
    c.C = c.R + 50 + p.width(QStringLiteral("ID")) + 50 + p.width(QStringLiteral("MMMMMMMMMMMMMMMM"));
    for (int k = 1; k <= 8; ++k)
        p.text(heightColumn(c, k) + 100, p.y_, QStringLiteral("S%1").arg(k));
    p.y_ += 2 * p.PrintLineHeight();
    p.rule(p.y_);
    p.verticalRule(c.R + 30);
    for (int k = 1; k <= 8; ++k)
        p.verticalRule(heightColumn(c, k) + 30);
    return c;
}

// A run order entry names a speaker by its index in decimal; anything else has no name.
QString speakerName(const QString& entry, const PresetTable& Presets)
{
    bool ok = false;
    const int index = entry.toInt(&ok, 10);
    if (!ok || index < 0 || index >= PresetCount)
        return {};
    return Presets[static_cast<size_t>(index)].preset_id;
}

} // namespace

bool pageHoldsReport(const ReportMetrics& metrics, QSize pageSize)
{
    ReportComposer p(metrics, pageSize, [] { return QString(); });
    p.PrintDateLine(1);
    if (p.y_ > pageSize.height() - 2 * p.PrintLineHeight())
        return false;
    p.setTableFont();
    databaseHeadings(p);
    return p.y_ + p.PrintLineHeight() <= pageSize.height() - 2 * p.PrintLineHeight();
}

ReportDocument layoutRunOrder(const QStringList& RunOrderList, const PresetTable& Presets,
                              const ReportMetrics& metrics, QSize pageSize, const DateText& dateText)
{
    ReportComposer p(metrics, pageSize, dateText);
    p.PrintDateLine(1);
    p.setTableFont();
    Columns c = runOrderHeadings(p);
    for (qsizetype k = 1; k <= RunOrderList.size(); ++k) {
        p.setTableFont();
        p.textEndingAt(c.R, QString::number(k));
        p.text(c.R + 50, p.y_, speakerName(RunOrderList[k - 1], Presets));
        p.rowStep([&] {
            p.setTableFont();
            c = runOrderHeadings(p);
        });
    }
    p.ruleRestOfPage();
    return p.finish();
}

ReportDocument layoutDatabase(const PresetTable& Presets, const ReportMetrics& metrics, QSize pageSize,
                              const DateText& dateText)
{
    ReportComposer p(metrics, pageSize, dateText);
    p.PrintDateLine(1);
    p.setTableFont();
    Columns c = databaseHeadings(p);
    for (int i = 0; i < PresetCount; ++i) {
        const TPreset& entry = Presets[static_cast<size_t>(i)];
        p.setTableFont();
        p.textEndingAt(c.R, QString::number(i + 1));
        p.text(c.R + 50, p.y_, entry.preset_id);
        for (int k = 1; k <= 8; ++k)
            p.text(heightColumn(c, k) + 100, p.y_, QString::number(entry.preset[static_cast<size_t>(k - 1)]));
        p.rowStep([&] {
            p.setTableFont();
            c = databaseHeadings(p);
        });
    }
    p.ruleRestOfPage();
    return p.finish();
}
