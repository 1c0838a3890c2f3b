#pragma once

#include <QTableView>

class QMimeData;
class RunOrderScreen;

// The run order grid: the heading and one row per entry, every cell painted from the screen's
// state. The grid's own selection is not used: mouse and keys go to the screen's rules, which
// keep the current cell, the selection and the highlight. Speakers dropped onto it from the
// database window are handed to the screen with the row under the drop point.
class RunGrid : public QTableView {
    Q_OBJECT
public:
    // Widths and heights as the configuration keeps them leave out the one-pixel grid line
    // that closes every cell.
    static constexpr int GridLineWidth = 1;
    static constexpr int DefaultRowHeight = 20;

    explicit RunGrid(RunOrderScreen& screen, QWidget* parent = nullptr);

    int NumColumnWidth() const;
    void SetNumColumnWidth(int width);
    // The Identifier column takes what the Num column leaves of the grid.
    void FitLastColumn();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The grid row under `point` of `target` (the grid's viewport or its heading): 0 for the
    // heading, −1 where there is no cell.
    int DropRowAt(const QWidget* target, QPoint point) const;
    void MoveByKey(int key, Qt::KeyboardModifiers modifiers);
    int RowsPerPage() const;
    // The first row below those wholly in view, or the last row when all of them are in view.
    int RowBelowView() const;

    RunOrderScreen& screen_;
    bool selecting_ = false;
};
