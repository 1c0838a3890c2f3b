#include "stand/StandBoard.h"

#include "stand/StandFrames.h"

#include <algorithm>

using namespace StandLayout;

namespace {

bool IsStandIndex(int n)
{
    return n >= 0 && n < StandCount;
}

} // namespace

StandBoard::StandBoard(QObject* parent)
    : QObject(parent)
{
    // Until the first height arrives the column fills the gap between head square and base.
    for (TStand& stand : Stands) {
        stand.columnHeight = BaseTop - stand.positionTop - SquareSize;
        stand.columnTop = BaseTop - stand.columnHeight;
    }
}

QRect StandBoard::GlassRect(int i) const
{
    return QRect(GlassLeft(i), Stands[i].glassTop, SquareSize, SquareSize);
}

QRect StandBoard::PositionRect(int i) const
{
    return QRect(GlassLeft(i), Stands[i].positionTop, SquareSize, SquareSize);
}

QRect StandBoard::ColumnRect(int i) const
{
    return QRect(ColumnLeft(i), Stands[i].columnTop, ColumnWidth, Stands[i].columnHeight);
}

QRect StandBoard::BaseRect(int i) const
{
    return QRect(BaseLeft(i), BaseTop, BaseWidth, BaseHeight);
}

QRect StandBoard::DataRect(int i) const
{
    return QRect(BaseLeft(i), DataTop, PanelWidth, PanelHeight);
}

QRect StandBoard::LevelRect(int i) const
{
    return QRect(BaseLeft(i), LevelTop, PanelWidth, PanelHeight);
}

QRect StandBoard::NudgeUpRect(int i) const
{
    return QRect(NudgeLeft(i), NudgeUpTop, NudgeWidth, NudgeHeight);
}

QRect StandBoard::NudgeDownRect(int i) const
{
    return QRect(NudgeLeft(i), NudgeDownTop, NudgeWidth, NudgeHeight);
}

void StandBoard::SetStandsDisplayed(int count)
{
    standsDisplayed_ = std::clamp(count, 0, StandCount);
    layout_ = LayoutControls(standsDisplayed_);
    emit layoutChanged();
}

void StandBoard::PlaceGlassesOnColumns()
{
    for (int i = 0; i < StandCount; ++i) {
        Stands[i].glassTop = Stands[i].columnTop - SquareSize;
        emit standChanged(i);
    }
}

void StandBoard::PlaceColumn(TStand& stand, int height)
{
    stand.columnHeight = 2 * height;
    stand.columnTop = BaseTop - stand.columnHeight;
    stand.positionTop = stand.columnTop - SquareSize;
}

void StandBoard::SetStandHeights(bool update_level)
{
    for (int i = 0; i < standsDisplayed_ && i < StandCount; ++i) {
        PlaceColumn(Stands[i], Stands[i].actual);
        if (update_level)
            Stands[i].data = QString::number(Stands[i].actual);
        emit standChanged(i);
    }
}

void StandBoard::SetTargetHeight(int n)
{
    if (!IsStandIndex(n))
        return;
    TStand& stand = Stands[n];
    stand.level = QString::number(stand.target);
    stand.glassTop = SquareTopAt(stand.target);
    emit standChanged(n);
}

void StandBoard::SetStandOnline(int n)
{
    if (!IsStandIndex(n))
        return;
    Stands[n].online = true;
    emit standChanged(n);
}

void StandBoard::SetStandOffline(int n)
{
    if (!IsStandIndex(n))
        return;
    TStand& stand = Stands[n];
    stand.online = false;
    stand.actual = 0;
    PlaceColumn(stand, 0);
    stand.data = QStringLiteral("0");
    emit standChanged(n);
}

void StandBoard::ClearTargets()
{
    for (int i = 0; i < standsDisplayed_ && i < StandCount; ++i) {
        Stands[i].glassTop = SquareTopAt(0);
        Stands[i].level = QStringLiteral("0");
        emit standChanged(i);
    }
}

int StandBoard::ReadTargetHeight(int stand_number) const
{
    if (stand_number < 1 || stand_number > StandCount)
        return 0;
    return StandFrames::ParseHeightText(Stands[stand_number - 1].level);
}

void StandBoard::SetActual(int n, int height)
{
    if (IsStandIndex(n))
        Stands[n].actual = height;
}

void StandBoard::SetLevelText(int n, const QString& text)
{
    if (!IsStandIndex(n))
        return;
    Stands[n].level = text;
    emit standChanged(n);
}

void StandBoard::SetDataText(int n, const QString& text)
{
    if (!IsStandIndex(n))
        return;
    Stands[n].data = text;
    emit standChanged(n);
}

void StandBoard::SetCurrentSpeaker(const QString& text)
{
    currentSpeaker_ = text;
    emit currentSpeakerChanged(text);
}

void StandBoard::BeginGlassDrag(int s, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, bool doubleClick,
                                int y)
{
    if (!IsStandIndex(s))
        return;
    emit glassRaised(s);
    if (!GlassDrag::StartsDrag(buttons, modifiers, doubleClick))
        return;
    drag_.DragLastY = y;
    drag_.DragSkipMove = false;
    if (!drag_.Dragging) {
        drag_.Dragging = true;
        emit draggingChanged(true);
    }
}

void StandBoard::GlassMouseMove(int s, int y)
{
    if (!drag_.Dragging)
        return;
    // Moving the glass shifts it under the mouse, so the move event that follows is stale.
    if (drag_.DragSkipMove)
        drag_.DragSkipMove = false;
    else
        DragGlass(s, y);
    drag_.DragLastY = y;
}

void StandBoard::DragGlass(int s, int y)
{
    if (!IsStandIndex(s))
        return;
    const std::optional<int> top = GlassDrag::MovedGlassTop(Stands[s].glassTop, drag_.DragLastY, y);
    if (!top)
        return;
    Stands[s].glassTop = *top;
    Stands[s].level = QString::number(HeightAtSquareTop(*top));
    drag_.DragSkipMove = true;
    emit standChanged(s);
}

void StandBoard::EndGlassDrag()
{
    if (drag_.Dragging) {
        drag_.Dragging = false;
        emit draggingChanged(false);
    }
}
