#include "print/PrintSequence.h"

#include "print/PrintDate.h"
#include "print/PrinterQueue.h"
#include "print/ReportDrawing.h"
#include "widgets/MessageBoxes.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <functional>
#include <memory>

namespace {

std::unique_ptr<QPrinter>& printerSlot()
{
    static std::unique_ptr<QPrinter> printer;
    return printer;
}

using Layout = std::function<ReportDocument(const ReportMetrics&, QSize, const DateText&)>;

void showFailure(QWidget* parent, const QString& text)
{
    MessageBoxes::showWarning(parent, text);
}

QString printerLabel(const QPrinter& printer)
{
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

// Why the chosen printer cannot take a job now, or an empty string.
QString refusal(const QPrinter& printer)
{
    if (!printer.outputFileName().isEmpty()) {
        // The print engine only says that it failed; opening the file ourselves gives the reason.
        QFile file(printer.outputFileName());
        if (!file.open(QIODevice::WriteOnly))
            return QStringLiteral("Unable to print to %1: %2").arg(printer.outputFileName(), file.errorString());
        return {};
    }
    // Qt's print engine hands the job to the spooler without looking at the answer, so a queue
    // that would refuse it is asked first.
    const std::string refused = printerQueueRefusal(printer.printerName().toStdString());
    if (!refused.empty())
        return QStringLiteral("The printer %1 %2").arg(printer.printerName(), QString::fromStdString(refused));
    return {};
}

void printSequence(QWidget* parent, const QString& title, const Layout& layout)
{
    QPrinter& printer = PrinterDevice();
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer.setResolution(ReportResolution);
    printer.setDocName(title);

    if (const QString reason = refusal(printer); !reason.isEmpty()) {
        showFailure(parent, reason);
        return;
    }
    const QSize page(printer.width(), printer.height());
    const DeviceMetrics metrics(&printer);
    if (!pageHoldsReport(metrics, page)) {
        showFailure(parent, QStringLiteral("The page of %1 is too small for the report").arg(printerLabel(printer)));
        return;
    }
    const ReportDocument document = layout(metrics, page, [] { return printDateText(QDateTime::currentDateTime(), QLocale()); });

    QPainter painter;
    if (!painter.begin(&printer)) {
        showFailure(parent, QStringLiteral("The printer %1 did not start the job").arg(printerLabel(printer)));
        return;
    }
    // The copy count is the printer's setting: the printer makes the further copies.
    if (printer.copyCount() >= 1)
        drawReport(document, painter, printer);
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        showFailure(parent, QStringLiteral("The printer %1 did not finish the job").arg(printerLabel(printer)));
}

} // namespace

QPrinter& PrinterDevice()
{
    std::unique_ptr<QPrinter>& printer = printerSlot();
    if (!printer) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // Gone before the application object, while the print plugins are still loaded.
        qAddPostRoutine([] { printerSlot().reset(); });
    }
    return *printer;
}

void PrintRunOrder(const QStringList& RunOrderList, const PresetTable& Presets, QWidget* parent)
{
    printSequence(parent, QStringLiteral("Run Order"), [&](const ReportMetrics& m, QSize page, const DateText& date) {
        return layoutRunOrder(RunOrderList, Presets, m, page, date);
    });
}

void PrintDatabase(const PresetTable& Presets, QWidget* parent)
{
    printSequence(parent, QStringLiteral("Speaker Database"), [&](const ReportMetrics& m, QSize page, const DateText& date) {
        return layoutDatabase(Presets, m, page, date);
    });
}
