#pragma once

#include "widgets/OwnerDrawnGrid.h"

#include <array>
#include <functional>

class DatabaseWindowState;
class QMimeData;

// The database grid: the heading and the 50 entries, every cell painted from the screen's
// state; the highlight follows SelectedDatabaseRow.
class DatabaseGrid : public OwnerDrawnGrid {
    Q_OBJECT
public:
    static constexpr int DefaultColumnWidth = 20;
    static constexpr int StoredColumns = 9;

    explicit DatabaseGrid(DatabaseWindowState& screen, QWidget* parent = nullptr);

    std::array<int, StoredColumns> columnWidths() const;
    void setColumnWidths(const std::array<int, StoredColumns>& widths);
    // The last column takes what columns 0 to 8 leave of the grid.
    void FitLastColumn() override;

    // Runs a drag to its end; the default is the platform's drag with the copy effect.
    using DragRunner = std::function<void(QMimeData*)>;
    void setDragRunner(DragRunner runner) { runDrag_ = std::move(runner); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool cellHighlighted(const QModelIndex& index) const override;
    bool windowActive() const override;

    DatabaseWindowState& screen_;
    DragRunner runDrag_;
    QPoint pressPosition_;
    bool dragArmed_ = false;
};
