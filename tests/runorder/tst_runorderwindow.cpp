#include "ControllerRig.h"
#include "ModalAnswerer.h"
#include "WindowDriving.h"
#include "database/ConfData.h"
#include "database/DatabaseGrid.h"
#include "runorder/ConfRun.h"
#include "runorder/RunGrid.h"
#include "shell/MessageTable.h"

#include <QHeaderView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

RunScreenLayout shownLayout()
{
    RunScreenLayout layout;
    layout.height = 300;
    layout.visible = true;
    return layout;
}

// The run order window over the controller rig with the installed speakers (DBase0.db), and the
// database window beside it as the source of the speakers' drag data.
struct Window : ControllerRig {
    QTemporaryDir folder;
    RunOrder runOrder{{"0", "1", "2"}};
    MessageTable messages;
    const bool loaded = load();
    TConfDataScreen database{DatabaseWindowStateLinks{presets, config, folder.path(), controller, message(), announcer},
                             DatabaseLayout{}};
    TConfRunScreen screen{RunOrderWindowStateLinks{runOrder, presets, config, folder.path(), controller, message(), announcer},
                          shownLayout()};
    RunGrid* grid = screen.findChild<RunGrid*>("RunGrid");

    Window() : ControllerRig(3)
    {
        database.show();
        if (!QTest::qWaitForWindowExposed(&screen) || !QTest::qWaitForWindowExposed(&database))
            qFatal("the windows did not show");
    }
    // The installed texts, since the windows show them to the operator.
    std::function<QString(int)> message() const
    {
        return [this](int n) { return messages[n]; };
    }
    bool load()
    {
        messages.LoadMessages(QStringLiteral(ELEVRA_SOURCE_DIR "/data/elevra.msg"));
        RetrieveDatabase(presets, QStringLiteral(ELEVRA_SOURCE_DIR "/data/DBase0.db"));
        return true;
    }

    // The drag data of database row `row`, made by the database grid when the operator drags it.
    std::unique_ptr<QMimeData> databaseDrag(int row)
    {
        return dragFromRow(database.findChild<DatabaseGrid*>("DatabaseGrid"), row);
    }
    const QStringList& list() const { return runOrder.RunOrderList; }
    QPoint cell(int row, int column = 1) const { return grid->visualRect(grid->model()->index(row - 1, column)).center(); }
    void mouse(QEvent::Type type, Qt::MouseButtons buttons, QPoint at) const
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, grid->viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &event);
    }
    // Press on the first cell, pass over the others with the button down, release.
    void drag(const QList<QPoint>& cells) const
    {
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, cells.first());
        for (QPoint at : cells.mid(1))
            mouse(QEvent::MouseMove, Qt::LeftButton, at);
        mouse(QEvent::MouseButtonRelease, Qt::NoButton, cells.last());
    }
    QColor colourAt(int row, int column) const
    {
        const QPoint at = cell(row, column);
        return grid->viewport()->grab().toImage().pixelColor(at.x(), at.y() + 8);
    }
};

} // namespace

class TestRunOrderWindow : public QObject {
    Q_OBJECT

private slots:
    void dropsMouseKeysAndHighlight();
    void headingDoubleClickKeepsTheColumnWidth();
};

void TestRunOrderWindow::dropsMouseKeysAndHighlight()
{
    Window w;
    const std::unique_ptr<QMimeData> guestReader = w.databaseDrag(4);
    QVERIFY(guestReader);

    // Onto row 2, onto the heading, below the last row; text from another program is refused.
    QVERIFY(dropOn(*guestReader, w.grid->viewport(), w.cell(2)));
    QVERIFY(dropOn(*guestReader, w.grid->horizontalHeader()->viewport(), QPoint(30, 10)));
    QVERIFY(dropOn(*w.databaseDrag(1), w.grid->viewport(), QPoint(30, w.grid->viewport()->height() - 3)));
    QMimeData text;
    text.setText("Chair\r\n");
    QVERIFY(!dropOn(text, w.grid->viewport(), w.cell(2)));
    QCOMPARE(w.list(), QStringList({"3", "0", "3", "1", "2", "0"}));
    QCOMPARE(w.grid->model()->rowCount(), 6);
    QCOMPARE(w.grid->model()->index(2, 1).data().toString(), QString("Guest Reader"));

    // A block dragged in the Num column: only its Num cells light up, aqua while active.
    w.screen.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.screen));
    w.drag({w.cell(2, 0), w.cell(3, 0), w.cell(4, 0)});
    const QColor aqua(0, 255, 255);
    QTRY_COMPARE(w.colourAt(4, 0), aqua);
    QCOMPARE(w.colourAt(2, 0), aqua);
    QCOMPARE(w.colourAt(3, 1), QColor(Qt::white));
    QCOMPARE(w.colourAt(5, 0), QColor(Qt::white));
    QCOMPARE(w.grid->horizontalHeader()->grab().toImage().pixelColor(10, 15), QColor(0, 128, 128));
    ModalAnswerer answerer;
    QTest::keyClick(w.grid, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(answerer.seen, QStringList{"Delete this run order entry?"});
    QCOMPARE(w.list(), QStringList({"3", "2", "0"}));
    QTest::keyClick(w.grid, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(w.screen.screen().selection().bottom, 3);
    QTest::keyClick(w.grid, Qt::Key_Up);
    QCOMPARE(w.runOrder.RunOrderPosition, 1);

    // An Identifier cell carried below the grid goes to the row beyond the edge: here the last.
    w.drag({w.cell(1), QPoint(w.cell(1).x(), w.grid->viewport()->height() + 5)});
    QCOMPARE(w.list(), QStringList({"2", "0", "3"}));
    QCOMPARE(w.runOrder.RunOrderPosition, 3);

    // Enter and a double-click take; another window active turns the highlight to button face.
    QTest::keyClick(w.grid, Qt::Key_Return);
    QCOMPARE(w.controller.PendingCommand(), quint8(pcRunOrderTake));
    w.controller.setPendingCommand(pcNone);
    // The platform sends a press and a release before the double-click; QTest sends only the latter.
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(2));
    QCOMPARE(w.controller.PendingCommand(), quint8(pcNone));
    QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, w.cell(2));
    QCOMPARE(w.controller.PendingCommand(), quint8(pcRunOrderTake));
    w.controller.setPendingCommand(pcNone);
    w.database.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.database));
    QTRY_COMPARE(w.colourAt(2, 1), w.grid->palette().color(QPalette::Button));
}

void TestRunOrderWindow::headingDoubleClickKeepsTheColumnWidth()
{
    Window w;
    QHeaderView* heading = w.grid->horizontalHeader();
    const int width = heading->sectionSize(0);
    QTest::mouseDClick(heading->viewport(), Qt::LeftButton, {}, QPoint(heading->sectionViewportPosition(0) + width - 1, 10));
    QCOMPARE(heading->sectionSize(0), width);
}

QTEST_MAIN(TestRunOrderWindow)
#include "tst_runorderwindow.moc"
