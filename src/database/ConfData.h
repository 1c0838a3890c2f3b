#pragma once

#include "config/Configuration.h"
#include "database/DatabaseScreen.h"
#include "widgets/GridWindow.h"

class DatabaseGrid;
class QLineEdit;

// The database window: the identifier box, the button row and the grid over DatabaseScreen.
class TConfDataScreen : public GridWindow {
    Q_OBJECT
public:
    static constexpr int HelpContext = 20;
    static constexpr int PanelHeight = 41;

    TConfDataScreen(const DatabaseScreenLinks& links, const DatabaseLayout& layout, QWidget* parent = nullptr);

    DatabaseScreen& screen() { return screen_; }
    // Geometry (client size), visibility and the widths of columns 0 to 8, as the
    // configuration keeps them.
    DatabaseLayout Layout() const;

protected:
    void activationChanged(bool active) override { screen_.SetDatabaseWindowActive(active); }

private:
    void FormCreate(const DatabaseLayout& layout);

    DatabaseScreen screen_;
    QLineEdit* SavePresetIdData = nullptr;
    DatabaseGrid* grid_ = nullptr;
};
