#pragma once

#include "common/StandCount.h"

#include <QPoint>
#include <QRect>

// Pixel geometry of the stand window. One height unit is two pixels; a column stands
// on the top edge of its base panel.
namespace StandLayout {

inline constexpr int StandPitch = 48;
inline constexpr int ClientHeight = 373;

inline constexpr int SquareSize = 32;   // glass outline and head square
inline constexpr int ColumnWidth = 6;
inline constexpr int BaseTop = 232;
inline constexpr int BaseWidth = 32;
inline constexpr int BaseHeight = 25;
inline constexpr int DataTop = 268;
inline constexpr int LevelTop = 300;
inline constexpr int PanelWidth = 32;
inline constexpr int PanelHeight = 21;
inline constexpr int NudgeUpTop = 328;
inline constexpr int NudgeDownTop = 348;
inline constexpr int NudgeWidth = 20;
inline constexpr int NudgeHeight = 16;

// Where the window definition puts the controls before the first layout.
inline constexpr int DefinitionGlassTop = 104;
inline constexpr int DefinitionPositionTop = 144;

constexpr int baseLeft(int i) { return 8 + StandPitch * i; }
constexpr int columnLeft(int i) { return baseLeft(i) + (BaseWidth - ColumnWidth) / 2; }
constexpr int glassLeft(int i) { return columnLeft(i) - (SquareSize - ColumnWidth) / 2; }
constexpr int nudgeLeft(int i) { return 14 + StandPitch * i; }

// Top of a square (glass or head) standing at the given height.
constexpr int squareTopAt(int height) { return BaseTop - 2 * height - SquareSize; }

// Height a glass at this top stands for (truncating, as the level panel shows it).
constexpr int heightAtSquareTop(int top) { return (BaseTop - top - SquareSize) / 2; }

// The controls right of the stands, placed after the last displayed one.
// Labels size themselves, so they carry only a position.
struct RightHandLayout {
    int x = 0;
    QPoint actualHeightLabel;
    QPoint targetHeightLabel;
    QPoint currentSpeakerLabel;   // left edge; the caption is centred by the window
    QRect currentSpeaker;
    QRect panel1, panel2, panel3; // hidden diagnostic panels
    QRect runOrderButton, databaseButton;
    QRect takeButton, homeButton, abortButton, setupButton, helpButton, aboutButton, exitButton;
    int clientWidth = 0;
};

RightHandLayout LayoutControls(int standsDisplayed);

} // namespace StandLayout
