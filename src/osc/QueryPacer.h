#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <optional>

// When a query is answered and how large its answer may be. At most AnswersPerWindow answers
// leave in any Window ms, however many senders ask; a query that comes when they are spent is
// answered as soon as the oldest of them is a Window old, once for all that came meanwhile.
// An answer holds at most AnswerFactor times the bytes of the datagram that asked, so that a
// forged sender address gains an attacker little.
class QueryPacer {
public:
    static constexpr qint64 Window = 1000;
    static constexpr int AnswersPerWindow = 10;
    static constexpr std::size_t AnswerFactor = 4;

    // A datagram of `requestBytes` asked; the latest one sets the size of the answer.
    void ask(std::size_t requestBytes) { owedBudget_ = AnswerFactor * requestBytes; }
    // When the owed answer may leave; nothing when none is owed.
    std::optional<qint64> dueAt() const;
    // The byte budget of the answer that may leave at `now` (ms on a steady clock), recorded as
    // given; nothing when none is owed or its time has not come.
    std::optional<std::size_t> answer(qint64 now);

private:
    std::optional<std::size_t> owedBudget_;
    // The times of the latest answers, oldest at `next_` once all are used.
    std::array<std::optional<qint64>, AnswersPerWindow> answeredAt_{};
    std::size_t next_ = 0;
};
