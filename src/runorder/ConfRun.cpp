#include "runorder/ConfRun.h"

#include "runorder/RunGrid.h"
#include "widgets/MessageBoxes.h"
#include "widgets/OperatorDialogs.h"

#include <QCloseEvent>
#include <QToolButton>

namespace {

constexpr int ButtonTop = 4;
constexpr int ButtonWidth = 41;
constexpr int ButtonHeight = 25;

} // namespace

TConfRunScreen::TConfRunScreen(const RunOrderScreenLinks& links, const RunScreenLayout& layout, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , screen_(links, *this)
    , message_(links.message)
{
    FormCreate(layout);
}

void TConfRunScreen::FormCreate(const RunScreenLayout& layout)
{
    setObjectName(QStringLiteral("ConfRunScreen"));
    setProperty("helpContext", HelpContext);
    // A sans-serif font 13 pixels high, whatever the screen's resolution.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    setWindowTitle(QStringLiteral("Run Order"));
    resize(DesignClientSize);

    RunOrderPanel = new QWidget(this);
    RunOrderPanel->setObjectName(QStringLiteral("RunOrderPanel"));
    RunGrid_ = new RunGrid(screen_, this);
    RunGrid_->setObjectName(QStringLiteral("RunGrid"));
    connect(&screen_, &RunOrderScreen::captionChanged, this, &QWidget::setWindowTitle);
    connect(AddButton("RunOrderCopyBtn", "Dup", 8, 20), &QToolButton::clicked, &screen_,
            &RunOrderScreen::RunOrderCopyBtnClick);
    connect(AddButton("RunOrderDeleteBtn", "Del", 56, 21), &QToolButton::clicked, &screen_,
            &RunOrderScreen::RunOrderDeleteBtnClick);
    connect(AddButton("RunOrderClearBtn", "Clear", 104, 22), &QToolButton::clicked, &screen_,
            &RunOrderScreen::RunOrderClearBtnClick);
    connect(AddButton("RunOrderTakeBtn", "Take", 152, 23), &QToolButton::clicked, &screen_,
            &RunOrderScreen::RunOrderTakeBtnClick);
    connect(AddButton("RunOrderPrintBtn", "Print", 200, 24), &QToolButton::clicked, this,
            &TConfRunScreen::printRequested);
    connect(AddButton("RunOrderRetrieveBtn", "Retr", 248, 26), &QToolButton::clicked, &screen_,
            &RunOrderScreen::RunOrderRetrieveBtnClick);
    connect(AddButton("RunOrderSaveBtn", "Save", 296, 27), &QToolButton::clicked, &screen_,
            &RunOrderScreen::RunOrderSaveBtnClick);

    move(layout.left, layout.top);
    resize(layout.width, layout.height);
    // The stored row count is not applied: the grid always has one row per entry, so that a
    // count that disagrees with the stored list can neither hide entries nor add empty rows.
    RunGrid_->SetNumColumnWidth(layout.c0);
    setVisible(layout.visible);
}

QToolButton* TConfRunScreen::AddButton(const char* name, const QString& caption, int left, int hint)
{
    auto* button = new QToolButton(RunOrderPanel);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(message_(hint));
    button->setGeometry(left, ButtonTop, ButtonWidth, ButtonHeight);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

RunScreenLayout TConfRunScreen::Layout() const
{
    RunScreenLayout layout;
    layout.top = y();
    layout.left = x();
    layout.width = width();
    layout.height = height();
    layout.visible = isVisible();
    layout.c0 = RunGrid_->NumColumnWidth();
    layout.rowCount = RunGrid_->model()->rowCount() + 1;
    return layout;
}

void TConfRunScreen::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
}

void TConfRunScreen::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        screen_.SetRunOrderWindowActive(isActiveWindow());
    QWidget::changeEvent(event);
}

void TConfRunScreen::resizeEvent(QResizeEvent* event)
{
    RunOrderPanel->setGeometry(0, 0, width(), PanelHeight);
    RunGrid_->setGeometry(0, PanelHeight, width(), std::max(0, height() - PanelHeight));
    QWidget::resizeEvent(event);
}

bool TConfRunScreen::Confirm(const QString& question)
{
    return MessageBoxes::askOkCancel(this, question);
}

QString TConfRunScreen::OpenRunOrderDialog(const QString& folder)
{
    return OperatorDialogs::AskFileToOpen(this, folder);
}

QString TConfRunScreen::SaveRunOrderDialog(const QString& folder, const QString& proposed)
{
    return OperatorDialogs::AskFileToSave(this, folder, proposed);
}

void TConfRunScreen::ShowFailure(const QString& text)
{
    MessageBoxes::showWarning(this, text);
}
