#include "view/ShowViewState.h"

#include "database/DatabaseWindowState.h"
#include "runorder/RunOrderWindowState.h"
#include "stand/StandController.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>

namespace {

const QString ClearedName = QStringLiteral("No Name");

QString cut(const QString& name)
{
    return name.size() > ShowViewState::NameLength ? name.left(ShowViewState::NameLength - 1) + u'…' : name;
}

const char* lineName(ShowViewState::Line line)
{
    switch (line) {
    case ShowViewState::Line::Answering:
        return "answering";
    case ShowViewState::Line::Closed:
        return "closed";
    case ShowViewState::Line::Retrying:
        return "retrying";
    case ShowViewState::Line::Silent:
        return "silent";
    }
    return "";
}

} // namespace

ShowViewState::ShowViewState(const ShowViewLinks& links, QObject* parent) : QObject(parent), links_(links)
{
    clock_.start();
    StandController& controller = links_.controller;
    StandBoard& board = controller.board();
    connect(&controller, &StandController::commsOpenChanged, this, &ShowViewState::observe);
    connect(&board, &StandBoard::standChanged, this, &ShowViewState::observe);
    connect(&board, &StandBoard::layoutChanged, this, &ShowViewState::observe);
    connect(&board, &StandBoard::currentSpeakerChanged, this, &ShowViewState::changed);
    RunOrderWindowState& runOrder = links_.runOrder;
    for (auto signal : {&RunOrderWindowState::listChanged, &RunOrderWindowState::gridChanged})
        connect(&runOrder, signal, this, &ShowViewState::changed);
    connect(&runOrder, &RunOrderWindowState::currentCellMoved, this, &ShowViewState::changed);
    connect(&runOrder, &RunOrderWindowState::speakerTaken, this, [this](int row) {
        // The panel shows this text for as long as the row stays on stage.
        takenRow_ = row;
        takenText_ = links_.controller.board().CurrentSpeaker();
        emit changed();
    });
    for (auto signal : {&DatabaseWindowState::entriesChanged, &DatabaseWindowState::gridChanged})
        connect(&links_.database, signal, this, &ShowViewState::changed);
    observe();
}

ShowViewState::Line ShowViewState::lineState() const
{
    const StandController& controller = links_.controller;
    if (!controller.CommsOpen())
        return controller.retryTime().isActive() ? Line::Retrying : Line::Closed;
    const StandBoard& board = controller.board();
    if (board.StandsDisplayed() <= 0)
        return Line::Answering;
    for (int i = 0; i < board.StandsDisplayed(); ++i)
        if (board.stand(i).online)
            return Line::Answering;
    return Line::Silent;
}

void ShowViewState::observe()
{
    if (lineState() == Line::Answering)
        wrongSince_.reset();
    else if (!wrongSince_)
        wrongSince_ = clock_.elapsed();
    emit changed();
}

qint64 ShowViewState::lineWrongFor() const
{
    return wrongSince_ && lineState() != Line::Answering ? clock_.elapsed() - *wrongSince_ : 0;
}

int ShowViewState::onStageRow() const
{
    if (takenRow_ < 1 || takenRow_ > links_.runOrder.count())
        return 0;
    return links_.controller.board().CurrentSpeaker() == takenText_ ? takenRow_ : 0;
}

int ShowViewState::nextRow() const
{
    const RunOrderWindowState& runOrder = links_.runOrder;
    const int position = runOrder.RunOrderPosition();
    if (position < 1 || position > runOrder.count())
        return 0;
    if (position != onStageRow())
        return position;
    return position < runOrder.count() ? position + 1 : 0;
}

const TPreset* ShowViewState::rowSpeaker(int row) const
{
    const QStringList& list = links_.runOrderList.RunOrderList;
    if (row < 1 || row > list.size())
        return nullptr;
    const std::optional<int> index = runOrderEntryIndex(list[row - 1]);
    return index ? &links_.presets[static_cast<size_t>(*index)] : nullptr;
}

