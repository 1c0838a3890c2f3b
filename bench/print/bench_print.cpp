// Times the printed reports rendered to PDF at the report resolution: the database report
// (50 rows) and run order reports of 0, 100, 1 000 and 10 000 entries, the layout and the drawing
// together. Prints the median of several runs of each, and how the run order's time grows with
// its length once the fixed cost of a PDF (fonts, file structure: the empty run order) is taken
// off. With a folder as argument, the PDFs are kept there.
#include "print/PrintDate.h"
#include "print/PrintSequence.h"
#include "print/ReportDrawing.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Layout = std::function<ReportDocument(const ReportMetrics&, QSize, const QString&)>;

// One report into a PDF in memory; returns the page count.
qsizetype render(const Layout& layout, QIODevice& out)
{
    QPdfWriter writer(&out);
    writer.setResolution(ReportResolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    const DeviceMetrics metrics(&writer);
    const ReportDocument document =
            layout(metrics, QSize(writer.width(), writer.height()), printDateText(QDateTime::currentDateTime(), QLocale()));
    QPainter painter(&writer);
    drawReport(document, painter, writer);
    return document.size();
}

struct Timing {
    double medianMs;
    qsizetype pages;
    qsizetype bytes;
};

Timing time(const Layout& layout, int runs, const QString& keepAs)
{
    std::vector<double> times;
    Timing result{};
    for (int i = 0; i < runs; ++i) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QElapsedTimer clock;
        clock.start();
        result.pages = render(layout, out);
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        result.bytes = out.data().size();
        if (i == 0 && !keepAs.isEmpty()) {
            QFile file(keepAs);
            if (file.open(QIODevice::WriteOnly))
                file.write(out.data());
        }
    }
    std::sort(times.begin(), times.end());
    result.medianMs = times[times.size() / 2];
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString keep = argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + u'/' : QString();
    auto keepAs = [&](const char* name) { return keep.isEmpty() ? QString() : keep + QString::fromLatin1(name); };
    constexpr int runs = 25;

    PresetTable presets;
    for (int i = 0; i < PresetCount; ++i) {
        presets[size_t(i)].preset_id = QStringLiteral("Speaker number %1").arg(i);
        presets[size_t(i)].preset.fill(std::uint8_t(i + 10));
    }
    auto runOrder = [&](int entries) {
        QStringList list;
        for (int i = 0; i < entries; ++i)
            list << QString::number(i % PresetCount);
        return [list, &presets](const ReportMetrics& m, QSize page, const QString& date) {
            return layoutRunOrder(list, presets, m, page, date);
        };
    };

    const Timing database = time([&](const ReportMetrics& m, QSize page, const QString& date) {
        return layoutDatabase(presets, m, page, date);
    }, runs, keepAs("database.pdf"));
    const Timing empty = time(runOrder(0), runs, keepAs("runorder-0.pdf"));
    const Timing small = time(runOrder(100), runs, keepAs("runorder-100.pdf"));
    const Timing large = time(runOrder(1000), runs, keepAs("runorder-1000.pdf"));
    const Timing huge = time(runOrder(10000), runs, QString());

    std::printf("Database report, 50 rows:        %8.2f ms, %lld page(s), %lld bytes (median of %d)\n",
                database.medianMs, static_cast<long long>(database.pages), static_cast<long long>(database.bytes), runs);
    std::printf("Run order report, empty:         %8.2f ms, %lld page(s), %lld bytes (median of %d)\n", empty.medianMs,
                static_cast<long long>(empty.pages), static_cast<long long>(empty.bytes), runs);
    std::printf("Run order report, 100 entries:   %8.2f ms, %lld page(s), %lld bytes (median of %d)\n", small.medianMs,
                static_cast<long long>(small.pages), static_cast<long long>(small.bytes), runs);
    std::printf("Run order report, 1 000 entries: %8.2f ms, %lld page(s), %lld bytes (median of %d)\n", large.medianMs,
                static_cast<long long>(large.pages), static_cast<long long>(large.bytes), runs);
    std::printf("Run order report, 10 000 entries:%8.2f ms, %lld page(s), %lld bytes (median of %d)\n", huge.medianMs,
                static_cast<long long>(huge.pages), static_cast<long long>(huge.bytes), runs);
    std::printf("Ratio 1 000 / 100 entries:       %8.2f whole times\n", large.medianMs / small.medianMs);
    std::printf("                                 %8.2f less the empty report's time (linear growth gives about 10)\n",
                (large.medianMs - empty.medianMs) / (small.medianMs - empty.medianMs));
    std::printf("Ratio 10 000 / 1 000 entries:    %8.2f less the empty report's time\n",
                (huge.medianMs - empty.medianMs) / (large.medianMs - empty.medianMs));
    return 0;
}
