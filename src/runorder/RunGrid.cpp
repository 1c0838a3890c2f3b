#include "runorder/RunGrid.h"

#include "database/VantoraDragDrop.h"
#include "runorder/RunOrderWindowState.h"
#include "widgets/ScreenCellsModel.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int MinimumColumnWidth = RunGrid::DefaultRowHeight + RunGrid::GridLineWidth;

// One row per entry. The row count follows the list through listChanged, one insertion or
// removal at a time, so the view keeps its scroll position and column widths.
class RunGridModel : public ScreenCellsModel<RunOrderWindowState> {
public:
    RunGridModel(RunOrderWindowState& screen, QObject* parent) : ScreenCellsModel(screen, parent), rows_(screen.count())
    {
        connect(&screen_, &RunOrderWindowState::listChanged, this, &RunGridModel::followList);
        connect(&screen_, &RunOrderWindowState::gridChanged, this, &RunGridModel::repaintAll);
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
    }

private:
    void followList()
    {
        const int count = screen_.count();
        if (count > rows_) {
            beginInsertRows({}, rows_, count - 1);
            rows_ = count;
            endInsertRows();
        } else if (count < rows_) {
            beginRemoveRows({}, count, rows_ - 1);
            rows_ = count;
            endRemoveRows();
        }
        repaintAll();
    }
    void repaintAll()
    {
        if (rows_ > 0)
            emit dataChanged(index(0, 0), index(rows_ - 1, RunOrderWindowState::ColumnCount - 1));
    }

    int rows_;
};

bool droppable(const QDropEvent& event)
{
    return event.mimeData() && !VantoraFormatOf(*event.mimeData()).isEmpty()
           && (event.possibleActions() & (Qt::CopyAction | Qt::LinkAction));
}

} // namespace

RunGrid::RunGrid(RunOrderWindowState& screen, QWidget* parent) : OwnerDrawnGrid(new GridHeading, parent), screen_(screen)
{
    setModel(new RunGridModel(screen, this));
    setSelectionMode(QAbstractItemView::NoSelection);

    // Drops are taken on the cells and on the heading; nothing else is dragged here.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    QHeaderView* heading = horizontalHeader();
    for (QWidget* target : {viewport(), heading->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

    connect(heading, &QHeaderView::sectionResized, this, [this](int logicalIndex) {
        if (logicalIndex == 0)
            FitLastColumn();
    });
    connect(&screen_, &RunOrderWindowState::currentCellMoved, this,
            [this](int column, int row) { scrollTo(model()->index(row - 1, column)); });

    setNumColumnWidth(20);
}

int RunGrid::numColumnWidth() const
{
    return columnWidth(0) - GridLineWidth;
}

void RunGrid::setNumColumnWidth(int width)
{
    setColumnWidth(0, std::max(0, width) + GridLineWidth);
    FitLastColumn();
}

void RunGrid::FitLastColumn()
{
    horizontalScrollBar()->setValue(0);
    // When the Num column already fills the grid the Identifier column keeps a usable width,
    // so that it is there again as soon as the window is widened.
    setColumnWidth(1, std::max(viewport()->width() - columnWidth(0), MinimumColumnWidth));
}

int RunGrid::dropRowAt(const QWidget* target, QPoint point) const
{
    if (target == horizontalHeader()->viewport())
        return horizontalHeader()->logicalIndexAt(point) < 0 ? -1 : 0;
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() + 1 : -1;
}

bool RunGrid::eventFilter(QObject* watched, QEvent* event)
{
    auto* target = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppable(*drag)) {
            drag->setDropAction(drag->possibleActions() & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!droppable(*drop)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(drop->possibleActions() & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
        drop->accept();
        screen_.DropTextTargetDrop(*drop->mimeData(), dropRowAt(target, drop->position().toPoint()));
        return true;
    }
    case QEvent::MouseButtonPress:
        // A press on the heading, column resizing included, never starts moving an entry.
        if (target == horizontalHeader()->viewport())
            screen_.RunGridMouseDown(0);
        return false;
    default:
        return QTableView::eventFilter(watched, event);
    }
}

void RunGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    selecting_ = index.isValid();
    if (selecting_)
        screen_.RunGridSelectCell(index.column(), index.row() + 1);
    screen_.RunGridMouseDown(selecting_ ? index.row() + 1 : -1);
}

void RunGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!selecting_ || !(event->buttons() & Qt::LeftButton))
        return;
    // Dragging is known before the cell changes, so the first row change already carries the entry.
    screen_.RunGridMouseMove();
    const QPoint at = event->position().toPoint();
    // indexAt also finds rows beyond the edges of the view; those are taken one at a time below.
    QModelIndex index = viewport()->rect().contains(at) ? indexAt(at) : QModelIndex();
    // Above or below the rows in view the next row not wholly in view is taken, so that every
    // move there carries the entry or the block one row further and scrolls it into view.
    if (!index.isValid() && model()->rowCount() > 0 && (at.y() < 0 || at.y() >= viewport()->height())) {
        const int edge = at.y() < 0 ? rowAt(0) - 1 : rowBelowView();
        const int column = std::clamp(columnAt(std::clamp(at.x(), 0, viewport()->width() - 1)), 0, 1);
        index = model()->index(std::clamp(edge, 0, model()->rowCount() - 1), column);
        scrollTo(index);
    }
    if (!index.isValid())
        return;
    const int row = index.row() + 1;
    if (screen_.rangeSelect()) {
        if (index.column() != screen_.anchorColumn() || row != screen_.anchorRow())
            screen_.moveAnchor(index.column(), row);
    } else if (index.column() != screen_.currentColumn() || row != screen_.currentRow()) {
        screen_.RunGridSelectCell(index.column(), row);
    }
}

