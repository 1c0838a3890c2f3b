#pragma once

#include "stand/StandLayout.h"

#include <QString>

#include <array>

// One stand: its link state and what its controls show. The lefts of the controls depend
// only on the stand's index (StandLayout); the tops below change with the heights.
struct TStand {
    bool online = false;
    int target = 0;
    int actual = 0;      // last reported height, 0..99
    QString level = QStringLiteral("0");  // target panel; a take sends this text, not target
    QString data = QStringLiteral("0");   // actual height panel

    int glassTop = StandLayout::DefinitionGlassTop;
    int positionTop = StandLayout::DefinitionPositionTop;
    int columnTop = StandLayout::BaseTop;
    int columnHeight = 0;
};

using TStands = std::array<TStand, StandCount>;
