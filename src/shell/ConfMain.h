#pragma once

#include "CloseSequence.h"
#include "CommStandPort.h"
#include "ProgramData.h"
#include "StandBoard.h"
#include "StandController.h"

#include <QWidget>
#include <array>
#include <memory>

class GlassWidget;
class QLabel;
class QPushButton;
class QToolButton;
class ShapeWidget;

// The main window: it owns the program's data, draws the stands from their board and
// forwards the operator's input to the link cycle.
class TConferenceForm : public QWidget, private CloseQuestions {
    Q_OBJECT
public:
    explicit TConferenceForm(const Paths& paths);
    ~TConferenceForm() override;

    ProgramData& programData() { return data_; }
    StandBoard& board() { return board_; }
    StandController& controller() { return *controller_; }
    CommStandPort& port() { return port_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct StandControls {
        GlassWidget* glass;
        ShapeWidget* position;
        ShapeWidget* column;
        QLabel* base;
        QLabel* data;
        QLabel* level;
        QToolButton* nudge_up;
        QToolButton* nudge_down;
    };

    void FormCreate();
    void CreateStandControls();
    void CreateRightHandControls();
    // Runs the close steps; an error from one of them leaves through here and stops the close.
    void FormCloseQuery();
    void ExitBtnClick();

    void ShowStand(int i);
    void LayoutControls();
    void ShowPortFailure(int portNumber);
    QColor colour(StandColour role) const;

    bool confirm(const QString& question) override;
    QString saveFileName(const QString& folder, const QString& proposed) override;

    ProgramData data_;
    StandBoard board_;
    CommStandPort port_;
    std::unique_ptr<StandController> controller_;

    QWidget* BasePanel = nullptr;
    std::array<StandControls, StandLayout::StandCount> stands_{};
    QLabel* ActualHeightLabel = nullptr;
    QLabel* TargetHeightLabel = nullptr;
    QLabel* CurrentSpeakerLabel = nullptr;
    QLabel* CurrentSpeaker = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* Panel2 = nullptr;
    QLabel* Panel3 = nullptr;
    QPushButton* RunOrderBtn = nullptr;
    QPushButton* DatabaseBtn = nullptr;
    QPushButton* TakeBtn = nullptr;
    QPushButton* HomeBtn = nullptr;
    QPushButton* AbortBtn = nullptr;
    QPushButton* SetupBtn = nullptr;
    QPushButton* HelpBtn = nullptr;
    QPushButton* AboutBtn = nullptr;
    QPushButton* ExitBtn = nullptr;
};
