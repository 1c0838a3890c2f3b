#include "DataFolder.h"
#include "ModalAnswerer.h"
#include "StandsOnline.h"
#include "StandsimRun.h"
#include "database/ConfData.h"
#include "database/DatabaseGrid.h"
#include "database/VantoraDragDrop.h"
#include "shell/ConfMain.h"
#include "shell/ElevraApplication.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

// The database window beside the real main window, driven as the operator drives it.
class TestConfDataScreen : public QObject {
    Q_OBJECT

    struct Window {
        TConferenceForm& form;
        TConfDataScreen* screen = form.findChild<TConfDataScreen*>("ConfDataScreen");
        DatabaseGrid* grid = form.findChild<DatabaseGrid*>("DatabaseGrid");

        template <typename T = QToolButton>
        T* control(const QString& name) const
        {
            T* found = screen->findChild<T*>(name);
            if (!found)
                qFatal("no control %s", qPrintable(name));
            return found;
        }
        void click(const QString& button) const { QTest::mouseClick(control(button), Qt::LeftButton); }
        QPoint cell(int row, int column = 1) const
        {
            return grid->visualRect(grid->model()->index(row - 1, column)).center();
        }
        void press(int row) const { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(row)); }
        void key(Qt::KeyboardModifiers modifiers) const { QTest::keyClick(grid, Qt::Key_Delete, modifiers); }
        void mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at) const
        {
            QMouseEvent event(type, at, grid->viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QApplication::sendEvent(grid->viewport(), &event);
        }
        // Press, move the given distance, release.
        void drag(Qt::MouseButton button, QPoint from, QPoint by) const
        {
            mouse(QEvent::MouseButtonPress, button, button, from);
            mouse(QEvent::MouseMove, Qt::NoButton, button, from + by);
            mouse(QEvent::MouseButtonRelease, button, Qt::NoButton, from + by);
        }
        const TPreset& entry(int index) const { return form.programData().Presets[static_cast<size_t>(index)]; }
        QString level(int i) const { return form.findChild<QLabel*>(QString("Stand%1Level").arg(i))->text(); }
    };

    static void showDatabase(TConferenceForm& form)
    {
        QTest::mouseClick(form.findChild<QPushButton*>("DatabaseBtn"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(form.findChild<TConfDataScreen*>()));
    }

    QTemporaryDir scratch;

private slots:
    void layoutToggleAndWriteBack();
    void storeLoadAndTakeAgainstStandsim();
    void editingAndFiles();
    void highlightHeadingPressAndDrag();
    void onlyALeftPressSelectsAndOnlyALeftDoubleClickLoads();
};

void TestConfDataScreen::layoutToggleAndWriteBack()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"),
               "[Main]\nStands Displayed=3\n[Database]\nTop=30\nLeft=40\nWidth=500\nHeight=300\nVisible=1\nC1=120\n");
    TConferenceForm form(folder.paths());
    form.show();
    Window w{form};
    auto* DatabaseBtn = form.findChild<QPushButton*>("DatabaseBtn");
    QVERIFY(w.screen->isVisible());
    QVERIFY(DatabaseBtn->isEnabled() && DatabaseBtn->isChecked());
    QCOMPARE(w.screen->size(), QSize(500, 300));
    QCOMPARE(w.screen->windowTitle(), QString("Database: DBase0"));
    QCOMPARE(w.screen->property("helpContext").toInt(), 20);
    QVERIFY(w.screen->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(w.control("ClearBtn")->geometry(), QRect(456, 8, 38, 25));
    QCOMPARE(w.control("ClearBtn")->toolTip(), QString("Clear the speaker database"));
    QCOMPARE(w.grid->geometry(), QRect(0, 41, 500, 259));
    // Entry 0 in every target panel, the three displayed and the five hidden.
    QCOMPARE(w.level(3), QString("45"));
    QCOMPARE(w.control<QLineEdit>("SavePresetIdData")->text(), QString("Chair"));

    const auto filled = [&w] {
        int sum = 0;
        for (int i = 0; i < 10; ++i)
            sum += w.grid->columnWidth(i);
        return sum == w.grid->viewport()->width();
    };
    QCOMPARE(w.grid->ColumnWidths()[1], 120);
    QVERIFY(filled());
    w.grid->horizontalHeader()->resizeSection(2, 41);  // the operator widens "S1"
    QVERIFY(filled());

    w.screen->close();
    QVERIFY(!w.screen->isVisible());
    QVERIFY(!DatabaseBtn->isChecked());
    QTest::mouseClick(DatabaseBtn, Qt::LeftButton);
    QVERIFY(w.screen->isVisible());
    QTest::mouseClick(DatabaseBtn, Qt::LeftButton);
    QVERIFY(!w.screen->isVisible());
    w.screen->show();
    w.screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.screen));
    DatabaseBtn->setChecked(false);  // raised while the window shows
    form.activateWindow();
    QTRY_VERIFY(DatabaseBtn->isChecked());

    w.screen->resize(420, 250);
    form.close();
    const QByteArray ini = readBytes(folder.path("elevra.ini"));
    for (const char* line : {"C1=120\n", "C2=40\n", "C8=20\n", "Width=420\n", "Height=250\n", "Visible=1\n"})
        QVERIFY2(ini.contains(line), line);
}

