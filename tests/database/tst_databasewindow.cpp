#include "ControllerRig.h"
#include "ModalAnswerer.h"
#include "TestFiles.h"
#include "database/ConfData.h"
#include "database/DatabaseGrid.h"
#include "database/VantoraDragDrop.h"
#include "shell/MessageTable.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

// The database window over the controller rig, on the installed speakers (DBase0.db) in a
// folder of its own, driven as the operator drives it.
struct Window : ControllerRig {
    QTemporaryDir folder;
    MessageTable messages;
    const bool loaded = load();
    TConfDataScreen screen{DatabaseWindowStateLinks{presets, config, folder.filePath("Database"), controller, message(),
                                                    announcer},
                           DatabaseLayout{}};
    DatabaseGrid* grid = screen.findChild<DatabaseGrid*>("DatabaseGrid");

    Window() : ControllerRig(3)
    {
        screen.resize(500, 400);
        screen.show();
        if (!QTest::qWaitForWindowExposed(&screen))
            qFatal("the database window did not show");
    }
    // The installed texts, since the windows show them to the operator.
    std::function<QString(int)> message() const
    {
        return [this](int n) { return messages[n]; };
    }
    bool load()
    {
        messages.LoadMessages(QStringLiteral(ELEVRA_SOURCE_DIR "/data/elevra.msg"));
        QDir(folder.path()).mkpath("Database");
        const QString db = folder.filePath("DBase0.db");
        QFile::copy(QStringLiteral(ELEVRA_SOURCE_DIR "/data/DBase0.db"), db);
        QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
        RetrieveDatabase(presets, db);
        config.DatabaseFileName = db;
        return true;
    }
    void ExecuteDatabaseTake(bool local) override { screen.screen().ExecuteDatabaseTake(local); }

    template <typename T = QToolButton>
    T* control(const QString& name) const
    {
        T* found = screen.findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    void click(const QString& button) const { QTest::mouseClick(control(button), Qt::LeftButton); }
    QPoint cell(int row, int column = 1) const { return grid->visualRect(grid->model()->index(row - 1, column)).center(); }
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
    const TPreset& entry(int index) const { return presets[static_cast<size_t>(index)]; }
    QString level(int i) const { return board.stand(i).level; }
    int selectedRow() { return screen.screen().SelectedDatabaseRow(); }
};

} // namespace

class TestDatabaseWindow : public QObject {
    Q_OBJECT

private slots:
    void editingAndFiles();
    void highlightHeadingPressAndDrag();
    void onlyALeftPressSelectsAndOnlyALeftDoubleClickLoads();
};

void TestDatabaseWindow::editingAndFiles()
{
    Window w;
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
    for (const TPreset& entry : w.presets)
        QCOMPARE(entry, TPreset{});
    QCOMPARE(w.selectedRow(), 4);

    w.presets[0].preset_id = "Chair";
    w.key(Qt::ControlModifier);
    QCOMPARE(answerer.seen.value(3), QString("Clear the whole speaker database?"));
    QCOMPARE(w.entry(0).preset_id, QString("No Name"));
    QCOMPARE(w.selectedRow(), 1);
    QCOMPARE(box->text(), QString("No Name"));

    // A name that does not exist starts an empty database under it and writes nothing.
    const QString databaseFolder = w.folder.filePath("Database");
    w.presets[0].preset_id = "Chair";
    answerer.fileNames << "new speakers.db";
    w.click("RetrieveBtn");
    QCOMPARE(answerer.seen.value(4).section(" proposing", 0, 0), "dialog:" + databaseFolder);
    QCOMPARE(w.screen.windowTitle(), QString("Database: new speakers"));
    QCOMPARE(w.config.DatabaseFileName, databaseFolder + "/new speakers.db");
    QCOMPARE(w.entry(0), TPreset{});
    QVERIFY(!QFile::exists(databaseFolder + "/new speakers.db"));

    w.press(3);
    w.click("StoreBtn");
    answerer.fileNames << "saved";
    w.click("SaveBtn");
    QCOMPARE(w.screen.windowTitle(), QString("Database: saved"));
    QVERIFY(readBytes(databaseFolder + "/saved").contains("[Preset49]"));
    answerer.fileNames << "saved";  // over the same file: no question
    w.click("SaveBtn");
    QVERIFY(answerer.seen.last().startsWith("dialog:"));

    answerer.fileNames << w.folder.filePath("DBase0.db");
    w.click("RetrieveBtn");
    QCOMPARE(w.entry(0).preset_id, QString("Chair"));
    QCOMPARE(w.screen.windowTitle(), QString("Database: DBase0"));
}

void TestDatabaseWindow::highlightHeadingPressAndDrag()
{
    Window w;
    QWidget elsewhere;  // takes the activation, as the main window does
    elsewhere.show();
    std::unique_ptr<QMimeData> dragged;
    int drags = 0;
    w.grid->setDragRunner([&](QMimeData* mime) {
        dragged.reset(mime);
        ++drags;
    });

    const auto colourAt = [&w](int row) {
        return w.grid->viewport()->grab().toImage().pixelColor(w.cell(row).x(), w.cell(row).y() + 8);
    };
    w.screen.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.screen));
    QTRY_COMPARE(colourAt(1), QColor(0, 255, 255));
    QCOMPARE(colourAt(2), QColor(Qt::white));
    const QImage heading = w.grid->horizontalHeader()->grab().toImage();
    QCOMPARE(heading.pixelColor(10, 18), QColor(0, 128, 128));
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
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
    QCOMPARE(w.selectedRow(), 0);
    w.drag(Qt::RightButton, w.cell(5), beyond);
    QCOMPARE(drags, 2);
    ModalAnswerer answerer;
    w.click("StoreBtn");
    w.key(Qt::NoModifier);
    QVERIFY(answerer.seen.isEmpty());
    w.click("TakeBtn");
    w.controller.RunLinkCycle();
    QCOMPARE(w.board.CurrentSpeaker(), QString());
    QTRY_COMPARE(colourAt(3), QColor(Qt::white));
}

void TestDatabaseWindow::onlyALeftPressSelectsAndOnlyALeftDoubleClickLoads()
{
    Window w;
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
    QCOMPARE(w.selectedRow(), 4);
    QCOMPARE(box->text(), selected);

    // The right button drags but neither selects nor loads; a double-click on a heading border
    // leaves the column as wide as it was (the run order grid: tst_runorderwindow).
    const QString level = w.level(0);
    QTest::mouseDClick(w.grid->viewport(), Qt::RightButton, {}, w.cell(2));
    QCOMPARE(w.level(0), level);
    QCOMPARE(w.selectedRow(), 4);
    QHeaderView* heading = w.grid->horizontalHeader();
    const int width = heading->sectionSize(0);
    QTest::mouseDClick(heading->viewport(), Qt::LeftButton, {}, QPoint(heading->sectionViewportPosition(0) + width - 1, 10));
    QCOMPARE(heading->sectionSize(0), width);
    QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(4));
    QCOMPARE(w.level(0), QString::number(w.entry(3).preset[0]));
}

QTEST_MAIN(TestDatabaseWindow)
#include "tst_databasewindow.moc"
