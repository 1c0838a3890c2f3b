#include "stand/StandLayout.h"

namespace StandLayout {

RightHandLayout LayoutControls(int standsDisplayed)
{
    constexpr int ButtonHeight = 25;
    constexpr int ToggleWidth = 90;
    constexpr int CommandWidth = 60;

    RightHandLayout l;
    l.x = glassLeft(0) + SquareSize + (standsDisplayed - 1) * StandPitch + 24;
    l.actualHeightLabel = QPoint(l.x, 268);
    l.targetHeightLabel = QPoint(l.x, 300);
    l.currentSpeaker = QRect(l.x + 8, 32, 185, 28);
    l.currentSpeakerLabel = QPoint(l.currentSpeaker.left() + 32, 8);
    l.panel1 = QRect(l.x, 188, 121, 25);
    l.panel2 = QRect(l.x, 214, 121, 25);
    l.panel3 = QRect(l.x, 240, 121, 25);

    const int toggleLeft = l.x + 24;
    l.runOrderButton = QRect(toggleLeft, 128, ToggleWidth, ButtonHeight);
    l.databaseButton = QRect(toggleLeft, 160, ToggleWidth, ButtonHeight);

    const int commandLeft = toggleLeft + ToggleWidth + 20;
    auto command = [&](int top) { return QRect(commandLeft, top, CommandWidth, ButtonHeight); };
    l.takeButton = command(96);
    l.homeButton = command(128);
    l.abortButton = command(160);
    l.setupButton = command(240);
    l.helpButton = command(272);
    l.aboutButton = command(304);
    l.exitButton = command(336);

    l.clientWidth = commandLeft + CommandWidth + 8;
    return l;
}

} // namespace StandLayout
