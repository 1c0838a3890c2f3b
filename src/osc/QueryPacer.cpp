#include "osc/QueryPacer.h"

std::optional<qint64> QueryPacer::dueAt() const
{
    if (!owedBudget_)
        return std::nullopt;
    const std::optional<qint64>& oldest = answeredAt_[next_];
    return oldest ? *oldest + Window : 0;
}

std::optional<std::size_t> QueryPacer::answer(qint64 now)
{
    const std::optional<qint64> due = dueAt();
    if (!due || now < *due)
        return std::nullopt;
    answeredAt_[next_] = now;
    next_ = (next_ + 1) % answeredAt_.size();
    const std::size_t budget = *owedBudget_;
    owedBudget_.reset();
    return budget;
}
