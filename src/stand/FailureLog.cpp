#include "stand/FailureLog.h"

#include <QtGlobal>

#include <chrono>
#include <exception>

namespace {

QString currentReason()
{
    try {
        if (const std::exception_ptr current = std::current_exception())
            std::rethrow_exception(current);
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
    }
    return QStringLiteral("an error of unknown kind");
}

} // namespace

FailureLog::FailureLog()
    : clock_([] {
          return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count());
      })
{
}

void FailureLog::report(const QString& what)
{
    const qint64 now = clock_();
    if (lastLine_ && now - *lastLine_ < LineInterval) {
        ++unsaid_;
        return;
    }
    QString line = QStringLiteral("Stand link: %1 failed: %2").arg(what, currentReason());
    if (unsaid_ > 0)
        line += QStringLiteral(" (%1 more failures since the last line)").arg(unsaid_);
    qWarning("%s", qPrintable(line));
    lastLine_ = now;
    unsaid_ = 0;
}
