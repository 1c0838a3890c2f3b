#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include "database/SpeakerDatabase.h"
#include "runorder/RunOrder.h"

#include <functional>
#include <optional>

class DatabaseWindowState;
class RunOrderWindowState;
class StandController;

// What the show view works on; all of it is owned by the main window.
struct ShowViewLinks {
    StandController& controller;
    DatabaseWindowState& database;
    RunOrderWindowState& runOrder;
    const RunOrder& runOrderList;
    const PresetTable& presets;
    // The index of the speaker of that name, as the prompter link finds it, or -1.
    std::function<int(const QString&)> findSpeaker;
};

// What the page shows, as JSON, and what its buttons ask for. Nothing here carries a take
// out: every command only sets the pending command, as the program's own buttons do, and the
// link cycle does the rest.
class ShowViewState : public QObject {
    Q_OBJECT
public:
    // Names longer than this are cut for the page.
    static constexpr int NameLength = 120;

    enum class Line {
        Answering,  // the port is open and a displayed stand answers
        Closed,     // the port did not open
        Retrying,   // the line went away and the port is being tried again
        Silent,     // the port is open and no displayed stand answers
    };

    explicit ShowViewState(const ShowViewLinks& links, QObject* parent = nullptr);

    Line lineState() const;
    // How long the line has been other than Answering, in ms; 0 while it answers.
    qint64 lineWrongFor() const;

    // The run order row whose take the current speaker panel shows, or 0.
    int onStageRow() const;
    // The row that comes on stage next: the current row when it is not on stage, the one
    // after it when it is; 0 when there is none.
    int nextRow() const;

    // {"line", "stands": [{"n", "on", "a", "t", "g"}]}: each displayed stand's number, whether
    // it answers, its actual and target heights and the next row's height for it (or null).
    QByteArray standsJson() const;
    // {"current", "position", "onStage", "next", "rows": [[name, warn]], "speakers": [...]}.
    QByteArray showJson() const;

    struct Result {
        bool ok = false;
        QString reason;  // why not, when not
    };
    // {"command": "go" | "next" | "previous" | "take" (with "name") | "abort" | "home"}.
    Result carryOut(const QJsonObject& command);

signals:
    // Something the page shows may have changed.
    void changed();

private:
    void observe();
    // The speaker that run order row `row` names, if it names one.
    const TPreset* rowSpeaker(int row) const;
    Result stepRunOrder(int step);

    ShowViewLinks links_;
    QElapsedTimer clock_;
    std::optional<qint64> wrongSince_;
    int takenRow_ = 0;
    QString takenText_;
};
