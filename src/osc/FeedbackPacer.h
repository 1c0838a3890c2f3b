#pragma once

#include "common/StandCount.h"

#include <QtGlobal>

#include <array>
#include <optional>

// What a control surface is told about one stand.
struct StandFeedback {
    enum Value { Online, Target, Actual };
    static constexpr int ValueCount = 3;
    std::array<int, ValueCount> values{};  // online as 0 or 1, heights in stand units
};

// Remembers what was sent about each stand and when: only a value that differs from the last
// one sent goes out, and a stand's messages leave at least Spacing ms apart, so that no
// second holds more than ten of them. A value that changes again before its turn is sent
// once, as it is then.
class FeedbackPacer {
public:
    static constexpr qint64 Spacing = 100;

    struct Message {
        StandFeedback::Value value;
        int number;
    };

    // The message that stand i may send at `now` (ms on a steady clock), recorded as sent.
    std::optional<Message> next(int i, const StandFeedback& state, qint64 now);
    // When stand i may send a value it still owes; nothing when it owes none.
    std::optional<qint64> owedAt(int i, const StandFeedback& state) const;
    // Every value is owed again, as after a query.
    void forget();

private:
    struct Sent {
        std::array<std::optional<int>, StandFeedback::ValueCount> values;
        std::optional<qint64> at;
    };
    std::optional<StandFeedback::Value> firstOwed(int i, const StandFeedback& state) const;

    std::array<Sent, StandCount> sent_{};
};