void RunGrid::mouseReleaseEvent(QMouseEvent*)
{
    selecting_ = false;
    screen_.RunGridMouseUp();
    FitLastColumn();
}

void RunGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        screen_.RunOrderTakeBtnClick();
}

int RunGrid::rowBelowView() const
{
    const int bottom = rowAt(viewport()->height() - 1);
    if (bottom < 0)
        return model()->rowCount() - 1;
    const bool partly = rowViewportPosition(bottom) + rowHeight(bottom) > viewport()->height();
    return partly ? bottom : bottom + 1;
}

int RunGrid::rowsPerPage() const
{
    return std::max(1, viewport()->height() / (DefaultRowHeight + GridLineWidth));
}

void RunGrid::moveByKey(int key, Qt::KeyboardModifiers modifiers)
{
    const int count = screen_.count();
    if (count == 0)
        return;
    const bool extend = (modifiers & Qt::ShiftModifier) && screen_.rangeSelect();
    int column = extend ? screen_.anchorColumn() : screen_.currentColumn();
    int row = extend ? screen_.anchorRow() : screen_.currentRow();
    switch (key) {
    case Qt::Key_Up: --row; break;
    case Qt::Key_Down: ++row; break;
    case Qt::Key_PageUp: row -= rowsPerPage(); break;
    case Qt::Key_PageDown: row += rowsPerPage(); break;
    case Qt::Key_Home: row = 1; break;
    case Qt::Key_End: row = count; break;
    case Qt::Key_Left: column = 0; break;
    case Qt::Key_Right: column = 1; break;
    default: return;
    }
    row = std::clamp(row, 1, count);
    if (extend) {
        screen_.moveAnchor(column, row);
        scrollTo(model()->index(row - 1, column));
    } else {
        screen_.RunGridSelectCell(column, row);
    }
}

void RunGrid::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
        screen_.RunOrderDeleteBtnClick();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        screen_.RunOrderTakeBtnClick();
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
        moveByKey(event->key(), event->modifiers());
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void RunGrid::keyReleaseEvent(QKeyEvent* event)
{
    FitLastColumn();
    QTableView::keyReleaseEvent(event);
}

bool RunGrid::cellHighlighted(const QModelIndex& index) const
{
    return screen_.highlighted(index.row() + 1, index.column());
}

bool RunGrid::windowActive() const
{
    return screen_.RunOrderWindowActive();
}
