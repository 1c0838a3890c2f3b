#include "database/ConfData.h"

#include "database/DatabaseGrid.h"

#include <QLineEdit>
#include <QToolButton>

namespace {

constexpr int ControlTop = 8;
constexpr int ButtonWidth = 38;
constexpr int ButtonHeight = 25;

} // namespace

TConfDataScreen::TConfDataScreen(const DatabaseWindowStateLinks& links, const DatabaseLayout& layout, QWidget* parent)
    : GridWindow(QStringLiteral("ConfDataScreen"), QStringLiteral("DatabasePanel"), HelpContext, PanelHeight,
                 {ControlTop, ButtonWidth, ButtonHeight, links.message}, parent)
    , screen_(links, questions())
{
    FormCreate(layout);
}

void TConfDataScreen::FormCreate(const DatabaseLayout& layout)
{
    setFont(QFont(QStringLiteral("Arial"), 8));

    SavePresetIdData = new QLineEdit(panel());
    SavePresetIdData->setObjectName(QStringLiteral("SavePresetIdData"));
    SavePresetIdData->setGeometry(8, ControlTop, 153, ButtonHeight);
    connect(SavePresetIdData, &QLineEdit::textEdited, &screen_, &DatabaseWindowState::setIdentifierText);
    connect(&screen_, &DatabaseWindowState::identifierChanged, SavePresetIdData, &QLineEdit::setText);

    connect(addButton("LoadBtn", "Load", 164, 7), &QToolButton::clicked, &screen_, &DatabaseWindowState::LoadBtnClick);
    connect(addButton("StoreBtn", "Store", 204, 10), &QToolButton::clicked, &screen_, &DatabaseWindowState::StoreBtnClick);
    connect(addButton("TakeBtn", "Take", 244, 8), &QToolButton::clicked, &screen_, &DatabaseWindowState::TakeBtnClick);
    connect(addButton("DeleteBtn", "Del", 284, 3), &QToolButton::clicked, &screen_, &DatabaseWindowState::DeleteBtnClick);
    connect(addButton("RetrieveBtn", "Retr", 336, 9), &QToolButton::clicked, &screen_,
            &DatabaseWindowState::RetrieveBtnClick);
    connect(addButton("SaveBtn", "Save", 376, 18), &QToolButton::clicked, &screen_, &DatabaseWindowState::SaveBtnClick);
    connect(addButton("PrintBtn", "Print", 416, 11), &QToolButton::clicked, this, &GridWindow::printRequested);
    connect(addButton("ClearBtn", "Clear", 456, 25), &QToolButton::clicked, &screen_, &DatabaseWindowState::ClearBtnClick);

    grid_ = new DatabaseGrid(screen_, this);
    grid_->setObjectName(QStringLiteral("DatabaseGrid"));
    setGrid(grid_);
    connect(&screen_, &DatabaseWindowState::selectionMoved, grid_, [this](int row) {
        // Moves the grid's own cursor along without selecting the cell a second time.
        const QSignalBlocker quiet(grid_->selectionModel());
        grid_->setCurrentIndex(grid_->model()->index(row - 1, 0));
    });
    connect(&screen_, &DatabaseWindowState::scrollRowToTop, grid_, [this](int row) {
        grid_->scrollTo(grid_->model()->index(row - 1, 0), QAbstractItemView::PositionAtTop);
    });
    connect(&screen_, &DatabaseWindowState::captionChanged, this, &QWidget::setWindowTitle);

    applyGeometry(layout);
    grid_->setColumnWidths(layout.columns);
    setWindowTitle(screen_.ShowDatabaseCaption());
    screen_.LoadPreset(0);
    setVisible(layout.visible);
}

DatabaseLayout TConfDataScreen::windowLayout() const
{
    DatabaseLayout layout;
    static_cast<WindowGeometry&>(layout) = currentGeometry();
    layout.columns = grid_->columnWidths();
    return layout;
}
