#pragma once

#include "osc/OscPacket.h"

#include <QString>

// What one message from a control surface asks for.
struct ShowCommand {
    enum Kind {
        Ignored,  // unknown address, wrong arguments, or a number out of range
        SpeakerTakeByName,
        SpeakerTakeByRow,
        RunOrderTake,
        RunOrderNext,
        RunOrderPrevious,
        StandsTake,
        StandsHome,
        StandsAbort,
        Query,
    };
    Kind kind = Ignored;
    int row = 0;  // a database row 1..50 or a run order row
    QString name;

    bool operator==(const ShowCommand&) const = default;
};

// Addresses match exactly (no wildcards), and the arguments must be exactly those listed:
// a button that sends a value on press and on release is refused rather than taken twice.
ShowCommand interpretShowMessage(const OscMessage& message);
