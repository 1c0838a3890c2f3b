#pragma once

#include "config/Configuration.h"
#include "runorder/RunOrderWindowState.h"
#include "widgets/GridWindow.h"

class RunGrid;

// The run order window: the button row and the grid over RunOrderWindowState.
class TConfRunScreen : public GridWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 30;
    static constexpr int PanelHeight = 33;
    static constexpr QSize DesignClientSize{354, 188};

    TConfRunScreen(const RunOrderWindowStateLinks& links, const RunScreenLayout& layout, QWidget* parent = nullptr);

    RunOrderWindowState& screen() { return screen_; }
    RunGrid& grid() { return *grid_; }
    // Geometry (client size), visibility, the Num column's width and the grid's row count, as
    // the configuration keeps them.
    RunScreenLayout windowLayout() const;

protected:
    void activationChanged(bool active) override { screen_.setRunOrderWindowActive(active); }

private:
    void FormCreate(const RunScreenLayout& layout);

    RunOrderWindowState screen_;
    RunGrid* grid_ = nullptr;
};
