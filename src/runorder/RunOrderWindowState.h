#pragma once

#include "config/Configuration.h"
#include "database/SpeakerDatabase.h"
#include "runorder/RunOrder.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class PrompterAnnouncer;
class QMimeData;
class OperatorQuestions;
class StandController;

// What the run order window works on; all of it is owned by the main window.
struct RunOrderWindowStateLinks {
    RunOrder& runOrder;
    const PresetTable& presets;
    Configuration& config;  // RunOrderFileName
    QString runOrderFolder;
    StandController& controller;
    std::function<QString(int)> message;  // the message table
    PrompterAnnouncer& announcer;
};

// A block of grid cells, corners included.
struct GridRect {
    int left = 0;
    int top = 1;
    int right = 0;
    int bottom = 1;
};

// The database index an entry names: its decimal value when that lies within 0..49, and
// nothing for any other text, so that no entry ever reaches outside the speaker table.
std::optional<int> runOrderEntryIndex(const QString& entry);

// The state and the rules of the run order window: the grid's current cell and selection, the
// moving of an entry with the mouse, the drop of a speaker and every button. Grid rows count
// from 1 (row 0 is the heading) and show list entry row − 1; column 0 is Num, 1 Identifier.
class RunOrderWindowState : public QObject {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 2;

    RunOrderWindowState(const RunOrderWindowStateLinks& links, OperatorQuestions& questions, QObject* parent = nullptr);

    int count() const { return int(links_.runOrder.RunOrderList.size()); }
    int RunOrderPosition() const { return links_.runOrder.RunOrderPosition; }
    bool RunOrderChanged() const { return links_.runOrder.RunOrderChanged; }
    bool RunOrderWindowActive() const { return runOrderWindowActive_; }
    void setRunOrderWindowActive(bool active);
    bool RowPressed() const { return rowPressed_; }
    bool RowDragging() const { return rowDragging_; }
    // On while the current cell is in the Num column: moving the anchor then selects a block.
    bool rangeSelect() const { return rangeSelect_; }
    int currentColumn() const { return currentColumn_; }
    int currentRow() const { return currentRow_; }
    int anchorColumn() const { return anchorColumn_; }
    int anchorRow() const { return anchorRow_; }
    GridRect selection() const;
    // Drawn highlighted: in the selection's left column and within its rows.
    bool highlighted(int row, int column) const;
    QString cellText(int row, int column) const;

    // "Run Order: " and the file name of RunOrderFileName without its extension.
    QString ShowRunOrderCaption() const;

    // The grid's current cell changes to (column, row), by mouse or keyboard.
    void RunGridSelectCell(int column, int row);
    // Extends the selection to (column, row) without changing the current cell; only while
    // rangeSelect is on.
    void moveAnchor(int column, int row);
    // A press on grid row `row`: 0 for the heading, −1 where there is no row.
    void RunGridMouseDown(int row);
    void RunGridMouseMove();
    void RunGridMouseUp();

    // A drop onto grid row `row` (0 the heading, −1 below the rows or outside the cells).
    void DropTextTargetDrop(const QMimeData& drop, int row);

    void RunOrderCopyBtnClick();
    void RunOrderDeleteBtnClick();
    void RunOrderClearBtnClick();
    void RunOrderTakeBtnClick();
    void RunOrderRetrieveBtnClick();
    void RunOrderSaveBtnClick();
    void ExecuteRunOrderTake();

signals:
    // The entries changed, their number perhaps with them.
    void listChanged();
    // Only what is drawn changed.
    void gridChanged();
    void captionChanged(const QString& caption);
    // The current cell moved; the grid keeps it in view.
    void currentCellMoved(int column, int row);
    // A take moved the stands to the speaker of this row.
    void speakerTaken(int row, const QString& name);

private:
    QStringList& list() { return links_.runOrder.RunOrderList; }
    bool positionInList() const;
    // The selected rows that hold entries, or nothing.
    std::optional<std::pair<int, int>> selectedRows() const;

    RunOrderWindowStateLinks links_;
    OperatorQuestions& questions_;
    int currentColumn_ = 0;
    int currentRow_ = 1;
    int anchorColumn_ = 0;
    int anchorRow_ = 1;
    bool rangeSelect_ = true;
    bool rowPressed_ = false;
    bool rowDragging_ = false;
    bool runOrderWindowActive_ = false;
};
