#pragma once

// Where a window stands on the screen, as the keys "Top" and "Left" keep it.
struct WindowPlace {
    int top = 0;
    int left = 0;
};

// A window's place, client size ("Width", "Height") and whether it is shown ("Visible").
struct WindowGeometry : WindowPlace {
    int width = 300;
    int height = 200;
    bool visible = false;
};
