#include "database/DatabaseWindowState.h"

#include "common/AppError.h"
#include "common/OperatorQuestions.h"
#include "common/Trim.h"
#include "config/IniFile.h"
#include "database/VantoraDragDrop.h"
#include "stand/PrompterAnnouncer.h"
#include "stand/StandController.h"
#include "stand/StandFrames.h"

#include <QFileInfo>

namespace {

const QString NoName = QStringLiteral("No Name");

std::uint8_t lowEightBits(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

DatabaseWindowState::DatabaseWindowState(const DatabaseWindowStateLinks& links, OperatorQuestions& questions, QObject* parent)
    : QObject(parent), links_(links), questions_(questions)
{
}

void DatabaseWindowState::setDatabaseWindowActive(bool active)
{
    databaseWindowActive_ = active;
    emit gridChanged();
}

QString DatabaseWindowState::ShowDatabaseCaption() const
{
    QString name = QFileInfo(links_.config.DatabaseFileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return QStringLiteral("Database: ") + name;
}

QString DatabaseWindowState::cellText(int row, int column) const
{
    if (row == 0) {
        if (column == 0)
            return QStringLiteral("Num");
        if (column == 1)
            return QStringLiteral("Identifier");
        return QStringLiteral("S%1").arg(column - 1);
    }
    if (row < 1 || row > PresetCount || column < 0 || column >= ColumnCount)
        return {};
    const TPreset& entry = links_.presets[static_cast<size_t>(row - 1)];
    if (column == 0)
        return QString::number(row);
    if (column == 1)
        return entry.preset_id;
    return QString::number(entry.preset[static_cast<size_t>(column - 2)]);
}

void DatabaseWindowState::setIdentifierBox(const QString& text)
{
    identifierText_ = text;
    emit identifierChanged(text);
}

void DatabaseWindowState::LoadPreset(int i)
{
    if (i < 0 || i >= PresetCount)
        return;
    const TPreset& entry = links_.presets[static_cast<size_t>(i)];
    StandBoard& board = links_.controller.board();
    for (int j = 0; j < StandCount; ++j)
        board.setLevelText(j, QString::number(entry.preset[static_cast<size_t>(j)]));
    setIdentifierBox(entry.preset_id);
}

void DatabaseWindowState::StoreBtnClick()
{
    if (!hasSelection())
        return;
    if (!questions_.confirm(links_.message(2) + u' ' + QString::number(selectedDatabaseRow_) + u'?'))
        return;
    const StandBoard& board = links_.controller.board();
    TPreset& entry = selectedEntry();
    for (int j = 0; j < StandCount; ++j) {
        const TStand& stand = board.stand(j);
        const QString& shown = links_.config.DatabaseFromTarget ? stand.level : stand.data;
        entry.preset[static_cast<size_t>(j)] = lowEightBits(StandFrames::parseHeightText(shown));
    }
    QString identifier = identifierText_;
    RemoveLeadingSpaces(identifier);
    RemoveTrailingSpaces(identifier);
    entry.preset_id = identifier;
    emit gridChanged();
    emit entriesChanged();
}

void DatabaseWindowState::LoadBtnClick()
{
    if (!hasSelection())
        return;
    const TPreset& entry = selectedEntry();
    for (int j = 0; j < StandCount; ++j) {
        links_.controller.storeTarget(j, entry.preset[static_cast<size_t>(j)]);
        links_.controller.SetTargetHeight(j);
    }
}

void DatabaseWindowState::TakeBtnClick()
{
    links_.controller.setPendingCommand(pcDatabaseTakeLocal);
}

void DatabaseWindowState::ExecuteDatabaseTake(bool local)
{
    if (!hasSelection())
        return;
    const TPreset& entry = selectedEntry();
    links_.controller.takeHeights(entry.preset, entry.preset_id);
    if (local)
        links_.announcer.DdeSend(links_.message(17) + u' ' + entry.preset_id);
    emit speakerTaken(entry.preset_id);
}

void DatabaseWindowState::SetDatabaseSelection(int n)
{
    if (n < 0 || n >= PresetCount)
        return;
    selectedDatabaseRow_ = n + 1;
    links_.controller.setPendingCommand(pcDatabaseTakeRemote);
    setIdentifierBox(links_.presets[static_cast<size_t>(n)].preset_id);
    emit selectionMoved(selectedDatabaseRow_);
    emit scrollRowToTop(selectedDatabaseRow_);
    emit gridChanged();
}

void DatabaseWindowState::DeleteBtnClick()
{
    if (!hasSelection())
        return;
    TPreset& entry = selectedEntry();
    if (!questions_.confirm(links_.message(3) + u' ' + QString::number(selectedDatabaseRow_) + u' ' + entry.preset_id
                          + u'?'))
        return;
    entry = TPreset{};
    setIdentifierBox(NoName);
    emit gridChanged();
    emit entriesChanged();
}

void DatabaseWindowState::clearAllWithReset()
{
    if (!questions_.confirm(links_.message(4) + u'?'))
        return;
    ClearDatabase(links_.presets);
    selectedDatabaseRow_ = 1;
    setIdentifierBox(NoName);
    emit selectionMoved(selectedDatabaseRow_);
    emit gridChanged();
    emit entriesChanged();
}

void DatabaseWindowState::ClearBtnClick()
{
    if (!questions_.confirm(links_.message(25) + u'?'))
        return;
    ClearDatabase(links_.presets);
    emit gridChanged();
    emit entriesChanged();
}

DatabaseWindowState::DeleteKeyAction DatabaseWindowState::deleteKeyActionFor(Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (held == Qt::ControlModifier)
        return DeleteKeyAction::ClearAll;
    if (held == Qt::ShiftModifier || held == Qt::AltModifier || held == (Qt::ShiftModifier | Qt::ControlModifier))
        return DeleteKeyAction::Nothing;
    return DeleteKeyAction::Delete;
}

void DatabaseWindowState::databaseGridDeleteKey(Qt::KeyboardModifiers modifiers)
{
    switch (deleteKeyActionFor(modifiers)) {
    case DeleteKeyAction::Delete:
        DeleteBtnClick();
        break;
    case DeleteKeyAction::ClearAll:
        clearAllWithReset();
        break;
    case DeleteKeyAction::Nothing:
        break;
    }
}

void DatabaseWindowState::RetrieveBtnClick()
{
    const QString chosen = questions_.fileToOpen(links_.databaseFolder);
    if (chosen.isEmpty())
        return;
    // A name that exists but cannot be read (or is refused: too large, through an untrusted
    // link) would otherwise leave a table under a name it did not come from.
    const QFileInfo info(chosen);
    if (info.exists() && !(info.isFile() && IniFile(chosen).readable())) {
        questions_.showFailure(QStringLiteral("Unable to read ") + chosen);
        return;
    }
    links_.config.DatabaseFileName = chosen;
    emit captionChanged(ShowDatabaseCaption());
    // A name that does not exist starts an empty database under it; nothing is written yet.
    RetrieveDatabase(links_.presets, chosen);
    emit gridChanged();
    emit entriesChanged();
}

void DatabaseWindowState::SaveBtnClick()
{
    const QString chosen = questions_.fileToSave(links_.databaseFolder, links_.config.DatabaseFileName,
                                                  OperatorQuestions::Replace::WithoutAsking);
    if (chosen.isEmpty())
        return;
    // The name changes only once the speakers are on disk under it.
    try {
        SaveDatabase(links_.presets, chosen);
    } catch (const AppError& error) {
        questions_.showFailure(error.text());
        return;
    }
    links_.config.DatabaseFileName = chosen;
    emit captionChanged(ShowDatabaseCaption());
}

void DatabaseWindowState::DatabaseGridSelectCell(int row)
{
    if (row < 1 || row > PresetCount)
        return;
    selectedDatabaseRow_ = row;
    setIdentifierBox(links_.presets[static_cast<size_t>(row - 1)].preset_id);
    emit gridChanged();
}

void DatabaseWindowState::databaseGridLeftPress(int row)
{
    selectedDatabaseRow_ = (row >= 1 && row <= PresetCount) ? row : 0;
    emit gridChanged();
}

void DatabaseWindowState::databaseGridDblClick()
{
    if (hasSelection())
        LoadPreset(selectedDatabaseRow_ - 1);
}

QMimeData* DatabaseWindowState::dragData() const
{
    if (!hasSelection())
        return nullptr;
    const int index = selectedDatabaseRow_ - 1;
    return MakeDatabaseDragData(index, links_.presets[static_cast<size_t>(index)].preset_id);
}