QByteArray ShowViewState::standsJson() const
{
    const StandBoard& board = links_.controller.board();
    const TPreset* next = rowSpeaker(nextRow());
    QJsonArray stands;
    for (int i = 0; i < board.StandsDisplayed() && i < StandCount; ++i) {
        const TStand& stand = board.stand(i);
        stands.append(QJsonObject{{"n", i + 1},
                                  {"on", stand.online},
                                  {"a", stand.actual},
                                  {"t", board.ReadTargetHeight(i + 1)},
                                  {"g", next ? QJsonValue(next->preset[size_t(i)]) : QJsonValue()}});
    }
    return QJsonDocument(QJsonObject{{"line", lineName(lineState())}, {"stands", stands}}).toJson(QJsonDocument::Compact);
}

QByteArray ShowViewState::showJson() const
{
    const RunOrderWindowState& runOrder = links_.runOrder;
    QJsonArray rows;
    for (int row = 1; row <= runOrder.count(); ++row) {
        const TPreset* speaker = rowSpeaker(row);
        const QString name = speaker ? speaker->preset_id : links_.runOrderList.RunOrderList[row - 1];
        rows.append(QJsonArray{cut(name), !speaker || speaker->preset_id == ClearedName});
    }
    QJsonArray speakers;
    QSet<QString> named;
    for (const TPreset& entry : links_.presets)
        if (!entry.preset_id.trimmed().isEmpty() && entry.preset_id != ClearedName && !named.contains(entry.preset_id)) {
            named.insert(entry.preset_id);
            speakers.append(cut(entry.preset_id));
        }
    return QJsonDocument(QJsonObject{{"current", cut(links_.controller.board().CurrentSpeaker())},
                                     {"position", runOrder.RunOrderPosition()},
                                     {"onStage", onStageRow()},
                                     {"next", nextRow()},
                                     {"rows", rows},
                                     {"speakers", speakers}})
        .toJson(QJsonDocument::Compact);
}

ShowViewState::Result ShowViewState::stepRunOrder(int step)
{
    RunOrderWindowState& runOrder = links_.runOrder;
    if (runOrder.count() == 0)
        return {false, QStringLiteral("the run order is empty")};
    // While the operator carries an entry with the mouse, the current row is the one carried.
    if (runOrder.RowDragging())
        return {false, QStringLiteral("the operator is moving an entry")};
    const int position = runOrder.RunOrderPosition();
    const int row = std::clamp(position + step, 1, runOrder.count());
    // At either end the run order stops: nothing is taken again.
    if (row == position)
        return {false, step > 0 ? QStringLiteral("at the end of the run order") : QStringLiteral("at the start of the run order")};
    runOrder.RunGridSelectCell(runOrder.currentColumn(), row);
    runOrder.RunOrderTakeBtnClick();
    return {true, {}};
}

ShowViewState::Result ShowViewState::carryOut(const QJsonObject& command)
{
    StandController& controller = links_.controller;
    const QString what = command.value("command").toString();
    if (what == u"go") {
        links_.runOrder.RunOrderTakeBtnClick();
        if (controller.PendingCommand() != pcRunOrderTake)
            return {false, QStringLiteral("no run order row to take")};
        return {true, {}};
    }
    if (what == u"next")
        return stepRunOrder(+1);
    if (what == u"previous")
        return stepRunOrder(-1);
    if (what == u"take") {
        const int index = links_.findSpeaker(command.value("name").toString());
        if (index < 0)
            return {false, QStringLiteral("nobody of that name")};
        links_.database.SetDatabaseSelection(index);
        return {true, {}};
    }
    if (what == u"abort" || what == u"home") {
        if (!controller.CommsOpen())
            return {false, QStringLiteral("the serial line is closed")};
        if (what == u"abort")
            controller.AbortBtnClick();
        else
            controller.HomeBtnClick();
        return {true, {}};
    }
    return {false, QStringLiteral("unknown command")};
}
