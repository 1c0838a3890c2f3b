#include "stand/StandBoard.h"

#include "stand/StandFrames.h"

#include <algorithm>

using namespace StandLayout;

namespace {

bool isStandIndex(int n)
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

QRect StandBoard::glassRect(int i) const
{
    return QRect(glassLeft(i), Stands[i].glassTop, SquareSize, SquareSize);
}

QRect StandBoard::positionRect(int i) const
{
    return QRect(glassLeft(i), Stands[i].positionTop, SquareSize, SquareSize);
}

QRect StandBoard::columnRect(int i) const
{
    return QRect(columnLeft(i), Stands[i].columnTop, ColumnWidth, Stands[i].columnHeight);
}

QRect StandBoard::baseRect(int i) const
{
    return QRect(baseLeft(i), BaseTop, BaseWidth, BaseHeight);
}

QRect StandBoard::dataRect(int i) const
{
    return QRect(baseLeft(i), DataTop, PanelWidth, PanelHeight);
}

QRect StandBoard::levelRect(int i) const
{
    return QRect(baseLeft(i), LevelTop, PanelWidth, PanelHeight);
}

QRect StandBoard::nudgeUpRect(int i) const
{
    return QRect(nudgeLeft(i), NudgeUpTop, NudgeWidth, NudgeHeight);
}

QRect StandBoard::nudgeDownRect(int i) const
{
    return QRect(nudgeLeft(i), NudgeDownTop, NudgeWidth, NudgeHeight);
}

void StandBoard::SetStandsDisplayed(int count)
{
    standsDisplayed_ = std::clamp(count, 0, StandCount);
    layout_ = LayoutControls(standsDisplayed_);
    emit layoutChanged();
}

void StandBoard::placeGlassesOnColumns()
{
    for (int i = 0; i < StandCount; ++i) {
        Stands[i].glassTop = Stands[i].columnTop - SquareSize;
        emit standChanged(i);
    }
}

void StandBoard::placeColumn(TStand& stand, int height)
{
    stand.columnHeight = 2 * height;
    stand.columnTop = BaseTop - stand.columnHeight;
    stand.positionTop = stand.columnTop - SquareSize;
}

void StandBoard::SetStandHeights(bool update_level)
{
    for (int i = 0; i < standsDisplayed_ && i < StandCount; ++i) {
        placeColumn(Stands[i], Stands[i].actual);
        if (update_level)
            Stands[i].data = QString::number(Stands[i].actual);
        emit standChanged(i);
    }
}

void StandBoard::SetTargetHeight(int n)
{
    if (!isStandIndex(n))
        return;
    TStand& stand = Stands[n];
    stand.level = QString::number(stand.target);
    stand.glassTop = squareTopAt(stand.target);
    emit standChanged(n);
}

void StandBoard::SetStandOnline(int n)
{
    if (!isStandIndex(n))
        return;
    Stands[n].online = true;
    emit standChanged(n);
}

void StandBoard::SetStandOffline(int n)
{
    if (!isStandIndex(n))
        return;
    TStand& stand = Stands[n];
    stand.online = false;
    stand.actual = 0;
    placeColumn(stand, 0);
    stand.data = QStringLiteral("0");
    emit standChanged(n);
}

void StandBoard::ClearTargets()
{
    for (int i = 0; i < standsDisplayed_ && i < StandCount; ++i) {
        Stands[i].glassTop = squareTopAt(0);
        Stands[i].level = QStringLiteral("0");
        emit standChanged(i);
    }
}

int StandBoard::ReadTargetHeight(int stand_number) const
{
    if (stand_number < 1 || stand_number > StandCount)
        return 0;
    return StandFrames::parseHeightText(Stands[stand_number - 1].level);
}

void StandBoard::setActual(int n, int height)
{
    if (isStandIndex(n))
        Stands[n].actual = height;
}

void StandBoard::setLevelText(int n, const QString& text)
{
    if (!isStandIndex(n))
        return;
    Stands[n].level = text;
    emit standChanged(n);
}

void StandBoard::setDataText(int n, const QString& text)
{
    if (!isStandIndex(n))
        return;
    Stands[n].data = text;
    emit standChanged(n);
}

void StandBoard::setCurrentSpeaker(const QString& text)
{
    currentSpeaker_ = text;
    emit currentSpeakerChanged(text);
}

void StandBoard::BeginGlassDrag(int s, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, bool doubleClick,
                                int y)
{
    if (!isStandIndex(s))
        return;
    emit glassRaised(s);
    if (!GlassDrag::startsDrag(buttons, modifiers, doubleClick))
        return;
    drag_.DragLastY = y;
    drag_.DragSkipMove = false;
    if (!drag_.Dragging) {
        drag_.Dragging = true;
        emit draggingChanged(true);
    }
}

void StandBoard::glassMouseMove(int s, int y)
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
    if (!isStandIndex(s))
        return;
    const std::optional<int> top = GlassDrag::movedGlassTop(Stands[s].glassTop, drag_.DragLastY, y);
    if (!top)
        return;
    Stands[s].glassTop = *top;
    Stands[s].level = QString::number(heightAtSquareTop(*top));
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
