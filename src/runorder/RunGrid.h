#pragma once

#include "widgets/OwnerDrawnGrid.h"

class QMimeData;
class RunOrderWindowState;

// The run order grid: the heading and one row per entry, every cell painted from the screen's
// state. The grid's own selection is not used: mouse and keys go to the screen's rules, which
// keep the current cell, the selection and the highlight. Speakers dropped onto it from the
// database window are handed to the screen with the row under the drop point.
class RunGrid : public OwnerDrawnGrid {
    Q_OBJECT
public:
    explicit RunGrid(RunOrderWindowState& screen, QWidget* parent = nullptr);

    int numColumnWidth() const;
    void setNumColumnWidth(int width);
    // The Identifier column takes what the Num column leaves of the grid.
    void FitLastColumn() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool cellHighlighted(const QModelIndex& index) const override;
    bool windowActive() const override;
    // The grid row under `point` of `target` (the grid's viewport or its heading): 0 for the
    // heading, −1 where there is no cell.
    int dropRowAt(const QWidget* target, QPoint point) const;
    void moveByKey(int key, Qt::KeyboardModifiers modifiers);
    int rowsPerPage() const;
    // The first row below those wholly in view, or the last row when all of them are in view.
    int rowBelowView() const;

    RunOrderWindowState& screen_;
    bool selecting_ = false;
};
