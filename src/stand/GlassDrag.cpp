#include "stand/GlassDrag.h"

#include "stand/StandLayout.h"

bool GlassDrag::startsDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, bool doubleClick)
{
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return buttons == Qt::LeftButton && held == Qt::NoModifier && !doubleClick;
}

std::optional<int> GlassDrag::movedGlassTop(int glassTop, int lastY, int y)
{
    const int top = glassTop + 2 * (y - lastY);
    if (top > StandLayout::squareTopAt(0) || StandLayout::heightAtSquareTop(top) > 99)
        return std::nullopt;
    return top;
}
