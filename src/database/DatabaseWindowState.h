#pragma once

#include "config/Configuration.h"
#include "database/SpeakerDatabase.h"

#include <QObject>
#include <QString>
#include <functional>

class OperatorQuestions;
class PrompterAnnouncer;
class QMimeData;
class StandController;

// What the database window works on; all of it is owned by the main window.
struct DatabaseWindowStateLinks {
    PresetTable& presets;
    Configuration& config;  // DatabaseFileName, DatabaseFromTarget
    QString databaseFolder;
    StandController& controller;
    std::function<QString(int)> message;  // the message table
    PrompterAnnouncer& announcer;
};

// The state and the rules of the database window: the selected entry, the identifier box and
// every operation of its buttons, grid and keys. Grid rows count from 1 (row 0 is the heading),
// entry indices from 0.
class DatabaseWindowState : public QObject {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 10;
    static constexpr int RowCount = PresetCount + 1;

    DatabaseWindowState(const DatabaseWindowStateLinks& links, OperatorQuestions& questions, QObject* parent = nullptr);

    const PresetTable& Presets() const { return links_.presets; }
    int SelectedDatabaseRow() const { return selectedDatabaseRow_; }
    bool hasSelection() const { return selectedDatabaseRow_ >= 1 && selectedDatabaseRow_ <= PresetCount; }
    bool DatabaseWindowActive() const { return databaseWindowActive_; }
    void setDatabaseWindowActive(bool active);
    // The text of the identifier box SavePresetIdData.
    const QString& identifierText() const { return identifierText_; }
    void setIdentifierText(const QString& text) { identifierText_ = text; }

    // "Database: " and the file name of DatabaseFileName without its extension.
    QString ShowDatabaseCaption() const;
    QString cellText(int row, int column) const;

    void LoadPreset(int i);
    void StoreBtnClick();
    void LoadBtnClick();
    void TakeBtnClick();
    void ExecuteDatabaseTake(bool local);
    void SetDatabaseSelection(int n);
    void DeleteBtnClick();
    void ClearBtnClick();
    void RetrieveBtnClick();
    void SaveBtnClick();

    enum class DeleteKeyAction { Delete, ClearAll, Nothing };
    static DeleteKeyAction deleteKeyActionFor(Qt::KeyboardModifiers modifiers);
    void databaseGridDeleteKey(Qt::KeyboardModifiers modifiers);

    // A cell chosen with the mouse; keys never choose one.
    void DatabaseGridSelectCell(int row);
    // A left-button press on the grid; row 0 for the heading or where there is no row.
    void databaseGridLeftPress(int row);
    void databaseGridDblClick();
    // The drag of the selected entry, or null when none is selected. The caller owns it.
    QMimeData* dragData() const;

signals:
    void gridChanged();
    void identifierChanged(const QString& text);
    void captionChanged(const QString& caption);
    // The selection moved by a rule rather than by the grid itself.
    void selectionMoved(int row);
    void scrollRowToTop(int row);
    // Entries changed or were replaced: what shows them elsewhere (the run order) repaints.
    void entriesChanged();
    // A take moved the stands to this speaker.
    void speakerTaken(const QString& name);

private:
    TPreset& selectedEntry() { return links_.presets[static_cast<size_t>(selectedDatabaseRow_ - 1)]; }
    void setIdentifierBox(const QString& text);
    void clearAllWithReset();

    DatabaseWindowStateLinks links_;
    OperatorQuestions& questions_;
    int selectedDatabaseRow_ = 1;
    bool databaseWindowActive_ = false;
    QString identifierText_;
};
