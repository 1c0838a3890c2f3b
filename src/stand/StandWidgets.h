#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>
#include <functional>
#include <optional>

// A drawn shape: a rectangle or a rounded square with a fill (or none) and an outline.
class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, RoundSquare };
    ShapeWidget(Kind kind, QWidget* parent);

    void setFill(std::optional<QColor> fill);
    void setOutline(QColor colour, Qt::PenStyle style = Qt::SolidLine);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Kind kind_;
    std::optional<QColor> fill_;
    QColor outline_ = Qt::gray;
    Qt::PenStyle outlineStyle_ = Qt::SolidLine;
};

// The glass outline: a shape that hands its mouse events on.
class GlassWidget : public ShapeWidget {
    Q_OBJECT
public:
    explicit GlassWidget(QWidget* parent);

    std::function<void(Qt::MouseButtons, Qt::KeyboardModifiers, bool doubleClick, int y)> onPress;
    std::function<void(int y)> onMove;
    std::function<void()> onRelease;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A sunken panel showing one line of centred text.
QLabel* makePanel(QWidget* parent, const QString& name, int bevelWidth);

// Background and text colours of a panel.
void paintPanel(QLabel* panel, const QColor& background, const QColor& text);

// The 13 x 12 black triangle of a nudge button.
QIcon triangleGlyph(bool up);
