#pragma once

#include "RecordingAnnouncer.h"
#include "config/Configuration.h"
#include "database/SpeakerDatabase.h"
#include "stand/RecordingPort.h"
#include "stand/StandController.h"
#include "stand/TakeHandler.h"

// What a window's state works on: the speakers, the configuration and a stand controller on a
// recording port, which takes through the link cycle as the main window does once a rig
// overrides its window's take. Entry 4 is "Guest" at 11 to 18.
struct ControllerRig : TakeHandler {
    PresetTable presets;
    Configuration config;
    RecordingPort port;
    StandBoard board;
    StandController controller{board, port};
    RecordingAnnouncer announcer;

    explicit ControllerRig(int standsDisplayed)
    {
        board.SetStandsDisplayed(standsDisplayed);
        controller.setTakeHandler(this);
        controller.StartComms(false);
        presets[4].preset = {11, 12, 13, 14, 15, 16, 17, 18};
        presets[4].preset_id = "Guest";
    }
    // The message table: message 17 is "Speaker".
    static QString Message(int n) { return n == 17 ? QString("Speaker") : QString("M%1").arg(n); }

    void ExecuteDatabaseTake(bool) override {}
    void ExecuteRunOrderTake() override {}
};
