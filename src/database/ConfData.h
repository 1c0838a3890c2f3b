#pragma once

#include "config/Configuration.h"
#include "database/DatabaseDialogs.h"
#include "database/DatabaseScreen.h"

#include <QWidget>

class DatabaseGrid;
class QLineEdit;
class QToolButton;

// The database window: the identifier box, the button row and the grid over DatabaseScreen.
// Closing it only hides it.
class TConfDataScreen : public QWidget, private DatabaseDialogs {
    Q_OBJECT
public:
    static constexpr int HelpContext = 20;
    static constexpr int PanelHeight = 41;

    TConfDataScreen(const DatabaseScreenLinks& links, const DatabaseLayout& layout, QWidget* parent = nullptr);

    DatabaseScreen& screen() { return screen_; }
    // Geometry (client size), visibility and the widths of columns 0 to 8, as the
    // configuration keeps them.
    DatabaseLayout Layout() const;

signals:
    // Closed by its own close box.
    void closed();
    void printRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate(const DatabaseLayout& layout);
    QToolButton* AddButton(const char* name, const QString& caption, int left, int hint);

    bool Confirm(const QString& question) override;
    QString OpenDatabaseDialog(const QString& folder) override;
    QString SaveDatabaseDialog(const QString& folder, const QString& proposed) override;
    void ShowFailure(const QString& text) override;

    DatabaseScreen screen_;
    std::function<QString(int)> message_;
    QWidget* DatabasePanel = nullptr;
    QLineEdit* SavePresetIdData = nullptr;
    DatabaseGrid* grid_ = nullptr;
};
