#include "print/PrintSequence.h"
#include "print/ReportDrawing.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <array>
#include <functional>

namespace {

// Stands in for the operator: in the print dialog, chooses printing to the PDF file and
// accepts, or cancels; records message boxes.
class DialogAnswerer : public QObject {
public:
    DialogAnswerer(bool accept, const QString& pdf = QString()) : accept_(accept)
    {
        connect(&timer_, &QTimer::timeout, this, [this, pdf] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                ++dialogs;
                auto* printers = dialog->findChild<QComboBox*>("printers");
                printers->setCurrentIndex(printers->count() - 1);  // print to a PDF file
                dialog->findChild<QLineEdit*>("filename")->setText(pdf);
                accept_ ? dialog->accept() : dialog->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text();
                box->accept();
            }
        });
        timer_.start(10);
    }
    int dialogs = 0;
    QStringList messages;

private:
    bool accept_;
    QTimer timer_;
};

struct Word {
    QString text;
    QRectF box;  // in points from the page's top left corner
};

// The words of each page with their boxes, as poppler reads them back.
QList<QList<Word>> pdfWords(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(pdf));
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    QList<QList<Word>> pages;
    static const QRegularExpression tag(
            R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page")))
            pages.append(QList<Word>());
        else
            pages.last().append(Word{m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                                             QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return pages;
}

QList<Word> wordsAs(const QList<Word>& page, const QString& text)
{
    QList<Word> found;
    for (const Word& w : page)
        if (w.text == text)
            found << w;
    return found;
}

PresetTable samplePresets()
{
    PresetTable presets;
    for (int i = 0; i < PresetCount; i += 2) {
        presets[size_t(i)].preset_id = QStringLiteral("Speaker%1").arg(i);
        presets[size_t(i)].preset.fill(std::uint8_t(i + 40));
    }
    return presets;
}

} // namespace

// Both reports printed through the print dialog to PDF files, and read back with poppler.
class TestPrintReports : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Device pixels of the report to points on the PDF page.
    QPointF toPoints(int x, int y) const
    {
        const QPrinter& printer = PrinterDevice();
        const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Point);
        const double scale = 72.0 / printer.resolution();
        return printable.topLeft() + QPointF(x * scale, y * scale);
    }

    static void compareNear(double actual, double expected, double tolerance, const char* what)
    {
        if (qAbs(actual - expected) > tolerance)
            QFAIL(qPrintable(QStringLiteral("%1: %2, expected %3").arg(what).arg(actual).arg(expected)));
    }

    // The x position at which the row numbers end.
    static int numberColumnRight(const QString& widest)
    {
        return 100 + DeviceMetrics(&PrinterDevice()).textWidth(ReportFont::Table, widest);
    }

private slots:
    void databaseReport();
    void runOrderFillingPageOne();
    void emptyRunOrder();
    void cancelOrUnwritableFilePrintsNothing();
    void noPrintedWordCrossesAColumnRule();
};

void TestPrintReports::databaseReport()
{
    const QString pdf = dir.filePath("database.pdf");
    DialogAnswerer answerer(true, pdf);
    PrintDatabase(samplePresets(), nullptr);
    QCOMPARE(answerer.dialogs, 1);
    QCOMPARE(answerer.messages, QStringList());

    const QList<QList<Word>> pages = pdfWords(pdf);
    QCOMPARE(pages.size(), 1);
    const QList<Word>& page = pages[0];
    // The date line at (50, 20), its weekday first.
    const QPointF date = toPoints(50, 20);
    compareNear(page[0].box.left(), date.x(), 0.5, "date x");
    compareNear(page[0].box.top(), date.y(), 1.5, "date y");
    QCOMPARE(page[0].text, QLocale().dayName(QDate::currentDate().dayOfWeek()) + ",");

    const DeviceMetrics m(&PrinterDevice());
    const int R = numberColumnRight(QStringLiteral("Number"));
    const int C = R + 50 + m.textWidth(ReportFont::Table, "ID") + 50
                  + m.textWidth(ReportFont::Table, "MMMMMMMMMMMMMMMM");
    compareNear(wordsAs(page, "Number").value(0).box.left(), toPoints(100, 0).x(), 0.5, "Number");
    compareNear(wordsAs(page, "ID").value(0).box.left(), toPoints(R + 50, 0).x(), 0.5, "ID");
    for (int k = 1; k <= 8; ++k)
        compareNear(wordsAs(page, QStringLiteral("S%1").arg(k)).value(0).box.left(),
                    toPoints(C + 150 * (k - 1) + 100, 0).x(), 0.5, "height heading");

    // Fifty rows numbered 1 to 50, right-aligned on R, cleared records with their name.
    QCOMPARE(wordsAs(page, "No").size(), 25);
    double previousTop = 0;
    for (int i = 1; i <= 50; ++i) {
        const Word number = wordsAs(page, QString::number(i)).value(0);
        compareNear(number.box.right(), toPoints(R, 0).x(), 0.5, "row number right edge");
        QVERIFY(number.box.top() > previousTop);
        previousTop = number.box.top();
    }
    // Entry 48's eighth height at its column.
    const QList<Word> eightyEight = wordsAs(page, "88");
    QCOMPARE(eightyEight.size(), 8);
    compareNear(eightyEight.last().box.left(), toPoints(C + 1150, 0).x(), 0.5, "S8 value");
    // Page number 1 centred at the foot.
    const Word one = wordsAs(page, "1").last();
    compareNear(one.box.center().x(), toPoints(PrinterDevice().width() / 2, 0).x(), 0.5, "page number centre");
    QVERIFY(one.box.top() > previousTop);
}

