#pragma once

#include <QHeaderView>
#include <QTableView>

// The heading row of an owner-drawn grid: yellow on teal, closed by the grid line.
class GridHeading : public QHeaderView {
public:
    explicit GridHeading(QWidget* parent = nullptr) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    // Column widths change only by dragging a border: a double-click on one does not fit the
    // column to its contents.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A grid whose every cell is painted from its window's state: Arial 10 set four pixels in,
// highlighted cells aqua while the window is active and in the button colour otherwise, rows
// of one fixed height and a one-pixel grid line closing every cell. The grid's own selection is
// never drawn, and Tab moves the focus on rather than from cell to cell. The last column takes
// what the others leave, again whenever the grid is resized.
class OwnerDrawnGrid : public QTableView {
    Q_OBJECT
public:
    // Widths and heights as the configuration keeps them leave out the one-pixel grid line
    // that closes every cell.
    static constexpr int GridLineWidth = 1;
    static constexpr int DefaultRowHeight = 20;

    virtual void FitLastColumn() = 0;
    // Typing never searches the rows: the cursor would jump to the next name with that letter.
    void keyboardSearch(const QString&) override {}

protected:
    // `heading` becomes the grid's heading row.
    OwnerDrawnGrid(GridHeading* heading, QWidget* parent);
    bool viewportEvent(QEvent* event) override;

private:
    friend class OwnerDrawnCell;
    virtual bool cellHighlighted(const QModelIndex& index) const = 0;
    virtual bool windowActive() const = 0;
};
