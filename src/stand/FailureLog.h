#pragma once

#include <QString>

#include <functional>
#include <optional>

// The failures that the link cycle absorbs, each said in one line on standard error (which the
// desktop session's journal keeps) with what failed and why. A fault that comes back at every
// poll must not flood the journal: at most one line goes out a second, and the next line counts
// the failures left unsaid since the last one.
class FailureLog {
public:
    static constexpr qint64 LineInterval = 1000;

    // Milliseconds on a clock that never goes back.
    using Clock = std::function<qint64()>;

    FailureLog();
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // Called inside a catch block: `what` failed with the exception being handled.
    void report(const QString& what);

private:
    Clock clock_;
    std::optional<qint64> lastLine_;
    int unsaid_ = 0;
};
