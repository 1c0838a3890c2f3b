#pragma once

#include "config/Configuration.h"
#include "runorder/RunOrderDialogs.h"
#include "runorder/RunOrderScreen.h"

#include <QWidget>

class QToolButton;
class RunGrid;

// The run order window: the button row and the grid over RunOrderScreen. Closing it only
// hides it.
class TConfRunScreen : public QWidget, private RunOrderDialogs {
    Q_OBJECT
public:
    static constexpr int HelpContext = 30;
    static constexpr int PanelHeight = 33;
    static constexpr QSize DesignClientSize{354, 188};

    TConfRunScreen(const RunOrderScreenLinks& links, const RunScreenLayout& layout, QWidget* parent = nullptr);

    RunOrderScreen& screen() { return screen_; }
    RunGrid& grid() { return *RunGrid_; }
    // Geometry (client size), visibility, the Num column's width and the grid's row count, as
    // the configuration keeps them.
    RunScreenLayout Layout() const;

signals:
    // Closed by its own close box.
    void closed();
    void printRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate(const RunScreenLayout& layout);
    QToolButton* AddButton(const char* name, const QString& caption, int left, int hint);

    bool Confirm(const QString& question) override;
    QString OpenRunOrderDialog(const QString& folder) override;
    QString SaveRunOrderDialog(const QString& folder, const QString& proposed) override;
    void ShowFailure(const QString& text) override;

    RunOrderScreen screen_;
    std::function<QString(int)> message_;
    QWidget* RunOrderPanel = nullptr;
    RunGrid* RunGrid_ = nullptr;
};
