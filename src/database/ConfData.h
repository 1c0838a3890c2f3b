#pragma once

#include "config/Configuration.h"
#include "database/DatabaseWindowState.h"
#include "widgets/GridWindow.h"

class DatabaseGrid;
class QLineEdit;

// The database window: the identifier box, the button row and the grid over DatabaseWindowState.
class TConfDataScreen : public GridWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 20;
    static constexpr int PanelHeight = 41;

    TConfDataScreen(const DatabaseWindowStateLinks& links, const DatabaseLayout& layout, QWidget* parent = nullptr);

    DatabaseWindowState& screen() { return screen_; }
    // Geometry (client size), visibility and the widths of columns 0 to 8, as the
    // configuration keeps them.
    DatabaseLayout windowLayout() const;

protected:
    void activationChanged(bool active) override { screen_.setDatabaseWindowActive(active); }

private:
    void FormCreate(const DatabaseLayout& layout);

    DatabaseWindowState screen_;
    QLineEdit* SavePresetIdData = nullptr;
    DatabaseGrid* grid_ = nullptr;
};
