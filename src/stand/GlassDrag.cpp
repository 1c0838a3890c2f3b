#include "stand/GlassDrag.h"

#include "stand/StandLayout.h"

bool GlassDrag::StartsDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, bool doubleClick)
{
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return buttons == Qt::LeftButton && held == Qt::NoModifier && !doubleClick;
}

std::optional<int> GlassDrag::MovedGlassTop(int glassTop, int lastY, int y)
{
    const int top = glassTop + 2 * (y - lastY);
    if (top > StandLayout::SquareTopAt(0) || StandLayout::HeightAtSquareTop(top) > 99)
        return std::nullopt;
    return top;
}
