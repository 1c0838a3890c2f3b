#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "shell/ConfMain.h"
#include "shell/HelpFile.h"
#include "shell/HelpWindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString HelpFileName = QStringLiteral(ELEVRA_BINARY_DIR "/elevra.chm");

HelpWindow* helpWindowOf(QWidget& owner)
{
    return owner.findChild<HelpWindow*>();
}

QString shownTitle(HelpWindow* window)
{
    return window->findChild<QTextBrowser*>("HelpPage")->documentTitle();
}

} // namespace

// The compiled help file and the help window that reads it.
class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void everyLinkResolves();
    void linkClickedInTheWindowOpensItsPage();
    void helpButtonAndF1OpenTheFocusedWindowsContext();
    void missingOrDamagedFileIsReported();
};

void TestHelp::everyLinkResolves()
{
    HelpFile file;
    QVERIFY(file.open(HelpFileName));
    const QStringList pages = file.pages().filter(QRegularExpression("\\.html$"));
    QCOMPARE(pages.size(), 7);
    static const QRegularExpression link(R"re((?:href|src)="([^"]+)")re", QRegularExpression::CaseInsensitiveOption);
    int links = 0;
    for (const QString& page : pages) {
        const QString html = QString::fromUtf8(file.read(page));
        QVERIFY2(html.contains("<title>"), qPrintable(page));
        for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
            const QUrl target = HelpBrowser::urlOf(page).resolved(QUrl(it.next().captured(1)));
            QVERIFY2(file.contains(target.path()), qPrintable(page + " links to " + target.toString()));
        }
    }
    QVERIFY(links > 20);
    for (const HelpTopic& topic : file.contents())
        QVERIFY2(file.contains(topic.page), qPrintable(topic.name));
}

void TestHelp::linkClickedInTheWindowOpensItsPage()
{
    HelpWindow window(HelpFileName, nullptr);
    QVERIFY(window.showHelpContext(10));
    auto* browser = window.findChild<QTextBrowser*>("HelpPage");
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QTextCursor anchor = browser->document()->find("run order window");
    QVERIFY(anchor.charFormat().isAnchor());
    QTextCursor inside(anchor);
    inside.setPosition(anchor.selectionStart() + 3);
    browser->setTextCursor(inside);
    browser->ensureCursorVisible();
    const QPoint at = browser->cursorRect(inside).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE(window.currentPage(), QStringLiteral("/runorder.html"));
    QCOMPARE(shownTitle(&window), QStringLiteral("The run order window"));
}

void TestHelp::helpButtonAndF1OpenTheFocusedWindowsContext()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    form.findChild<QPushButton*>("HelpBtn")->click();
    HelpWindow* help = helpWindowOf(form);
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->currentPage(), QStringLiteral("/index.html"));
    QCOMPARE(shownTitle(help), QStringLiteral("The main window"));
    auto* contents = help->findChild<QTreeWidget*>("HelpContents");
    QCOMPARE(contents->topLevelItemCount(), 4);
    QCOMPARE(contents->currentItem()->text(0), QStringLiteral("The main window"));

    // Another window of the program, as the database window sets itself up, with a nested
    // control that names its own context.
    QWidget database;
    database.setProperty("helpContext", 20);
    auto* box = new QLineEdit(&database);
    auto* panel = new QWidget(&database);
    panel->setProperty("helpContext", 30);
    auto* inner = new QLineEdit(panel);
    database.show();
    QTest::keyClick(box, Qt::Key_F1);
    QCOMPARE(help->currentPage(), QStringLiteral("/database.html"));
    QCOMPARE(contents->currentItem()->text(0), QStringLiteral("The database window"));
    QTest::keyClick(inner, Qt::Key_F1);
    QCOMPARE(help->currentPage(), QStringLiteral("/runorder.html"));
    QTest::keyClick(form.findChild<QPushButton*>("TakeBtn"), Qt::Key_F1);
    QCOMPARE(help->currentPage(), QStringLiteral("/index.html"));
    QCOMPARE(form.findChildren<HelpWindow*>().size(), 1);
}

void TestHelp::missingOrDamagedFileIsReported()
{
    QTemporaryDir dir;
    const QByteArray good = readBytes(HelpFileName);
    writeBytes(dir.filePath("garbage.chm"), QByteArray(4096, 'x'));
    writeBytes(dir.filePath("truncated.chm"), good.left(good.size() / 3));

    ModalAnswerer answerer;
    for (const char* name : {"missing.chm", "garbage.chm", "truncated.chm"}) {
        HelpWindow window(dir.filePath(name), nullptr);
        QVERIFY(!window.showHelpContext(10));
        QVERIFY(!window.isVisible());
    }
    QCOMPARE(answerer.seen.size(), 3);
    QVERIFY2(answerer.seen[0].contains("missing.chm was not found"), qPrintable(answerer.seen[0]));
    for (int i : {1, 2})
        QVERIFY2(answerer.seen[i].contains("is damaged or is not a help file"), qPrintable(answerer.seen[i]));

    HelpWindow window(HelpFileName, nullptr);
    QVERIFY(!window.showHelpContext(99));
    QTRY_VERIFY(answerer.seen.last().contains("has no topic for help context 99"));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
