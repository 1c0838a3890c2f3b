#include "database/DatabaseGrid.h"

#include "database/DatabaseWindowState.h"
#include "widgets/ScreenCellsModel.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

class DatabaseGridModel : public ScreenCellsModel<DatabaseWindowState> {
public:
    DatabaseGridModel(DatabaseWindowState& screen, QObject* parent) : ScreenCellsModel(screen, parent)
    {
        connect(&screen_, &DatabaseWindowState::gridChanged, this,
                [this] { emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1)); });
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : DatabaseWindowState::RowCount - 1;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }
};

// The heading row. A left press on it, column resizing included, leaves no entry selected.
class DatabaseHeading : public GridHeading {
public:
    explicit DatabaseHeading(DatabaseWindowState& screen) : screen_(screen) {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            screen_.databaseGridLeftPress(0);
        QHeaderView::mousePressEvent(event);
    }

private:
    DatabaseWindowState& screen_;
};

} // namespace

DatabaseGrid::DatabaseGrid(DatabaseWindowState& screen, QWidget* parent)
    : OwnerDrawnGrid(new DatabaseHeading(screen), parent), screen_(screen)
{
    setModel(new DatabaseGridModel(screen, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int logicalIndex) {
        if (logicalIndex < StoredColumns)
            FitLastColumn();
    });

    runDrag_ = [this](QMimeData* mime) {
        auto* drag = new QDrag(this);  // released by the drag manager when the drag ends
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    };

    std::array<int, StoredColumns> defaults;
    defaults.fill(DefaultColumnWidth);
    setColumnWidths(defaults);
}

std::array<int, DatabaseGrid::StoredColumns> DatabaseGrid::columnWidths() const
{
    std::array<int, StoredColumns> widths{};
    for (int i = 0; i < StoredColumns; ++i)
        widths[static_cast<size_t>(i)] = columnWidth(i) - GridLineWidth;
    return widths;
}

void DatabaseGrid::setColumnWidths(const std::array<int, StoredColumns>& widths)
{
    for (int i = 0; i < StoredColumns; ++i)
        setColumnWidth(i, std::max(0, widths[static_cast<size_t>(i)]) + GridLineWidth);
    FitLastColumn();
}

void DatabaseGrid::FitLastColumn()
{
    horizontalScrollBar()->setValue(0);
    int used = 0;
    for (int i = 0; i < StoredColumns; ++i)
        used += columnWidth(i);
    // When the other columns already fill the grid the last keeps a usable width, so that it
    // is there again as soon as the window is widened.
    setColumnWidth(StoredColumns, std::max(viewport()->width() - used, DefaultColumnWidth + GridLineWidth));
}

void DatabaseGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        // Only a press selects a cell: the view's own cursor moves with keys, focus and the
        // model too, and none of those may change the speaker that the next Take sends.
        if (index.isValid() && index != currentIndex()) {
            setCurrentIndex(index);
            screen_.DatabaseGridSelectCell(index.row() + 1);
        }
        screen_.databaseGridLeftPress(index.isValid() ? index.row() + 1 : 0);
    }
    dragArmed_ = (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) && screen_.hasSelection();
    pressPosition_ = event->position().toPoint();
}

void DatabaseGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragArmed_ || !(event->buttons() & (Qt::LeftButton | Qt::RightButton)))
        return;
    if ((event->position().toPoint() - pressPosition_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragArmed_ = false;
    if (QMimeData* mime = screen_.dragData())
        runDrag_(mime);
}

void DatabaseGrid::mouseReleaseEvent(QMouseEvent*)
{
    dragArmed_ = false;
    FitLastColumn();
}

void DatabaseGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        screen_.databaseGridDblClick();
}

// The Delete key is the grid's only key: letters, Tab and the arrows would move the view's
// cursor, and with it the selection, under the operator's hands.
void DatabaseGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete)
        screen_.databaseGridDeleteKey(event->modifiers());
    else
        QWidget::keyPressEvent(event);
}

bool DatabaseGrid::cellHighlighted(const QModelIndex& index) const
{
    return index.row() + 1 == screen_.SelectedDatabaseRow();
}

bool DatabaseGrid::windowActive() const
{
    return screen_.DatabaseWindowActive();
}
