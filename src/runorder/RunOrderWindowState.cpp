#include "runorder/RunOrderWindowState.h"

#include "common/AppError.h"
#include "common/OperatorQuestions.h"
#include "database/VantoraDragDrop.h"
#include "stand/PrompterAnnouncer.h"
#include "stand/StandController.h"

#include <QFileInfo>

#include <algorithm>

std::optional<int> runOrderEntryIndex(const QString& entry)
{
    bool ok = false;
    const int index = entry.toInt(&ok, 10);
    if (!ok || index < 0 || index >= PresetCount)
        return std::nullopt;
    return index;
}

RunOrderWindowState::RunOrderWindowState(const RunOrderWindowStateLinks& links, OperatorQuestions& questions, QObject* parent)
    : QObject(parent), links_(links), questions_(questions)
{
    links_.runOrder.RunOrderPosition = list().isEmpty() ? -1 : 1;
}

void RunOrderWindowState::setRunOrderWindowActive(bool active)
{
    runOrderWindowActive_ = active;
    emit gridChanged();
}

GridRect RunOrderWindowState::selection() const
{
    return GridRect{std::min(currentColumn_, anchorColumn_), std::min(currentRow_, anchorRow_),
                    std::max(currentColumn_, anchorColumn_), std::max(currentRow_, anchorRow_)};
}

bool RunOrderWindowState::highlighted(int row, int column) const
{
    const GridRect chosen = selection();
    return row >= 1 && column == chosen.left && row >= chosen.top && row <= chosen.bottom;
}

QString RunOrderWindowState::cellText(int row, int column) const
{
    if (row == 0)
        return column == 0 ? QStringLiteral("Num") : QStringLiteral("Identifier");
    if (row < 1 || row > count())
        return {};
    if (column == 0)
        return QString::number(row);
    // An entry that names no speaker shows entry 0's name, and cannot be taken.
    const int index = runOrderEntryIndex(links_.runOrder.RunOrderList[row - 1]).value_or(0);
    return links_.presets[static_cast<size_t>(index)].preset_id;
}

