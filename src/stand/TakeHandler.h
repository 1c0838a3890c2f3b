#pragma once

// The takes of the database and run order windows, called from inside the link cycle.
// For every displayed stand in ascending order they store the target
// (StandController::StoreTarget), show it (SetTargetHeight) and send it
// (SendHeightCommand), then set the current speaker.
class TakeHandler {
public:
    virtual ~TakeHandler() = default;
    virtual void ExecuteDatabaseTake(bool local) = 0;
    virtual void ExecuteRunOrderTake() = 0;
};