void TestPrintReports::runOrderFillingPageOne()
{
    // As many entries as the page's rows: found by laying out a long list on the same printer.
    PrinterDevice().setOutputFileName(dir.filePath("probe.pdf"));
    PrinterDevice().setResolution(ReportResolution);
    const DeviceMetrics m(&PrinterDevice());
    const ReportDocument probe = layoutRunOrder(QStringList(200, "2"), samplePresets(), m,
                                                QSize(PrinterDevice().width(), PrinterDevice().height()), "date");
    qsizetype fill = 0;
    for (const ReportText& t : probe[0].texts)
        fill += t.text == "Speaker2";
    QVERIFY(fill > 40);

    const QString pdf = dir.filePath("runorder.pdf");
    DialogAnswerer answerer(true, pdf);
    PrintRunOrder(QStringList(fill, "2"), samplePresets(), nullptr);

    const QList<QList<Word>> pages = pdfWords(pdf);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(wordsAs(pages[0], "Speaker2").size(), fill);
    compareNear(wordsAs(pages[0], QString::number(fill)).value(0).box.right(),
                toPoints(numberColumnRight("888888"), 0).x(), 0.5, "row number right edge");
    // Page 2: date line, headings and page number 2 only.
    QStringList rest;
    for (const Word& w : pages[1].mid(6))
        rest << w.text;
    QCOMPARE(rest, (QStringList{"Number", "ID", "2"}));
    compareNear(wordsAs(pages[1], "2").value(0).box.center().x(), toPoints(PrinterDevice().width() / 2, 0).x(), 0.5,
                "page number centre");
}

void TestPrintReports::emptyRunOrder()
{
    const QString pdf = dir.filePath("empty.pdf");
    DialogAnswerer answerer(true, pdf);
    PrintRunOrder({}, samplePresets(), nullptr);
    const QList<QList<Word>> pages = pdfWords(pdf);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].size(), 6 + 3);  // six words of the date line, headings, page number
    QCOMPARE(pages[0].last().text, "1");
}

void TestPrintReports::cancelOrUnwritableFilePrintsNothing()
{
    const QString cancelled = dir.filePath("cancelled.pdf");
    {
        DialogAnswerer answerer(false, cancelled);
        PrintDatabase(samplePresets(), nullptr);
        QCOMPARE(answerer.dialogs, 1);
        QCOMPARE(answerer.messages, QStringList());
    }
    QVERIFY(!QFile::exists(cancelled));

    const QString unwritable = dir.filePath("no such folder/report.pdf");
    DialogAnswerer answerer(true, unwritable);
    PrintRunOrder({"1"}, samplePresets(), nullptr);
    QCOMPARE(answerer.messages.size(), 1);
    QVERIFY2(answerer.messages[0].contains(unwritable) && answerer.messages[0].contains("No such file or directory"),
             qPrintable(answerer.messages[0]));
}

void TestPrintReports::noPrintedWordCrossesAColumnRule()
{
    // Heights of one to three digits in every column, names as long as people have, and a run
    // order long enough for three-digit row numbers.
    PresetTable presets;
    const std::array<std::uint8_t, 8> heights{99, 255, 100, 7, 42, 250, 0, 188};
    for (int i = 0; i < PresetCount; ++i) {
        presets[size_t(i)].preset_id = i % 2 ? QStringLiteral("Dr. Wilhelmina Fairweather") : QStringLiteral("Li Wu");
        std::rotate_copy(heights.begin(), heights.begin() + i % 8, heights.end(), presets[size_t(i)].preset.begin());
    }
    QStringList runOrder;
    for (int i = 0; i < 130; ++i)
        runOrder << QString::number(i % PresetCount);

    const QList<std::pair<QString, std::function<void()>>> reports{
            {"database", [&] { PrintDatabase(presets, nullptr); }},
            {"run order", [&] { PrintRunOrder(runOrder, presets, nullptr); }}};
    for (const auto& [name, print] : reports) {
        const QString pdf = dir.filePath(name + ".rules.pdf");
        DialogAnswerer answerer(true, pdf);
        print();
        QCOMPARE(answerer.messages, QStringList());
        // The rules as the report drew them, on the printer the dialog chose.
        const DeviceMetrics m(&PrinterDevice());
        const QSize page(PrinterDevice().width(), PrinterDevice().height());
        const ReportDocument document = name == "database" ? layoutDatabase(presets, m, page, "date")
                                                           : layoutRunOrder(runOrder, presets, m, page, "date");
        const QList<QList<Word>> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), document.size());
        int vertical = 0;
        for (qsizetype p = 0; p < pages.size(); ++p) {
            for (const QLine& line : document[p].lines) {
                if (line.x1() != line.x2())
                    continue;
                ++vertical;
                const QPointF top = toPoints(line.x1(), line.y1());
                const QPointF bottom = toPoints(line.x2(), line.y2());
                for (const Word& w : pages[p])
                    QVERIFY2(!(w.box.left() < top.x() && w.box.right() > top.x() && w.box.bottom() > top.y()
                               && w.box.top() < bottom.y()),
                             qPrintable(QStringLiteral("%1 page %2: \"%3\" crosses the rule at x %4 pt")
                                                .arg(name).arg(p + 1).arg(w.text).arg(top.x())));
            }
        }
        QCOMPARE(vertical, (name == "database" ? 9 : 1) * int(pages.size()));
    }
}

QTEST_MAIN(TestPrintReports)
#include "tst_printreports.moc"
