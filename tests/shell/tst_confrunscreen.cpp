#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "StandsOnline.h"
#include "StandsimRun.h"
#include "WindowDriving.h"
#include "database/ConfData.h"
#include "database/DatabaseGrid.h"
#include "runorder/ConfRun.h"
#include "runorder/RunGrid.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The run order window beside the real main and database windows, driven as the operator
// drives it; speakers arrive as the database grid's own drag data.
class TestConfRunScreen : public QObject {
    Q_OBJECT

    struct Window {
        TConferenceForm& form;
        TConfRunScreen* screen = form.findChild<TConfRunScreen*>("ConfRunScreen");
        RunGrid* grid = form.findChild<RunGrid*>("RunGrid");

        QToolButton* button(const QString& name) const
        {
            auto* found = screen->findChild<QToolButton*>(name);
            if (!found)
                qFatal("no button %s", qPrintable(name));
            return found;
        }
        const QStringList& list() const { return form.programData().runOrder.RunOrderList; }
        QPoint cell(int row, int column = 1) const
        {
            return grid->visualRect(grid->model()->index(row - 1, column)).center();
        }
    };

    QTemporaryDir scratch;

private slots:
    void layoutFilesAndWriteBack();
    void takeAgainstStandsim();
};

void TestConfRunScreen::layoutFilesAndWriteBack()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Run Screen]\nTop=30\nLeft=40\nWidth=400\nHeight=240\nVisible=1\nC0=30\n"
                                          "Row Count=9\n");
    writeBytes(folder.path("RunOrder/evening.run"), "3\r\n0\r\n");
    TConferenceForm form(folder.paths());
    form.show();
    Window w{form};
    auto* RunOrderBtn = form.findChild<QPushButton*>("RunOrderBtn");
    QVERIFY(w.screen->isVisible());
    QVERIFY(RunOrderBtn->isEnabled() && RunOrderBtn->isChecked());
    QCOMPARE(w.screen->size(), QSize(400, 240));
    QCOMPARE(w.screen->windowTitle(), QString("Run Order"));
    QCOMPARE(w.screen->property("helpContext").toInt(), 30);
    QVERIFY(w.screen->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(QFontInfo(w.screen->font()).pixelSize(), 13);
    QCOMPARE(w.button("RunOrderSaveBtn")->geometry(), QRect(296, 4, 41, 25));
    QCOMPARE(w.button("RunOrderRetrieveBtn")->toolTip(), QString("Retrieve a run order"));
    QCOMPARE(w.grid->geometry(), QRect(0, 33, 400, 207));
    QCOMPARE(form.programData().runOrder.RunOrderPosition, -1);
    const auto filled = [&w] { return w.grid->columnWidth(0) + w.grid->columnWidth(1) == w.grid->viewport()->width(); };
    QVERIFY(filled());
    w.grid->horizontalHeader()->resizeSection(0, 46);  // the operator widens "Num"
    QVERIFY(filled());

    ModalAnswerer answerer;
    answerer.fileNames << "evening.run";
    QTest::mouseClick(w.button("RunOrderRetrieveBtn"), Qt::LeftButton);
    QCOMPARE(answerer.seen.value(0).section(" proposing", 0, 0), "dialog:" + folder.path("RunOrder"));
    QCOMPARE(w.screen->windowTitle(), QString("Run Order: evening"));
    QCOMPARE(w.grid->model()->index(0, 1).data().toString(), QString("Guest Reader"));

    // The database's entries change under the run order: its grid is painted again. With the
    // main window active, the question box leaves the run order's activation, which would
    // repaint it as well, alone.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    struct PaintCounter : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } paints;
    w.grid->viewport()->installEventFilter(&paints);
    QCoreApplication::processEvents();
    paints.count = 0;
    form.findChild<QToolButton*>("ClearBtn")->click();  // the database window's Clear, answered OK
    QTRY_VERIFY(paints.count > 0);
    QCOMPARE(w.grid->model()->index(0, 1).data().toString(), QString("No Name"));

    // Saving over an existing file is asked first.
    QVERIFY(dropOn(*dragFromRow(form.findChild<DatabaseGrid*>("DatabaseGrid"), 3), w.grid->viewport(), w.cell(1)));
    answerer.fileNames << "evening.run";
    QTest::mouseClick(w.button("RunOrderSaveBtn"), Qt::LeftButton);
    QVERIFY2(answerer.seen.last().contains("already exists"), qPrintable(answerer.seen.join('|')));
    QVERIFY(!form.programData().runOrder.RunOrderChanged);
    QCOMPARE(readBytes(folder.path("RunOrder/evening.run")), QByteArray("2\r\n3\r\n0\r\n"));

    // Shown and hidden by the button; a visible window puts it down when the main window activates.
    w.screen->close();
    QVERIFY(!w.screen->isVisible() && !RunOrderBtn->isChecked());
    QTest::mouseClick(RunOrderBtn, Qt::LeftButton);
    QVERIFY(w.screen->isVisible());
    w.screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.screen));
    RunOrderBtn->setChecked(false);
    form.activateWindow();
    QTRY_VERIFY(RunOrderBtn->isChecked());

    w.screen->resize(420, 250);
    QVERIFY(filled());
    form.close();
    const RunScreenLayout stored = retrieveRunScreenLayout(folder.path("elevra.ini"));
    QCOMPARE(QList<int>({stored.width, stored.height, stored.c0, stored.rowCount}), QList<int>({420, 250, 45, 4}));
    QVERIFY(stored.visible);
}

void TestConfRunScreen::takeAgainstStandsim()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=3\n[Run Screen]\nVisible=1\n[Run Order]\nR0=1\nR1=3\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "60", "--heights", "10,20,30"}, scratch.filePath("take.log")));
    folder.linkCom1(sim.line);
    TConferenceForm form(folder.paths());
    form.show();
    Window w{form};
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {10, 20, 30}), 10000);

    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(2));
    QTest::mouseClick(w.button("RunOrderTakeBtn"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {70, 68, 66}), 15000);
    QCOMPARE(form.findChild<QLabel*>("CurrentSpeaker")->text(), QString("2 : Guest Reader"));
    QCOMPARE(form.findChild<QLabel*>("Stand2Level")->text(), QString("66"));
    QCOMPARE(form.board().stand(3).target, 0);
    QByteArray frames = sim.frames();
    QCOMPARE(frames.count("*1A19B4"), 1);  // 70 × 94
    QCOMPARE(frames.count("*3A183C"), 1);  // 66 × 94
    QVERIFY(!frames.contains("*4A"));

    // The same entry again: the position does not move on.
    QTest::mouseClick(w.button("RunOrderTakeBtn"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(sim.frames().count("*3A183C"), 2, 5000);
    QCOMPARE(sim.frames().count("*1A19B4"), 2);
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestConfRunScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_confrunscreen.moc"
