#include "print/PrintDate.h"
#include "print/ReportLayout.h"

#include <QtTest>

namespace {

// Round numbers: every character 10 pixels wide (12 in bold); line heights 40 (date), 36
// (table) and 34 (page number), each including 2 of external leading and the 8 between lines.
class RoundMetrics : public ReportMetrics {
public:
    int characterHeight(ReportFont font) const override
    {
        return font == ReportFont::Date ? 30 : font == ReportFont::Table ? 26 : 24;
    }
    int externalLeading(ReportFont) const override { return 2; }
    int textWidth(ReportFont font, const QString& text) const override
    {
        return int(text.size()) * (font == ReportFont::Date ? 12 : 10);
    }
};

const QSize Page(2000, 1000);
const QString Date = QStringLiteral("Monday, January 7, 2008, 09:30 AM");

PresetTable numberedPresets()
{
    PresetTable presets;
    for (int i = 0; i < PresetCount; ++i) {
        presets[size_t(i)].preset_id = QStringLiteral("Speaker %1").arg(i);
        for (int k = 0; k < 8; ++k)
            presets[size_t(i)].preset[size_t(k)] = std::uint8_t(i + k);
    }
    return presets;
}

QStringList texts(const ReportPage& page, ReportFont font)
{
    QStringList found;
    for (const ReportText& t : page.texts)
        if (t.font == font)
            found << t.text;
    return found;
}

const ReportText* find(const ReportPage& page, const QString& text, ReportFont font = ReportFont::Table)
{
    for (const ReportText& t : page.texts)
        if (t.text == text && t.font == font)
            return &t;
    return nullptr;
}

} // namespace

class TestReportLayout : public QObject {
    Q_OBJECT
private slots:
    void runOrderPageBreaks_data();
    void runOrderPageBreaks();
    void emptyRunOrderIsOneRuledPage();
    void runOrderEntriesThatNameNoSpeaker();
    void pageTooSmallIsRefused();
    void everyPageAsksForTheTime();
    void dateLine_data();
    void dateLine();
};

void TestReportLayout::runOrderPageBreaks_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QList<int>>("rowsPerPage");
    // Every page holds 22 rows.
    QTest::newRow("short") << 5 << QList<int>{5};
    QTest::newRow("one short of full") << 21 << QList<int>{21};
    QTest::newRow("fills page 1") << 22 << QList<int>{22, 0};
    QTest::newRow("spills") << 23 << QList<int>{22, 1};
    QTest::newRow("fills page 2") << 44 << QList<int>{22, 22, 0};
}

void TestReportLayout::runOrderPageBreaks()
{
    QFETCH(int, entries);
    QFETCH(QList<int>, rowsPerPage);
    QStringList list;
    for (int i = 0; i < entries; ++i)
        list << QString::number(i % PresetCount);
    const ReportDocument doc = layoutRunOrder(list, numberedPresets(), RoundMetrics(), Page, Date);

    QCOMPARE(doc.size(), rowsPerPage.size());
    int row = 0;
    for (qsizetype p = 0; p < doc.size(); ++p) {
        const ReportPage& page = doc[p];
        QCOMPARE(texts(page, ReportFont::Date).value(0), Date);
        const ReportText* date = find(page, Date, ReportFont::Date);
        QCOMPARE(QPoint(date->x, date->y), QPoint(50, 20));
        // Page number centred at the foot, counting from 1.
        const QString number = QString::number(p + 1);
        QCOMPARE(texts(page, ReportFont::PageNumber), QStringList{number});
        QCOMPARE(find(page, number, ReportFont::PageNumber)->x, (2000 - 10 * int(number.size())) / 2);
        QCOMPARE(find(page, number, ReportFont::PageNumber)->y, 1000 - 34);
        // Headings below two bold lines, in the table font on every page, so R stays put.
        const int R = 100 + 60;
        QCOMPARE(find(page, "Number", ReportFont::Table)->y, 100);
        QCOMPARE(find(page, "ID", ReportFont::Table)->x, R + 50);
        QVERIFY(page.lines.contains(QLine(R + 30, 172, R + 30, 1000 - 36)));

        const QStringList numbers = texts(page, ReportFont::Table).filter(QRegularExpression("^\\d+$"));
        QCOMPARE(numbers.size(), rowsPerPage[p]);
        for (const QString& n : numbers) {
            QCOMPARE(n.toInt(), ++row);
            const ReportText* t = find(page, n);
            QCOMPARE(t->x + 10 * int(n.size()), R);
            QCOMPARE(find(page, QStringLiteral("Speaker %1").arg((row - 1) % PresetCount))->y, t->y);
        }
    }
    QCOMPARE(row, entries);
}

