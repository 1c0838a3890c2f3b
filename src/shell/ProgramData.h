#pragma once

#include "config/Configuration.h"
#include "database/SpeakerDatabase.h"
#include "runorder/RunOrder.h"
#include "shell/MessageTable.h"
#include "shell/Paths.h"

// The program-wide data that the main window owns and every window works on.
struct ProgramData {
    explicit ProgramData(Paths paths) : paths(std::move(paths)) {}

    // Messages, settings, speaker database, and what the run order and database windows read
    // at their creation: their layout and the stored run order.
    void load();

    Paths paths;
    MessageTable Messages;
    Configuration config;
    PresetTable Presets;
    RunOrder runOrder;
    RunScreenLayout runScreenLayout;
    DatabaseLayout databaseLayout;
};
