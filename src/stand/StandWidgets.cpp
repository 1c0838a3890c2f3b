#include "stand/StandWidgets.h"

#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

ShapeWidget::ShapeWidget(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void ShapeWidget::setFill(std::optional<QColor> fill)
{
    fill_ = fill;
    update();
}

void ShapeWidget::setOutline(QColor colour, Qt::PenStyle style)
{
    outline_ = colour;
    outlineStyle_ = style;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(outline_, 1, outlineStyle_));
    painter.setBrush(fill_ ? QBrush(*fill_) : QBrush(Qt::NoBrush));
    const QRect box = rect().adjusted(0, 0, -1, -1);
    if (kind_ == Kind::RoundSquare) {
        const int radius = std::min(width(), height()) / 4;
        painter.drawRoundedRect(box, radius, radius);
    } else {
        painter.drawRect(box);
    }
}

GlassWidget::GlassWidget(QWidget* parent) : ShapeWidget(Kind::RoundSquare, parent) {}

void GlassWidget::mousePressEvent(QMouseEvent* event)
{
    if (onPress)
        onPress(event->buttons(), event->modifiers(), false, qRound(event->position().y()));
}

void GlassWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (onPress)
        onPress(event->buttons(), event->modifiers(), true, qRound(event->position().y()));
}

void GlassWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (onMove)
        onMove(qRound(event->position().y()));
}

void GlassWidget::mouseReleaseEvent(QMouseEvent*)
{
    if (onRelease)
        onRelease();
}

QLabel* makePanel(QWidget* parent, const QString& name, int bevelWidth)
{
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(bevelWidth);
    panel->setAlignment(Qt::AlignCenter);
    panel->setAutoFillBackground(true);
    return panel;
}

void paintPanel(QLabel* panel, const QColor& background, const QColor& text)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Disabled, QPalette::WindowText, text);
    panel->setPalette(p);
}

QIcon triangleGlyph(bool up)
{
    QPixmap pixmap(13, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    QPainterPath path;
    if (up) {
        path.moveTo(6.5, 1);
        path.lineTo(12, 11);
        path.lineTo(1, 11);
    } else {
        path.moveTo(1, 1);
        path.lineTo(12, 1);
        path.lineTo(6.5, 11);
    }
    path.closeSubpath();
    painter.drawPath(path);
    return QIcon(pixmap);
}
