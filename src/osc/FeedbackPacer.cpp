#include "osc/FeedbackPacer.h"

std::optional<StandFeedback::Value> FeedbackPacer::FirstOwed(int i, const StandFeedback& state) const
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

std::optional<FeedbackPacer::Message> FeedbackPacer::Next(int i, const StandFeedback& state, qint64 now)
{
    const std::optional<StandFeedback::Value> owed = FirstOwed(i, state);
    if (!owed)
        return std::nullopt;
    Sent& sent = sent_[size_t(i)];
    if (sent.at && now - *sent.at < Spacing)
        return std::nullopt;
    sent.at = now;
    sent.values[size_t(*owed)] = state.values[size_t(*owed)];
    return Message{*owed, state.values[size_t(*owed)]};
}

std::optional<qint64> FeedbackPacer::OwedAt(int i, const StandFeedback& state) const
{
    if (!FirstOwed(i, state))
        return std::nullopt;
    const Sent& sent = sent_[size_t(i)];
    return sent.at ? *sent.at + Spacing : 0;
}

void FeedbackPacer::Forget()
{
    for (Sent& sent : sent_)
        sent.values = {};
}
