#include "serial/WriteQueue.h"

#include <windows.h>

namespace serial {

// Manual reset, like the eventfd's count: it stays set until the writer has found the queue empty.
WriteQueue::WriteQueue() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WriteQueue::~WriteQueue()
{
    if (event_)
        CloseHandle(event_);
}

bool WriteQueue::post(Notification message)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        messages_.push_back(std::move(message));
    }
    return SetEvent(event_) != 0;
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

void WriteQueue::acknowledge()
{
    ResetEvent(event_);
}

}  // namespace serial
