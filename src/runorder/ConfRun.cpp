#include "runorder/ConfRun.h"

#include "runorder/RunGrid.h"

#include <QToolButton>

namespace {

constexpr int ButtonTop = 4;
constexpr int ButtonWidth = 41;
constexpr int ButtonHeight = 25;

} // namespace

TConfRunScreen::TConfRunScreen(const RunOrderWindowStateLinks& links, const RunScreenLayout& layout, QWidget* parent)
    : GridWindow(QStringLiteral("ConfRunScreen"), QStringLiteral("RunOrderPanel"), HelpContext, PanelHeight,
                 {ButtonTop, ButtonWidth, ButtonHeight, links.message}, parent)
    , screen_(links, questions())
{
    FormCreate(layout);
}

void TConfRunScreen::FormCreate(const RunScreenLayout& layout)
{
    // A sans-serif font 13 pixels high, whatever the screen's resolution.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    setWindowTitle(QStringLiteral("Run Order"));
    resize(DesignClientSize);

    grid_ = new RunGrid(screen_, this);
    grid_->setObjectName(QStringLiteral("RunGrid"));
    setGrid(grid_);
    connect(&screen_, &RunOrderWindowState::captionChanged, this, &QWidget::setWindowTitle);
    connect(addButton("RunOrderCopyBtn", "Dup", 8, 20), &QToolButton::clicked, &screen_,
            &RunOrderWindowState::RunOrderCopyBtnClick);
    connect(addButton("RunOrderDeleteBtn", "Del", 56, 21), &QToolButton::clicked, &screen_,
            &RunOrderWindowState::RunOrderDeleteBtnClick);
    connect(addButton("RunOrderClearBtn", "Clear", 104, 22), &QToolButton::clicked, &screen_,
            &RunOrderWindowState::RunOrderClearBtnClick);
    connect(addButton("RunOrderTakeBtn", "Take", 152, 23), &QToolButton::clicked, &screen_,
            &RunOrderWindowState::RunOrderTakeBtnClick);
    connect(addButton("RunOrderPrintBtn", "Print", 200, 24), &QToolButton::clicked, this,
            &GridWindow::printRequested);
    connect(addButton("RunOrderRetrieveBtn", "Retr", 248, 26), &QToolButton::clicked, &screen_,
            &RunOrderWindowState::RunOrderRetrieveBtnClick);
    connect(addButton("RunOrderSaveBtn", "Save", 296, 27), &QToolButton::clicked, &screen_,
            &RunOrderWindowState::RunOrderSaveBtnClick);

    applyGeometry(layout);
    // The stored row count is not applied: the grid always has one row per entry, so that a
    // count that disagrees with the stored list can neither hide entries nor add empty rows.
    grid_->setNumColumnWidth(layout.c0);
    setVisible(layout.visible);
}

RunScreenLayout TConfRunScreen::windowLayout() const
{
    RunScreenLayout layout;
    static_cast<WindowGeometry&>(layout) = currentGeometry();
    layout.c0 = grid_->numColumnWidth();
    layout.rowCount = grid_->model()->rowCount() + 1;
    return layout;
}
