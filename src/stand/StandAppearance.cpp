#include "stand/StandAppearance.h"

std::optional<quint32> standColourRgb(StandColour colour)
{
    switch (colour) {
    case StandColour::White:
        return 0xFFFFFFu;
    case StandColour::Black:
        return 0x000000u;
    case StandColour::Gray:
        return 0x808080u;
    case StandColour::Yellow:
        return 0xFFFF00u;
    case StandColour::ButtonFace:
        break;
    }
    return std::nullopt;
}

StandAppearance appearanceFor(bool online)
{
    using C = StandColour;
    if (online)
        return {true, C::White, C::Black, C::Black, C::White, C::Black, C::Yellow, C::Black, C::Black};
    return {false, C::ButtonFace, C::Gray, C::ButtonFace, C::Gray, C::ButtonFace, C::ButtonFace, C::Gray,
            C::Gray};
}
