#include "DatabaseGrid.h"

#include "DatabaseScreen.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

const QColor Teal(0, 128, 128);
const QColor Yellow(255, 255, 0);
const QColor Aqua(0, 255, 255);
constexpr int TextIndent = 4;

const QFont& CellFont()
{
    static const QFont font(QStringLiteral("Arial"), 10);
    return font;
}

void PaintCell(QPainter* painter, const QRect& rect, const QColor& background, const QColor& textColour,
               const QString& text)
{
    painter->save();
    painter->fillRect(rect, background);
    painter->setFont(CellFont());
    painter->setPen(textColour);
    painter->drawText(rect.adjusted(TextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

class DatabaseGridModel : public QAbstractTableModel {
public:
    DatabaseGridModel(DatabaseScreen& screen, QObject* parent) : QAbstractTableModel(parent), screen_(screen)
    {
        connect(&screen_, &DatabaseScreen::gridChanged, this,
                [this] { emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1)); });
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : DatabaseScreen::RowCount - 1;
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : DatabaseScreen::ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return screen_.CellText(index.row() + 1, index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return screen_.CellText(0, section);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    DatabaseScreen& screen_;
};

class DatabaseCellDelegate : public QStyledItemDelegate {
public:
    DatabaseCellDelegate(DatabaseScreen& screen, QObject* parent) : QStyledItemDelegate(parent), screen_(screen) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QColor background = Qt::white;
        if (index.row() + 1 == screen_.SelectedDatabaseRow())
            background = screen_.DatabaseWindowActive() ? Aqua : option.palette.color(QPalette::Button);
        PaintCell(painter, option.rect, background, Qt::black, index.data().toString());
    }

private:
    DatabaseScreen& screen_;
};

// The heading row. A left press on it, column resizing included, leaves no entry selected.
class DatabaseHeading : public QHeaderView {
public:
    DatabaseHeading(DatabaseScreen& screen, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), screen_(screen) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        const QRect cell = rect.adjusted(0, 0, -DatabaseGrid::GridLineWidth, -DatabaseGrid::GridLineWidth);
        painter->fillRect(rect, palette().color(QPalette::Mid));
        PaintCell(painter, cell, Teal, Yellow, model()->headerData(logicalIndex, Qt::Horizontal).toString());
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            screen_.DatabaseGridLeftPress(0);
        QHeaderView::mousePressEvent(event);
    }

private:
    DatabaseScreen& screen_;
};

} // namespace

DatabaseGrid::DatabaseGrid(DatabaseScreen& screen, QWidget* parent)
    : QTableView(parent), screen_(screen)
{
    setModel(new DatabaseGridModel(screen, this));
    setItemDelegate(new DatabaseCellDelegate(screen, this));

    auto* heading = new DatabaseHeading(screen, this);
    setHorizontalHeader(heading);
    heading->setSectionsClickable(false);
    heading->setHighlightSections(false);
    heading->setMinimumSectionSize(GridLineWidth);
    heading->setSectionResizeMode(QHeaderView::Interactive);
    heading->setFixedHeight(DefaultRowHeight + GridLineWidth);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(GridLineWidth);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight + GridLineWidth);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { screen_.DatabaseGridSelectCell(current.row() + 1); });
    connect(heading, &QHeaderView::sectionResized, this, [this](int logicalIndex) {
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
    SetColumnWidths(defaults);
}

std::array<int, DatabaseGrid::StoredColumns> DatabaseGrid::ColumnWidths() const
{
    std::array<int, StoredColumns> widths{};
    for (int i = 0; i < StoredColumns; ++i)
        widths[static_cast<size_t>(i)] = columnWidth(i) - GridLineWidth;
    return widths;
}

void DatabaseGrid::SetColumnWidths(const std::array<int, StoredColumns>& widths)
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
        if (index.isValid())
            setCurrentIndex(index);
        screen_.DatabaseGridLeftPress(index.isValid() ? index.row() + 1 : 0);
    }
    dragArmed_ = (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) && screen_.HasSelection();
    pressPosition_ = event->position().toPoint();
}

void DatabaseGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragArmed_ || !(event->buttons() & (Qt::LeftButton | Qt::RightButton)))
        return;
    if ((event->position().toPoint() - pressPosition_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragArmed_ = false;
    if (QMimeData* mime = screen_.DragData())
        runDrag_(mime);
}

void DatabaseGrid::mouseReleaseEvent(QMouseEvent*)
{
    dragArmed_ = false;
    FitLastColumn();
}

void DatabaseGrid::mouseDoubleClickEvent(QMouseEvent*)
{
    screen_.DatabaseGridDblClick();
}

void DatabaseGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete)
        screen_.DatabaseGridDeleteKey(event->modifiers());
    else
        QTableView::keyPressEvent(event);
}

bool DatabaseGrid::viewportEvent(QEvent* event)
{
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        FitLastColumn();
    return handled;
}
