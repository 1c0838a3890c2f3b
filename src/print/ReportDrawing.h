#pragma once

#include "print/ReportLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <array>

class QPagedPaintDevice;
class QPainter;

// Arial 10 bold for the date line, Arial 10 for the table, Times New Roman 10 for page numbers;
// where those are not installed, their metric-compatible Liberation fonts.
QFont reportFontOf(ReportFont font);

// The metrics of the report fonts on a paint device, in its pixels.
class DeviceMetrics : public ReportMetrics {
public:
    explicit DeviceMetrics(QPaintDevice* device);

    int characterHeight(ReportFont font) const override;
    int externalLeading(ReportFont font) const override;
    int textWidth(ReportFont font, const QString& text) const override;
    int ascent(ReportFont font) const;

private:
    const QFontMetrics& of(ReportFont font) const { return metrics_[static_cast<size_t>(font)]; }

    std::array<QFontMetrics, 3> metrics_;
};

// Draws the pages with `painter`, open on `device`, starting a new page before each page after
// the first. Lines are 1 device pixel wide.
void drawReport(const ReportDocument& document, QPainter& painter, QPagedPaintDevice& device);
