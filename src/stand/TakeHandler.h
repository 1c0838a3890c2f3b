#pragma once

// The takes of the database and run order windows, called from inside the link cycle. Each
// carries out StandController::takeHeights with the heights of the speaker it takes.
class TakeHandler {
public:
    virtual ~TakeHandler() = default;
    virtual void ExecuteDatabaseTake(bool local) = 0;
    virtual void ExecuteRunOrderTake() = 0;
};
