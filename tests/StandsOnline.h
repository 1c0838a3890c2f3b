#pragma once

#include "stand/StandBoard.h"

#include <QList>

// Whether the first stands are on line, each at its height in `heights`.
inline bool allOnlineAt(const StandBoard& board, const QList<int>& heights)
{
    for (int i = 0; i < heights.size(); ++i)
        if (!board.stand(i).online || board.stand(i).actual != heights[i])
            return false;
    return true;
}
