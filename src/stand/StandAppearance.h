#pragma once

#include <QtGlobal>

#include <optional>

// Colours of a stand's controls, as roles, so this library needs no GUI module.
enum class StandColour { White, Black, ButtonFace, Gray, Yellow };

// 0xRRGGBB for the fixed colours; none for ButtonFace, which is the palette's button colour.
std::optional<quint32> standColourRgb(StandColour colour);

struct StandAppearance {
    bool enabled;                  // head square, column, base, both panels, both nudge buttons
    StandColour panelBackground;   // level and data panels
    StandColour panelText;
    StandColour baseBackground;
    StandColour baseText;
    StandColour columnFill;
    StandColour positionFill;
    StandColour positionOutline;
    StandColour glassOutline;      // the glass has no fill and is never disabled
};

// Online stands are drawn in black and yellow, silent ones greyed.
StandAppearance appearanceFor(bool online);