QString RunOrderWindowState::ShowRunOrderCaption() const
{
    QString name = QFileInfo(links_.config.RunOrderFileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return QStringLiteral("Run Order: ") + name;
}

bool RunOrderWindowState::positionInList() const
{
    const int position = RunOrderPosition();
    return !links_.runOrder.RunOrderList.isEmpty() && position >= 1 && position <= count();
}

std::optional<std::pair<int, int>> RunOrderWindowState::selectedRows() const
{
    const GridRect chosen = selection();
    const int top = std::max(chosen.top, 1);
    const int bottom = std::min(chosen.bottom, count());
    if (top > bottom)
        return std::nullopt;
    return std::make_pair(top, bottom);
}

void RunOrderWindowState::RunGridSelectCell(int column, int row)
{
    if (row < 1 || row > count() || column < 0 || column >= ColumnCount)
        return;
    rangeSelect_ = column == 0;
    if (rowDragging_ && positionInList())
        list().move(RunOrderPosition() - 1, row - 1);
    currentColumn_ = anchorColumn_ = column;
    currentRow_ = anchorRow_ = row;
    links_.runOrder.RunOrderPosition = row;
    emit currentCellMoved(column, row);
    emit gridChanged();
}

void RunOrderWindowState::moveAnchor(int column, int row)
{
    if (!rangeSelect_ || row < 1 || row > count() || column < 0 || column >= ColumnCount)
        return;
    anchorColumn_ = column;
    anchorRow_ = row;
    emit gridChanged();
}

void RunOrderWindowState::RunGridMouseDown(int row)
{
    rowPressed_ = row >= 1;
}

void RunOrderWindowState::RunGridMouseMove()
{
    if (rowPressed_)
        rowDragging_ = true;
}

void RunOrderWindowState::RunGridMouseUp()
{
    rowPressed_ = false;
    rowDragging_ = false;
}

void RunOrderWindowState::DropTextTargetDrop(const QMimeData& drop, int row)
{
    const std::optional<int> index = ReceivedEntryIndex(drop);
    if (!index)
        return;
    const QString entry = QString::number(*index);
    const int r = row == 0 ? 1 : row;
    if (r != -1 && !list().isEmpty() && r <= count()) {
        list().insert(r - 1, entry);
    } else {
        list().append(entry);
        links_.runOrder.RunOrderPosition = 1;
        currentColumn_ = anchorColumn_ = 0;
        currentRow_ = anchorRow_ = 1;
        rangeSelect_ = true;
    }
    links_.runOrder.RunOrderChanged = true;
    emit listChanged();
}

void RunOrderWindowState::RunOrderCopyBtnClick()
{
    const auto rows = selectedRows();
    if (!positionInList() || !rows)
        return;
    const auto [top, bottom] = *rows;
    const QStringList copies = list().mid(top - 1, bottom - top + 1);
    QStringList& entries = list();
    entries.insert(bottom, copies.size(), QString());
    std::copy(copies.begin(), copies.end(), entries.begin() + bottom);
    emit listChanged();
}

void RunOrderWindowState::RunOrderDeleteBtnClick()
{
    const auto rows = selectedRows();
    if (!positionInList() || !rows)
        return;
    if (!questions_.confirm(links_.message(5)))
        return;
    const auto [top, bottom] = *rows;
    list().remove(top - 1, bottom - top + 1);
    emit listChanged();
}

void RunOrderWindowState::RunOrderClearBtnClick()
{
    if (list().isEmpty())
        return;
    if (!questions_.confirm(links_.message(6) + u'?'))
        return;
    list().clear();
    emit listChanged();
}

void RunOrderWindowState::RunOrderTakeBtnClick()
{
    if (positionInList())
        links_.controller.setPendingCommand(pcRunOrderTake);
}

void RunOrderWindowState::ExecuteRunOrderTake()
{
    // The list may have changed since the take was asked for.
    if (!positionInList())
        return;
    const int position = RunOrderPosition();
    const std::optional<int> index = runOrderEntryIndex(list()[position - 1]);
    if (!index)
        return;
    const TPreset& speaker = links_.presets[static_cast<size_t>(*index)];
    links_.controller.takeHeights(speaker.preset, QString::number(position) + QStringLiteral(" : ") + speaker.preset_id,
                                  StandController::TakeShows::TargetsAndData);
    links_.announcer.DdeSend(links_.message(17) + u' ' + speaker.preset_id);
    emit speakerTaken(position, speaker.preset_id);
}

void RunOrderWindowState::RunOrderRetrieveBtnClick()
{
    const QString chosen = questions_.fileToOpen(links_.runOrderFolder);
    if (chosen.isEmpty())
        return;
    // A name that does not exist starts an empty run order under it; one that exists but cannot
    // be read leaves everything as it was, rather than a list under a name it did not come from.
    QStringList entries;
    if (QFileInfo::exists(chosen) && !(QFileInfo(chosen).isFile() && LoadRunOrderFile(entries, chosen))) {
        questions_.showFailure(QStringLiteral("Unable to read ") + chosen);
        return;
    }
    links_.config.RunOrderFileName = chosen;
    emit captionChanged(ShowRunOrderCaption());
    list() = entries;
    emit listChanged();
}

void RunOrderWindowState::RunOrderSaveBtnClick()
{
    const QString chosen = questions_.fileToSave(links_.runOrderFolder, links_.config.RunOrderFileName,
                                                  OperatorQuestions::Replace::AfterAsking);
    if (chosen.isEmpty())
        return;
    // The name, the caption and the changed flag move on only once the list is on disk.
    try {
        writeRunOrderFile(list(), chosen);
    } catch (const AppError& error) {
        questions_.showFailure(error.text());
        return;
    }
    links_.config.RunOrderFileName = chosen;
    emit captionChanged(ShowRunOrderCaption());
    links_.runOrder.RunOrderChanged = false;
}