void TestConfDataScreen::storeLoadAndTakeAgainstStandsim()
{
    DataFolder folder;
    writeBytes(folder.path("elevra.ini"), "[Main]\nStands Displayed=3\n");
    StandsimRun sim;
    QVERIFY(sim.start({"--stands", "8", "--speed", "60", "--heights", "10,20,30"}, scratch.filePath("store.log")));
    folder.linkCom1(sim.line);
    TConferenceForm form(folder.paths());
    form.show();
    showDatabase(form);
    Window w{form};
    ModalAnswerer answerer;
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {10, 20, 30}), 10000);

    // Actual heights, trimmed identifier.
    w.press(6);
    QLineEdit* box = w.control<QLineEdit>("SavePresetIdData");
    box->selectAll();
    QTest::keyClicks(box, "  Guest  Two ");
    w.click("StoreBtn");
    QCOMPARE(answerer.seen, QStringList{"Store the current stand heights as speaker 6?"});
    QCOMPARE(w.entry(5).preset, (std::array<std::uint8_t, 8>{10, 20, 30, 0, 0, 0, 0, 0}));
    QCOMPARE(w.entry(5).preset_id, QString("Guest  Two"));

    // Target heights, as a double-click put them there, all eight of them.
    form.programData().config.DatabaseFromTarget = true;
    w.press(4);
    QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(4));
    QCOMPARE(w.level(7), QString("56"));
    QCOMPARE(box->text(), QString("Guest Reader"));
    w.press(7);
    w.click("StoreBtn");
    QCOMPARE(w.entry(6).preset, (std::array<std::uint8_t, 8>{70, 68, 66, 64, 62, 60, 58, 56}));
    QCOMPARE(w.entry(6).preset_id, QString("No Name"));

    // Load sets all eight targets and sends nothing.
    const qsizetype stand1Frames = sim.frames().count("*1A");
    w.press(1);
    w.click("LoadBtn");
    QCOMPARE(form.board().Stand(3).target, 45);

    // Take moves the three displayed stands only and shows the speaker.
    w.press(2);
    w.click("TakeBtn");
    QTRY_VERIFY_WITH_TIMEOUT(allOnlineAt(form.board(), {55, 50, 52}), 15000);
    QCOMPARE(form.findChild<QLabel*>("CurrentSpeaker")->text(), QString("Keynote Speaker"));
    QCOMPARE(form.board().Stand(3).target, 45);
    const QByteArray frames = sim.frames();
    QCOMPARE(frames.count("*1A"), stand1Frames + 1);
    QVERIFY(frames.contains("*1A1432"));  // 55 × 94
    QVERIFY(frames.contains("*3A1318"));  // 52 × 94
    QVERIFY(!frames.contains("*4A"));
}

void TestConfDataScreen::editingAndFiles()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    showDatabase(form);
    Window w{form};
    ModalAnswerer answerer;
    auto* box = w.control<QLineEdit>("SavePresetIdData");

    w.press(2);
    answerer.buttons << QMessageBox::Cancel;
    w.key(Qt::NoModifier);
    QCOMPARE(answerer.seen.value(0), QString("Delete this speaker 2 Keynote Speaker?"));
    QCOMPARE(w.entry(1).preset_id, QString("Keynote Speaker"));
    w.key(Qt::AltModifier | Qt::ControlModifier);
    QCOMPARE(w.entry(1), TPreset{});
    QCOMPARE(box->text(), QString("No Name"));
    w.key(Qt::ShiftModifier);
    w.key(Qt::AltModifier);
    QCOMPARE(answerer.seen.size(), 2);

    w.press(4);
    w.click("ClearBtn");
    QCOMPARE(answerer.seen.value(2), QString("Clear the speaker database?"));
    for (const TPreset& entry : form.programData().Presets)
        QCOMPARE(entry, TPreset{});
    QCOMPARE(w.screen->screen().SelectedDatabaseRow(), 4);

    form.programData().Presets[0].preset_id = "Chair";
    w.key(Qt::ControlModifier);
    QCOMPARE(answerer.seen.value(3), QString("Clear the whole speaker database?"));
    QCOMPARE(w.entry(0).preset_id, QString("No Name"));
    QCOMPARE(w.screen->screen().SelectedDatabaseRow(), 1);
    QCOMPARE(box->text(), QString("No Name"));

    // A name that does not exist starts an empty database under it and writes nothing.
    const QString databaseFolder = folder.paths().DatabaseFolder;
    form.programData().Presets[0].preset_id = "Chair";
    answerer.fileNames << "new speakers.db";
    w.click("RetrieveBtn");
    QCOMPARE(answerer.seen.value(4).section(" proposing", 0, 0), "dialog:" + databaseFolder);
    QCOMPARE(w.screen->windowTitle(), QString("Database: new speakers"));
    QCOMPARE(form.programData().config.DatabaseFileName, databaseFolder + "/new speakers.db");
    QCOMPARE(w.entry(0), TPreset{});
    QVERIFY(!QFile::exists(databaseFolder + "/new speakers.db"));

    w.press(3);
    w.click("StoreBtn");
    answerer.fileNames << "saved";
    w.click("SaveBtn");
    QCOMPARE(w.screen->windowTitle(), QString("Database: saved"));
    QVERIFY(readBytes(databaseFolder + "/saved").contains("[Preset49]"));
    answerer.fileNames << "saved";  // over the same file: no question
    w.click("SaveBtn");
    QVERIFY(answerer.seen.last().startsWith("dialog:"));

    answerer.fileNames << folder.path("DBase0.db");
    w.click("RetrieveBtn");
    QCOMPARE(w.entry(0).preset_id, QString("Chair"));
    QCOMPARE(w.screen->windowTitle(), QString("Database: DBase0"));
}