void TestReportLayout::emptyRunOrderIsOneRuledPage()
{
    const ReportDocument doc = layoutRunOrder({}, numberedPresets(), RoundMetrics(), Page, Date);
    QCOMPARE(doc.size(), 1);
    QCOMPARE(doc[0].texts.size(), 4);  // date, two headings, page number
    QCOMPARE(texts(doc[0], ReportFont::PageNumber), QStringList{"1"});
    // The heading rule, the separator, then rules every line from y 172 while above 964.
    QList<QLine> expected{QLine(50, 168, 1950, 168), QLine(190, 172, 190, 964)};
    for (int y = 172; y < 964; y += 36)
        expected << QLine(50, y - 4, 1950, y - 4);
    QCOMPARE(doc[0].lines, expected);
}

void TestReportLayout::runOrderEntriesThatNameNoSpeaker()
{
    const QStringList list{"3", "x", "50", "-1", "", "49", "0x1"};
    const ReportDocument doc = layoutRunOrder(list, numberedPresets(), RoundMetrics(), Page, Date);
    QStringList names;
    for (const ReportText& t : doc[0].texts)
        if (t.x == 210 && t.y > 100)
            names << t.text;
    QCOMPARE(names, (QStringList{"Speaker 3", "", "", "", "", "Speaker 49", ""}));
}

void TestReportLayout::pageTooSmallIsRefused()
{
    // A date line, the headings and one row need 20 + 80 + 72 + 36 pixels above twice a line.
    QVERIFY(pageHoldsReport(RoundMetrics(), QSize(2000, 208 + 72)));
    QVERIFY(!pageHoldsReport(RoundMetrics(), QSize(2000, 208 + 71)));
}

void TestReportLayout::everyPageAsksForTheTime()
{
    // A clock that moves on each time it is read: each page shows the time it was read.
    int readings = 0;
    const DateText clock = [&readings] { return QStringLiteral("reading %1").arg(++readings); };
    const ReportDocument runOrder = layoutRunOrder(QStringList(23, "1"), numberedPresets(), RoundMetrics(), Page, clock);
    QCOMPARE(runOrder.size(), 2);
    QCOMPARE(texts(runOrder[0], ReportFont::Date), QStringList{"reading 1"});
    QCOMPARE(texts(runOrder[1], ReportFont::Date), QStringList{"reading 2"});
    const ReportDocument database = layoutDatabase(numberedPresets(), RoundMetrics(), Page, clock);
    QCOMPARE(database.size(), 3);
    QCOMPARE(texts(database[2], ReportFont::Date), QStringList{"reading 5"});
}

void TestReportLayout::dateLine_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QDate d(2008, 1, 7);
    QTest::newRow("morning") << QDateTime(d, QTime(9, 30)) << en << "Monday, January 7, 2008, 09:30 AM";
    QTest::newRow("midnight") << QDateTime(d, QTime(0, 5)) << en << "Monday, January 7, 2008, 12:05 AM";
    QTest::newRow("noon") << QDateTime(d, QTime(12, 0)) << en << "Monday, January 7, 2008, 12:00 PM";
    QTest::newRow("evening") << QDateTime(QDate(2031, 12, 31), QTime(23, 59)) << en
                             << "Wednesday, December 31, 2031, 11:59 PM";
    const QLocale fi(QLocale::Finnish, QLocale::Finland);
    QTest::newRow("locale names and separator")
            << QDateTime(d, QTime(13, 7)) << fi
            << fi.dayName(1) + ", " + fi.monthName(1) + " 7, 2008, 01" + timeSeparator(fi) + "07 PM";
}

void TestReportLayout::dateLine()
{
    QFETCH(QDateTime, when);
    QFETCH(QLocale, locale);
    QTEST(printDateText(when, locale), "text");
}

QTEST_GUILESS_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
