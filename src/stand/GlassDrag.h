#pragma once

#include <QtCore/qnamespace.h>

#include <optional>

// State of dragging a stand's glass to set a target by hand.
struct GlassDrag {
    bool Dragging = false;
    int DragLastY = 0;      // last mouse y within the glass
    bool DragSkipMove = false;

    // Only the left button alone starts a drag: no other button, no Shift, Ctrl or Alt,
    // not a double click.
    static bool startsDrag(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, bool doubleClick);

    // The glass top after moving the mouse from lastY to y, or none when that would put
    // the glass below height 0 or above 99.
    static std::optional<int> movedGlassTop(int glassTop, int lastY, int y);
};
