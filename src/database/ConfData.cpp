#include "database/ConfData.h"

#include "database/DatabaseGrid.h"
#include "widgets/MessageBoxes.h"
#include "widgets/OperatorDialogs.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QToolButton>

namespace {

constexpr int ControlTop = 8;
constexpr int ButtonWidth = 38;
constexpr int ButtonHeight = 25;

} // namespace

TConfDataScreen::TConfDataScreen(const DatabaseScreenLinks& links, const DatabaseLayout& layout, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , screen_(links, *this)
    , message_(links.message)
{
    FormCreate(layout);
}

void TConfDataScreen::FormCreate(const DatabaseLayout& layout)
{
    setObjectName(QStringLiteral("ConfDataScreen"));
    setProperty("helpContext", HelpContext);
    setFont(QFont(QStringLiteral("Arial"), 8));

    DatabasePanel = new QWidget(this);
    DatabasePanel->setObjectName(QStringLiteral("DatabasePanel"));
    SavePresetIdData = new QLineEdit(DatabasePanel);
    SavePresetIdData->setObjectName(QStringLiteral("SavePresetIdData"));
    SavePresetIdData->setGeometry(8, ControlTop, 153, ButtonHeight);
    connect(SavePresetIdData, &QLineEdit::textEdited, &screen_, &DatabaseScreen::SetIdentifierText);
    connect(&screen_, &DatabaseScreen::identifierChanged, SavePresetIdData, &QLineEdit::setText);

    connect(AddButton("LoadBtn", "Load", 164, 7), &QToolButton::clicked, &screen_, &DatabaseScreen::LoadBtnClick);
    connect(AddButton("StoreBtn", "Store", 204, 10), &QToolButton::clicked, &screen_, &DatabaseScreen::StoreBtnClick);
    connect(AddButton("TakeBtn", "Take", 244, 8), &QToolButton::clicked, &screen_, &DatabaseScreen::TakeBtnClick);
    connect(AddButton("DeleteBtn", "Del", 284, 3), &QToolButton::clicked, &screen_, &DatabaseScreen::DeleteBtnClick);
    connect(AddButton("RetrieveBtn", "Retr", 336, 9), &QToolButton::clicked, &screen_,
            &DatabaseScreen::RetrieveBtnClick);
    connect(AddButton("SaveBtn", "Save", 376, 18), &QToolButton::clicked, &screen_, &DatabaseScreen::SaveBtnClick);
    connect(AddButton("PrintBtn", "Print", 416, 11), &QToolButton::clicked, this, &TConfDataScreen::printRequested);
    connect(AddButton("ClearBtn", "Clear", 456, 25), &QToolButton::clicked, &screen_, &DatabaseScreen::ClearBtnClick);

    grid_ = new DatabaseGrid(screen_, this);
    grid_->setObjectName(QStringLiteral("DatabaseGrid"));
    connect(&screen_, &DatabaseScreen::selectionMoved, grid_, [this](int row) {
        // Moves the grid's own cursor along without selecting the cell a second time.
        const QSignalBlocker quiet(grid_->selectionModel());
        grid_->setCurrentIndex(grid_->model()->index(row - 1, 0));
    });
    connect(&screen_, &DatabaseScreen::scrollRowToTop, grid_, [this](int row) {
        grid_->scrollTo(grid_->model()->index(row - 1, 0), QAbstractItemView::PositionAtTop);
    });
    connect(&screen_, &DatabaseScreen::captionChanged, this, &QWidget::setWindowTitle);

    move(layout.left, layout.top);
    resize(layout.width, layout.height);
    grid_->SetColumnWidths(layout.columns);
    setWindowTitle(screen_.ShowDatabaseCaption());
    screen_.LoadPreset(0);
    setVisible(layout.visible);
}

QToolButton* TConfDataScreen::AddButton(const char* name, const QString& caption, int left, int hint)
{
    auto* button = new QToolButton(DatabasePanel);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(message_(hint));
    button->setGeometry(left, ControlTop, ButtonWidth, ButtonHeight);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

DatabaseLayout TConfDataScreen::Layout() const
{
    DatabaseLayout layout;
    layout.top = y();
    layout.left = x();
    layout.width = width();
    layout.height = height();
    layout.visible = isVisible();
    layout.columns = grid_->ColumnWidths();
    return layout;
}

void TConfDataScreen::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
}

void TConfDataScreen::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        screen_.SetDatabaseWindowActive(isActiveWindow());
    QWidget::changeEvent(event);
}

void TConfDataScreen::resizeEvent(QResizeEvent* event)
{
    DatabasePanel->setGeometry(0, 0, width(), PanelHeight);
    grid_->setGeometry(0, PanelHeight, width(), std::max(0, height() - PanelHeight));
    QWidget::resizeEvent(event);
}

bool TConfDataScreen::Confirm(const QString& question)
{
    return MessageBoxes::askOkCancel(this, question);
}

QString TConfDataScreen::OpenDatabaseDialog(const QString& folder)
{
    return OperatorDialogs::AskFileToOpen(this, folder);
}

QString TConfDataScreen::SaveDatabaseDialog(const QString& folder, const QString& proposed)
{
    // Save replaces an existing database without asking.
    return OperatorDialogs::AskFileToSave(this, folder, proposed, QFileDialog::DontConfirmOverwrite);
}

void TConfDataScreen::ShowFailure(const QString& text)
{
    MessageBoxes::showWarning(this, text);
}
