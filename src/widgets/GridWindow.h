#pragma once

#include "common/WindowGeometry.h"
#include "widgets/WindowQuestions.h"

#include <QWidget>

#include <functional>

class QToolButton;

// A tool window of a row of buttons on a panel over a grid, as the database and run order
// windows are. Closing it only hides it; it tells its state whether it is the active window,
// asks the operator through its questions, and gives back its geometry for the configuration.
class GridWindow : public QWidget {
    Q_OBJECT
signals:
    // Closed by its own close box.
    void closed();
    void printRequested();

protected:
    struct ButtonRow {
        int top;
        int width;
        int height;
        std::function<QString(int)> hint;  // the message table, for the buttons' tips
    };

    GridWindow(const QString& windowName, const QString& panelName, int helpContext, int panelHeight,
               ButtonRow buttons, QWidget* parent);

    QWidget* panel() const { return panel_; }
    // Below the panel, filling the rest of the window.
    void setGrid(QWidget* grid);
    QToolButton* addButton(const char* name, const QString& caption, int left, int hint);
    OperatorQuestions& questions() { return questions_; }
    // Place and client size; whether it is shown is the caller's to apply.
    void applyGeometry(const WindowGeometry& geometry);
    WindowGeometry currentGeometry() const;

    virtual void activationChanged(bool /*active*/) {}

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int panelHeight_;
    ButtonRow buttons_;
    WindowQuestions questions_{this};
    QWidget* panel_ = nullptr;
    QWidget* grid_ = nullptr;
};
