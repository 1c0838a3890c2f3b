#include "osc/FeedbackPacer.h"

std::optional<StandFeedback::Value> FeedbackPacer::firstOwed(int i, const StandFeedback& state) const
{
    if (i < 0 || i >= StandCount)
        return std::nullopt;
    const Sent& sent = sent_[size_t(i)];
    // In this order: a stand that comes on line says so before its heights.
    for (int v = 0; v < StandFeedback::ValueCount; ++v)
        if (sent.values[size_t(v)] != state.values[size_t(v)])
            return StandFeedback::Value(v);
    return std::nullopt;
}

std::optional<FeedbackPacer::Message> FeedbackPacer::next(int i, const StandFeedback& state, qint64 now)
{
    const std::optional<StandFeedback::Value> owed = firstOwed(i, state);
    if (!owed)
        return std::nullopt;
    Sent& sent = sent_[size_t(i)];
    if (sent.at && now - *sent.at < Spacing)
        return std::nullopt;
    sent.at = now;
    sent.values[size_t(*owed)] = state.values[size_t(*owed)];
    return Message{*owed, state.values[size_t(*owed)]};
}

std::optional<qint64> FeedbackPacer::owedAt(int i, const StandFeedback& state) const
{
    if (!firstOwed(i, state))
        return std::nullopt;
    const Sent& sent = sent_[size_t(i)];
    return sent.at ? *sent.at + Spacing : 0;
}

void FeedbackPacer::forget()
{
    for (Sent& sent : sent_)
        sent.values = {};
}
