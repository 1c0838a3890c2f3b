#include "widgets/GridWindow.h"

#include <QCloseEvent>
#include <QToolButton>

GridWindow::GridWindow(const QString& windowName, const QString& panelName, int helpContext, int panelHeight,
                       ButtonRow buttons, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
    , panelHeight_(panelHeight)
    , buttons_(std::move(buttons))
{
    setObjectName(windowName);
    setProperty("helpContext", helpContext);
    panel_ = new QWidget(this);
    panel_->setObjectName(panelName);
}

void GridWindow::setGrid(QWidget* grid)
{
    grid_ = grid;
}

QToolButton* GridWindow::addButton(const char* name, const QString& caption, int left, int hint)
{
    auto* button = new QToolButton(panel_);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(buttons_.hint(hint));
    button->setGeometry(left, buttons_.top, buttons_.width, buttons_.height);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void GridWindow::applyGeometry(const WindowGeometry& geometry)
{
    move(geometry.left, geometry.top);
    resize(geometry.width, geometry.height);
}

WindowGeometry GridWindow::currentGeometry() const
{
    WindowGeometry geometry;
    geometry.top = y();
    geometry.left = x();
    geometry.width = width();
    geometry.height = height();
    geometry.visible = isVisible();
    return geometry;
}

void GridWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
}

void GridWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        activationChanged(isActiveWindow());
    QWidget::changeEvent(event);
}

void GridWindow::resizeEvent(QResizeEvent* event)
{
    panel_->setGeometry(0, 0, width(), panelHeight_);
    if (grid_)
        grid_->setGeometry(0, panelHeight_, width(), std::max(0, height() - panelHeight_));
    QWidget::resizeEvent(event);
}
