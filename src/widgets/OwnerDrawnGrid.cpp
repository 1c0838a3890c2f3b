#include "widgets/OwnerDrawnGrid.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

const QColor Teal(0, 128, 128);
const QColor Yellow(255, 255, 0);
const QColor Aqua(0, 255, 255);
constexpr int TextIndent = 4;

void paintCell(QPainter* painter, const QRect& rect, const QColor& background, const QColor& textColour,
               const QString& text)
{
    static const QFont font(QStringLiteral("Arial"), 10);
    painter->save();
    painter->fillRect(rect, background);
    painter->setFont(font);
    painter->setPen(textColour);
    painter->drawText(rect.adjusted(TextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter->restore();
}

} // namespace

class OwnerDrawnCell : public QStyledItemDelegate {
public:
    explicit OwnerDrawnCell(OwnerDrawnGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QColor background = Qt::white;
        if (grid_.cellHighlighted(index))
            background = grid_.windowActive() ? Aqua : option.palette.color(QPalette::Button);
        paintCell(painter, option.rect, background, Qt::black, index.data().toString());
    }

private:
    OwnerDrawnGrid& grid_;
};

void GridHeading::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    const QRect cell = rect.adjusted(0, 0, -OwnerDrawnGrid::GridLineWidth, -OwnerDrawnGrid::GridLineWidth);
    painter->fillRect(rect, palette().color(QPalette::Mid));
    paintCell(painter, cell, Teal, Yellow, model()->headerData(logicalIndex, Qt::Horizontal).toString());
}

void GridHeading::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

OwnerDrawnGrid::OwnerDrawnGrid(GridHeading* heading, QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new OwnerDrawnCell(*this));

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

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
}

bool OwnerDrawnGrid::viewportEvent(QEvent* event)
{
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        FitLastColumn();
    return handled;
}