void TestConfDataScreen::highlightHeadingPressAndDrag()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    showDatabase(form);
    Window w{form};
    std::unique_ptr<QMimeData> dragged;
    int drags = 0;
    w.grid->SetDragRunner([&](QMimeData* mime) {
        dragged.reset(mime);
        ++drags;
    });

    const auto colourAt = [&w](int row) {
        return w.grid->viewport()->grab().toImage().pixelColor(w.cell(row).x(), w.cell(row).y() + 8);
    };
    w.screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.screen));
    QTRY_COMPARE(colourAt(1), QColor(0, 255, 255));
    QCOMPARE(colourAt(2), QColor(Qt::white));
    const QImage heading = w.grid->horizontalHeader()->grab().toImage();
    QCOMPARE(heading.pixelColor(10, 18), QColor(0, 128, 128));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_COMPARE(colourAt(1), w.grid->palette().color(QPalette::Button));

    // A press beyond the drag distance drags the selected entry; a right press keeps the selection.
    const QPoint beyond(QApplication::startDragDistance(), 0);
    w.drag(Qt::LeftButton, w.cell(3), beyond - QPoint(1, 0));
    QCOMPARE(drags, 0);
    w.drag(Qt::LeftButton, w.cell(3), beyond);
    QCOMPARE(drags, 1);
    QCOMPARE(dragged->text(), QString("Panel Host\r\n"));
    QCOMPARE(ReceivedEntryIndex(*dragged), std::optional<int>(2));
    w.drag(Qt::RightButton, w.cell(5), beyond);
    QCOMPARE(drags, 2);
    QCOMPARE(ReceivedEntryIndex(*dragged), std::optional<int>(2));

    // After a press on the heading nothing is selected: no drag, no question, Take takes nobody.
    QTest::mouseClick(w.grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(w.screen->screen().SelectedDatabaseRow(), 0);
    w.drag(Qt::RightButton, w.cell(5), beyond);
    QCOMPARE(drags, 2);
    ModalAnswerer answerer;
    w.click("StoreBtn");
    w.key(Qt::NoModifier);
    QVERIFY(answerer.seen.isEmpty());
    w.click("TakeBtn");
    form.controller().RunLinkCycle();
    QCOMPARE(form.findChild<QLabel*>("CurrentSpeaker")->text(), QString());
    QTRY_COMPARE(colourAt(3), QColor(Qt::white));
}

void TestConfDataScreen::onlyALeftPressSelectsAndOnlyALeftDoubleClickLoads()
{
    DataFolder folder;
    TConferenceForm form(folder.paths());
    form.show();
    showDatabase(form);
    Window w{form};
    auto* box = w.control<QLineEdit>("SavePresetIdData");
    w.press(4);
    w.grid->setFocus();
    const QString selected = box->text();
    QCOMPARE(selected, w.entry(3).preset_id);

    // Typing in the grid, as an operator who thinks the identifier box has the focus.
    QTest::keyClicks(w.grid, "Panel k");
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(w.grid, Qt::Key_Tab);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up, Qt::Key_Home})
        QTest::keyClick(w.grid, key);
    QCOMPARE(w.screen->screen().SelectedDatabaseRow(), 4);
    QCOMPARE(box->text(), selected);

    // The right button drags but neither selects nor loads; a double-click on a heading border
    // leaves the column as wide as it was, in both grids.
    const QString level = w.level(0);
    QTest::mouseDClick(w.grid->viewport(), Qt::RightButton, {}, w.cell(2));
    QCOMPARE(w.level(0), level);
    QCOMPARE(w.screen->screen().SelectedDatabaseRow(), 4);
    for (QTableView* grid : {static_cast<QTableView*>(w.grid), form.findChild<QTableView*>("RunGrid")}) {
        QHeaderView* heading = grid->horizontalHeader();
        const int width = heading->sectionSize(0);
        QTest::mouseDClick(heading->viewport(), Qt::LeftButton, {},
                           QPoint(heading->sectionViewportPosition(0) + width - 1, 10));
        QCOMPARE(heading->sectionSize(0), width);
    }
    QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(4));
    QCOMPARE(w.level(0), QString::number(w.entry(3).preset[0]));
}

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    TestConfDataScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_confdatascreen.moc"
