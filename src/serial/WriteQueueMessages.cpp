#include "serial/WriteQueue.h"

// The queue itself, the same on every platform; only the wake-up is the platform's.

namespace serial {

bool WriteQueue::post(Notification message)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        messages_.push_back(std::move(message));
    }
    return wake();
}

std::optional<Notification> WriteQueue::take()
{
    std::lock_guard lock(mutex_);
    if (messages_.empty())
        return std::nullopt;
    Notification message = std::move(messages_.front());
    messages_.pop_front();
    return message;
}

void WriteQueue::close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    messages_.clear();
}

}  // namespace serial
